// The broad phase of the collision pass: a hashed uniform grid over the
// bodies' bounding circles that names, for one body, every other body whose
// circle may meet its own.
//
// Rule: the grid is built once per pass and files every body where it then
// stands. Every body that a nudge moves must be reported with NoteMoved, and
// the asker must ask again as soon as AnswerCovers says its answer no longer
// covers where it stands; between those, an answer lists every body that
// can pass the circle test with the asker.
#pragma once

#include "orbel2/physics/Vector2D.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orbel2 {

class TBody;

struct TBroadPhaseStats {
    size_t WideBodies = 0;   // checked against everybody: huge, far away, not finite, or listed twice
    size_t Escapes = 0;   // bodies nudged further than the margin from where they were filed
    size_t Requeries = 0;   // answers renewed because the asker was nudged too far
};

class TCollisionGrid {
public:
    void Build(const std::vector<TBody*>& List);
    // Build in three parts, for a pass that lists the neighbours on worker
    // threads: File, then ListNeighboursOf for every task t of Tasks (in
    // any order, on any thread), then JoinNeighbourLists. With the same
    // MarginShare (Build's is 0.25: the margin is that share of the
    // largest ordinary radius, and half a unit) the lists are those of
    // Build; any share keeps the answers complete.
    void File(const std::vector<TBody*>& List, size_t Tasks, double MarginShare);
    void ListNeighboursOf(size_t Task);
    void JoinNeighbourLists();
    // For the pass's own use while the grid is built: whether the body at
    // Index is filed where it stood, and its filed neighbours, ascending.
    bool IsFiled(size_t Index) const { return State[Index] == FiledState; }
    std::span<const uint32_t> FiledNeighbours(size_t Index) const
    {
        return {Neighbours.data() + NeighbourStart[Index], Neighbours.data() + NeighbourStart[Index + 1]};
    }
    // Bodies checked against every body: huge, far away, not finite or
    // listed twice (escaped ones join them as the pass goes on).
    const std::vector<uint32_t>& OfferedToAll() const { return Everywhere; }
    // How far a filed body may stray from where it was filed before it
    // escapes, along each axis.
    double MarginSize() const { return Margin; }

    // Fills Out with the indices, ascending, of every body other than Asker
    // that may pass the circle test with it (same group, circles possibly
    // meeting). False when Asker must instead be tested against every body.
    bool Query(size_t Asker, std::vector<uint32_t>& Out);
    // Whether the last answer given to Asker still covers where it stands.
    bool AnswerCovers(size_t Asker) const;
    void NoteMoved(size_t Index);
    const TBroadPhaseStats& Stats() const { return StatsValue; }
    void CountRequery() { ++StatsValue.Requeries; }

private:
    static constexpr uint8_t FiledState = 0;

    struct TCell {
        int32_t x, y;
        bool operator==(const TCell&) const = default;
    };
    // What a bucket holds of a filed body, packed so a scan reads one line.
    struct TFiled {
        TCell Cell;
        float X, Y, Radius;
        int32_t Group;
        uint32_t Index;
    };

    bool CellOf(TVector2D Position, TCell& Cell) const;
    uint32_t Bucket(TCell Cell) const;
    void MarkWide(size_t Index);
    bool Near(const TFiled& A, const TFiled& B) const;
    void FileBodies();
    void ListNeighbours();
    void ListAround(size_t Index, std::vector<uint32_t>& Out) const;
    bool ScanCells(size_t Asker, std::vector<uint32_t>& Out) const;

    const std::vector<TBody*>* Bodies = nullptr;
    double Margin = 0.0;
    double CellSize = 1.0;
    uint32_t BucketMask = 0;
    std::vector<uint8_t> State;   // filed, wide or escaped
    std::vector<TFiled> Filing;   // by body index
    std::vector<uint32_t> BucketStart;
    std::vector<TFiled> BucketEntries;
    // Every filed body's filed neighbours, ascending: bodies of its group
    // whose filed positions lie within reach of its own.
    std::vector<uint32_t> NeighbourStart;
    std::vector<uint32_t> Neighbours;
    std::vector<uint32_t> PairScratch;
    // ListNeighboursOf's lists, one per task, and the number of tasks.
    std::vector<std::vector<uint32_t>> TaskNeighbours;
    size_t TaskCount = 0;
    std::vector<uint32_t> FillCursor;
    // Wide and escaped bodies, offered to every query.
    std::vector<uint32_t> Everywhere;
    // The last answer: from the filing (valid while the asker stays filed)
    // or from a scan of the cells around AskedAt.
    bool AnsweredFromFiling = false;
    TVector2D AskedAt{0.0f, 0.0f};
    TBroadPhaseStats StatsValue;
};

}   // namespace orbel2
