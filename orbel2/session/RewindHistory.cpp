#include "orbel2/session/RewindHistory.h"

#include <algorithm>

namespace orbel2 {

void TRewindHistory::Reset(uint64_t Now, const TWorldState& State)
{
    while (!FKeyframes.empty()) {
        FSpare.push_back(std::move(FKeyframes.back().State));
        FKeyframes.pop_back();
    }
    FSteps.clear();
    FBase = Now;
    FNow = Now;
    FFirstStep = Now;
    FSegmentStart = FSegmentEnd = 0;
    NewKeyframe() = State;
}

void TRewindHistory::AddStep(const TStepEntry& Entry)
{
    FSteps.push_back(Entry);
    ++FNow;
    Trim();
}

TWorldState& TRewindHistory::NewKeyframe()
{
    FKeyframes.push_back(TKeyframe{FNow, TakeSpare()});
    return FKeyframes.back().State;
}

TWorldState TRewindHistory::TakeSpare()
{
    if (FSpare.empty())
        return {};
    TWorldState spare = std::move(FSpare.back());
    FSpare.pop_back();
    return spare;
}

// Keyframes older than needed go, with the steps before the new oldest one:
// the oldest kept is the latest that still lies Capacity steps back.
void TRewindHistory::Trim()
{
    while (FKeyframes.size() >= 2 && FKeyframes[1].Step + FCapacity <= FNow) {
        FSpare.push_back(std::move(FKeyframes.front().State));
        FKeyframes.pop_front();
    }
    const uint64_t oldest = Oldest();
    while (FFirstStep < oldest && !FSteps.empty()) {
        FSteps.pop_front();
        ++FFirstStep;
    }
}

const TWorldState* TRewindHistory::Kept(uint64_t Step) const
{
    for (const TKeyframe& keyframe : FKeyframes)
        if (keyframe.Step == Step)
            return &keyframe.State;
    if (Step > FSegmentStart && Step < FSegmentEnd)
        return &FSegment[Step - FSegmentStart];
    return nullptr;
}

const TWorldState& TRewindHistory::KeyframeFor(uint64_t Step, uint64_t& At) const
{
    auto after = std::upper_bound(FKeyframes.begin(), FKeyframes.end(), Step,
                                  [](uint64_t step, const TKeyframe& keyframe) { return step < keyframe.Step; });
    const TKeyframe& keyframe = *std::prev(after);
    At = keyframe.Step;
    return keyframe.State;
}

void TRewindHistory::BeginSegment(uint64_t At)
{
    FSegment.resize(KeyframeInterval);
    FSegmentStart = At;
    FSegmentEnd = At + 1;
}

TWorldState& TRewindHistory::SegmentSlot(uint64_t Step)
{
    FSegmentEnd = std::max(FSegmentEnd, Step + 1);
    return FSegment[Step - FSegmentStart];
}

void TRewindHistory::CutTo(uint64_t Step)
{
    while (!FSteps.empty() && FFirstStep + FSteps.size() > Step)
        FSteps.pop_back();
    while (!FKeyframes.empty() && FKeyframes.back().Step > Step) {
        FSpare.push_back(std::move(FKeyframes.back().State));
        FKeyframes.pop_back();
    }
    FNow = Step;
    FSegmentEnd = std::min(FSegmentEnd, Step + 1);
}

size_t TRewindHistory::StateBytes() const
{
    size_t bytes = 0;
    const auto add = [&bytes](const TWorldState& State) { bytes += State.Physics.size() + State.Game.size(); };
    for (const TKeyframe& keyframe : FKeyframes)
        add(keyframe.State);
    for (const TWorldState& state : FSegment)
        add(state);
    return bytes;
}

}   // namespace orbel2
