// The broad phase of the collision pass: a hashed uniform grid over the
// bodies' bounding circles that names, for one body, every other body whose
// circle may meet its own.
//
// Rule: a body is filed where it stood at Build. An answer stays complete as
// long as the asking body has moved at most Margin() (along each axis) since
// it asked, and every body that moves calls NoteMoved: a body that strays
// more than Margin() from where it was filed is then offered to every query.
#pragma once

#include "physics/Vector2D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TBody;

struct TBroadPhaseStats {
    size_t WideBodies = 0;  // checked against everybody: huge, far away, not finite, or listed twice
    size_t Escapes = 0;  // bodies nudged further than the margin in the pass
    size_t Requeries = 0;  // queries repeated because the asking body was nudged too far
};

class TCollisionGrid {
public:
    void Build(const std::vector<TBody*>& bodies);

    // Fills out with the indices, ascending, of every body other than a that
    // may pass the circle test with a (same group, circles possibly meeting).
    // False when a must instead be tested against every body.
    bool Query(size_t a, std::vector<uint32_t>& out);
    void NoteMoved(size_t index);
    double Margin() const { return MarginValue; }
    const TBroadPhaseStats& Stats() const { return StatsValue; }
    void CountRequery() { ++StatsValue.Requeries; }

private:
    struct TCell {
        int32_t x, y;
        bool operator==(const TCell&) const = default;
    };

    bool CellOf(TVector2D position, TCell& cell) const;
    uint32_t Bucket(TCell cell) const;
    void MarkWide(size_t index);

    const std::vector<TBody*>* Bodies = nullptr;
    double MarginValue = 0.0;
    double CellSize = 1.0;
    double InvCellSize = 1.0;
    uint32_t BucketMask = 0;
    std::vector<TCell> BodyCell;
    std::vector<TVector2D> FiledAt;
    std::vector<uint8_t> Unfiled;  // wide or escaped: offered to every query
    std::vector<uint32_t> BucketStart;
    std::vector<uint32_t> BucketEntries;
    std::vector<uint32_t> Everywhere;  // the unfiled bodies, in the order they left the grid
    TBroadPhaseStats StatsValue;
};
