// The answers of the collision pass's two tests (do the circles meet, do
// the outlines cross, and where) for every pair as the pass begins, worked
// out on worker threads before the pass walks its pairs in order. The walk
// takes an answer only while neither body of the pair has been nudged in
// this pass: both tests read nothing but the two bodies' positions, angles,
// radii, groups and outlines, and a pass changes only positions (nudges)
// and velocities (impulses). So a pair whose two positions still have the
// bits they had when it was answered gets the answer the walk would have
// computed, to the bit; a pair with a moved body is tested again.
//
// Rule: filled by tasks that each write only their own rows; read by the
// walk alone, row by row in list order and, within a row, with ascending
// partners.
#pragma once

#include "orbel2/physics/Body.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbel2 {

// Steps 1 and 2 of a visit, the same code wherever a pass asks them, cheap
// enough to be worth inlining into the loops.
inline bool PassCirclesMeet(const TBody& A, const TBody& B)
{
    if (A.Group != B.Group)
        return false;
    const float dist = VecLength(VecSub(B.State.Position, A.State.Position));
    return dist < A.Radius + B.Radius;
}

struct TParallelPassStats {
    size_t Tasks = 0;   // tasks per run on the workers; 0 when the pass ran on the calling thread alone
    size_t PairsMet = 0;   // ordered visits whose circles met
    size_t PairsRetested = 0;   // of those, tested again on the calling thread: a body had been nudged
    size_t Strips = 0;   // regions walked at once (StripWalk.h); 0 when the walk was on one thread
    size_t RowsWaited = 0;   // rows of a strip that waited for a row of another
    double StrayToMargin = 0.0;   // the furthest a body might be nudged, over the grid's margin (strips need <= 1)
};

class TKnownPairs {
public:
    struct TAnswer {
        uint32_t B;
        uint32_t Crossing;   // 0 or 1
        TVector2D Point;   // where the outlines cross, when they do
    };

    bool Ready = false;   // while a pass on the workers walks its pairs
    TParallelPassStats Stats;

    // Room for Count rows filled by Tasks tasks.
    void Begin(size_t Count, size_t Tasks)
    {
        StartPositions.resize(Count);
        RowTask.resize(Count);
        RowBegin.resize(Count);
        RowEnd.resize(Count);
        if (Answers.size() < Tasks)
            Answers.resize(Tasks);
        CursorRow = SIZE_MAX;
        Stats = TParallelPassStats{};
        Stats.Tasks = Tasks;
    }

    // For the tasks: where the body at Index stands as the pass begins, and
    // the rows of Task.
    void NoteStart(size_t Index, TVector2D Position) { StartPositions[Index] = Position; }
    std::vector<TAnswer>& TaskAnswers(size_t Task) { return Answers[Task]; }
    void SetRow(size_t A, size_t Task, size_t Begin, size_t End)
    {
        RowTask[A] = static_cast<uint32_t>(Task);
        RowBegin[A] = static_cast<uint32_t>(Begin);
        RowEnd[A] = static_cast<uint32_t>(End);
    }

    bool Unmoved(size_t Index, const TBody& Body) const
    {
        return std::bit_cast<uint64_t>(Body.State.Position) == std::bit_cast<uint64_t>(StartPositions[Index]);
    }

    // The answer for (A, B), nullptr when their circles did not meet.
    const TAnswer* Find(size_t A, size_t B)
    {
        if (A != CursorRow || B <= CursorB) {
            const TAnswer* row = Answers[RowTask[A]].data();
            Cursor = row + RowBegin[A];
            RowLast = row + RowEnd[A];
            CursorRow = A;
        }
        CursorB = B;
        while (Cursor != RowLast && Cursor->B < B)
            ++Cursor;
        return Cursor != RowLast && Cursor->B == B ? Cursor : nullptr;
    }

private:
    std::vector<TVector2D> StartPositions;
    std::vector<uint32_t> RowTask, RowBegin, RowEnd;
    std::vector<std::vector<TAnswer>> Answers;   // by task
    size_t CursorRow = SIZE_MAX;
    size_t CursorB = 0;
    const TAnswer* Cursor = nullptr;
    const TAnswer* RowLast = nullptr;
};

}   // namespace orbel2
