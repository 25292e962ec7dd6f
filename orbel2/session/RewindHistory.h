// What the fixed-step session keeps to step its world back: keyframes (the
// whole state, every KeyframeInterval steps) and, for every step since the
// oldest keyframe, what drove it (the session's counters before it, its
// input word and whether one was applied). The state at any kept step is
// its keyframe re-stepped with those inputs, which gives the very bits the
// world had, since a step depends only on the state and its input.
//
// Stepping back one step at a time re-steps a keyframe's interval once and
// keeps its states (the segment), so a held rewind costs about one step and
// two copies of the state per step it goes back.
//
// Memory: at most Capacity / KeyframeInterval + 2 keyframes and
// KeyframeInterval - 1 segment states, each the size of a saved world, plus
// 40 bytes a step. Steps are counted here from the session's start, whatever
// the playback mode.
#pragma once

#include "orbel2/session/WorldSnapshot.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace orbel2 {

// What drove one step, and the session's counters before it.
struct TStepEntry {
    TSessionCounters Counters;
    uint32_t Input = 0;
    bool Applied = false;   // false: a playback step with no record due
};

class TRewindHistory {
public:
    static constexpr uint32_t KeyframeInterval = 25;
    static constexpr uint32_t DefaultCapacity = 500;   // 10 s of steps

    // At least Steps steps back are kept once the world has run that many.
    void SetCapacity(uint32_t Steps) { FCapacity = Steps; }
    uint32_t Capacity() const { return FCapacity; }

    // Forgets everything: the world is now State, at step Now.
    void Reset(uint64_t Now, const TWorldState& State);
    // The step from Now() to Now() + 1 ran, driven by Entry. When the new
    // step wants a keyframe, the caller saves the state into NewKeyframe().
    void AddStep(const TStepEntry& Entry);
    bool WantsKeyframe() const { return (FNow - FBase) % KeyframeInterval == 0; }
    TWorldState& NewKeyframe();

    uint64_t Now() const { return FNow; }
    // The earliest step the world can go back to.
    uint64_t Oldest() const { return FKeyframes.empty() ? FNow : FKeyframes.front().Step; }
    // What drove step Step; Oldest() <= Step < Now().
    const TStepEntry& Entry(uint64_t Step) const { return FSteps[Step - FFirstStep]; }

    // The state at Step when it is kept whole (a keyframe, or a state of the
    // segment); nullptr otherwise.
    const TWorldState* Kept(uint64_t Step) const;
    // The latest keyframe at or before Step (Oldest() <= Step).
    const TWorldState& KeyframeFor(uint64_t Step, uint64_t& At) const;
    // Begins a new segment after the keyframe at At; Slot(Step) is where the
    // state at Step (At < Step < At + KeyframeInterval) goes.
    void BeginSegment(uint64_t At);
    TWorldState& SegmentSlot(uint64_t Step);

    // The world went back to Step: everything after it is forgotten.
    void CutTo(uint64_t Step);

    // Bytes held for states, for the status report and the benchmarks.
    size_t StateBytes() const;

private:
    struct TKeyframe {
        uint64_t Step = 0;
        TWorldState State;
    };
    void Trim();
    TWorldState TakeSpare();

    uint32_t FCapacity = DefaultCapacity;
    uint64_t FBase = 0;   // keyframes fall on FBase + k * KeyframeInterval
    uint64_t FNow = 0;
    uint64_t FFirstStep = 0;   // the step FSteps[0] drove
    std::deque<TStepEntry> FSteps;
    std::deque<TKeyframe> FKeyframes;
    std::vector<TWorldState> FSegment;   // KeyframeInterval slots
    uint64_t FSegmentStart = 0;   // the keyframe the segment follows
    uint64_t FSegmentEnd = 0;   // states kept for (FSegmentStart, FSegmentEnd)
    std::vector<TWorldState> FSpare;   // storage of dropped keyframes, reused
};

}   // namespace orbel2
