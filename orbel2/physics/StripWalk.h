// The grid pass's visits shared out by region, in the same order for every
// body. Why that gives the same bits: a visit (a, b) reads and writes only
// bodies a and b (their positions, velocities, outlines and contact flags),
// so two visits that share no body can run in either order, or at once,
// with the same results; what fixes the bits is only the order of the
// visits that touch each body, which is the order of their rows. So the
// world is cut into strips along one axis, one per worker, and each worker
// walks the rows of its strip's bodies in list order, each row as the
// all-pairs pass would. Before a row it waits until every earlier row of
// another strip that touches one of the same bodies is done.
//
// Which rows touch a body: with every body filed (none wide, none listed
// twice) and none able to stray beyond the grid's margin in this pass, row
// a visits only a's filed neighbours, so the rows touching x are x's own
// and those of its neighbours. A body stays within the margin when the
// nudges of all its neighbour pairs, each at most half a unit shared by the
// pair's restitution (0.5 (|e| + |1 - e|) over the pair's two visits), and
// their rounding add up to less than the margin; the pass checks this for
// every body before it walks by strips, and otherwise walks on one thread.
//
// Rule: used by TPhysics2D's pass on workers only (ParallelPass.cpp).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orbel2 {

struct TStrips {
    unsigned Count = 0;
    bool AlongX = true;   // strips are cut across x (else across y)
    std::vector<float> Bounds;   // Count - 1 cuts, ascending
    std::vector<uint8_t> StripOf;   // by body index
    std::vector<uint8_t> Border;   // a row of another strip touches the body
    std::vector<uint32_t> PositionInStrip;   // by body index
    std::vector<std::vector<uint32_t>> Rows;   // by strip, ascending
    std::unique_ptr<std::atomic<uint32_t>[]> Done;   // rows done, by strip
    // A strip that must wait spins a little, then sleeps here, saying on
    // which strip it waits and for how many rows; a strip that finishes a
    // row wakes the sleepers only when one of them waits for that row.
    std::atomic<uint32_t> Sleepers{0};
    std::unique_ptr<std::atomic<uint32_t>[]> WaitingOn;   // by waiting strip; NoStrip when not waiting
    std::unique_ptr<std::atomic<uint32_t>[]> WaitingFor;   // by waiting strip: rows needed
    static constexpr uint32_t NoStrip = UINT32_MAX;
    std::mutex SleepLock;
    std::condition_variable Progress;
    std::vector<double> Stray;   // by task: the furthest a body of its share might stray
    std::vector<size_t> Waits;   // by strip: rows that waited for another strip

    void Allocate(unsigned Strips);
    void WaitUntil(unsigned Waiter, unsigned Strip, uint32_t Needed);
    void FinishRow(unsigned Strip, uint32_t RowsDone);

    unsigned StripAt(float Coordinate) const
    {
        unsigned s = 0;
        while (s + 1 < Count && !(Coordinate < Bounds[s]))
            ++s;
        return s;
    }
};

}   // namespace orbel2
