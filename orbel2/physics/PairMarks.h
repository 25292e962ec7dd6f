// Which pairs of a small world may pass the collision pass's circle test:
// every pair but those further apart along an axis than their radii reach
// (for those the test is false before its square root; see PairMarks.cpp).
// The marks are kept from pass to pass and brought up to date only for the
// entries whose position, radius or group changed since (they depend on
// nothing else): in a world at rest most bodies do not move from one step
// to the next.
//
// Rule: Update with the bodies as they stand right before the pass reads
// them; the marks hold while no body moves.
#pragma once

#include "orbel2/physics/Body.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbel2 {

class TPairMarks {
public:
    static constexpr size_t MaxBodies = 64;

    // At most MaxBodies bodies.
    void Update(const std::vector<TBody*>& Bodies);
    // The next Update marks every row anew.
    void Forget() { Count = SIZE_MAX; }
    // Bit b set: the pair (A, b) may meet. Never A's own bit.
    uint64_t Row(size_t A) const { return Marks[A]; }

private:
    void MarkRow(size_t A);

    size_t Count = 0;
    // What the test reads of every body, four lanes to a load; the lanes
    // past the last body are never marked.
    std::vector<float> X, Y, Radius;
    std::vector<int32_t> Group;
    std::vector<uint64_t> Marks;
};

}   // namespace orbel2
