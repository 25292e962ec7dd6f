#include "orbel2/physics/CollisionGrid.h"

#include "orbel2/kernel/OB_Assert.h"
#include "orbel2/physics/Body.h"

#include <algorithm>
#include <cmath>

namespace orbel2 {

// Why the answers are complete. The pair (a, b) passes the circle test only
// if |pa - pb| < ra + rb (the float test can exceed the true distance bound
// by a few ulps, far inside the slack below). Let q be a point that a has
// strayed at most m from along each axis, and f a point that b has strayed
// at most m from. Per axis |q - f| <= |q - pa| + |pa - pb| + |pb - f|
// < ra + rb + 2m, the reach within which the grid names b to a. For two
// filed bodies q and f are where they were filed, so their neighbour lists,
// made once at Build, hold while both stay within m of their filings. A
// body nudged further escapes: it is offered to every query from then on,
// and when it asks itself, the cells around where it stands are scanned,
// an answer that holds until it strays m from there. A cell is wider than
// the greatest reach between two filed bodies, so every filing within reach
// of a point lies in the point's cell or one of its eight neighbours.
namespace {

constexpr uint8_t WideState = 1;
constexpr uint8_t EscapedState = 2;

// Cells are counted in int32; positions further out than this many cells
// are treated as wide rather than risk overflow.
constexpr double MaxCellIndex = 1 << 30;

constexpr double ReachSlack = 1.0001;
constexpr double ReachFloor = 1e-3;

double Reach(double RadiusA, double RadiusB, double Margin)
{
    return (RadiusA + RadiusB + 2.0 * Margin) * ReachSlack + ReachFloor;
}

bool IsFinite(TVector2D V)
{
    return std::isfinite(V.x) && std::isfinite(V.y);
}

bool WithinMargin(TVector2D P, TVector2D Q, double Margin)
{
    return std::fabs(double(P.x) - Q.x) <= Margin && std::fabs(double(P.y) - Q.y) <= Margin;
}

// Lists are a handful long; insertion sort beats anything clever.
void SortShort(uint32_t* First, uint32_t* Last)
{
    for (uint32_t* i = First + 1; i < Last; ++i) {
        const uint32_t value = *i;
        uint32_t* j = i;
        for (; j > First && *(j - 1) > value; --j)
            *j = *(j - 1);
        *j = value;
    }
}

}   // namespace

inline bool TCollisionGrid::CellOf(TVector2D Position, TCell& Cell) const
{
    const double x = std::floor(Position.x / CellSize);
    const double y = std::floor(Position.y / CellSize);
    if (!(std::fabs(x) < MaxCellIndex && std::fabs(y) < MaxCellIndex))
        return false;
    Cell = TCell{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

inline uint32_t TCollisionGrid::Bucket(TCell Cell) const
{
    uint32_t h = static_cast<uint32_t>(Cell.x) * 0x9E3779B1u ^ static_cast<uint32_t>(Cell.y) * 0x85EBCA77u;
    h ^= h >> 15;
    return h & BucketMask;
}

void TCollisionGrid::MarkWide(size_t Index)
{
    if (State[Index] != FiledState)
        return;
    State[Index] = WideState;
    Everywhere.push_back(static_cast<uint32_t>(Index));
    ++StatsValue.WideBodies;
}

inline bool TCollisionGrid::Near(const TFiled& A, const TFiled& B) const
{
    if (A.Group != B.Group)
        return false;
    const double reach = Reach(A.Radius, B.Radius, Margin);
    return std::fabs(double(A.X) - B.X) <= reach && std::fabs(double(A.Y) - B.Y) <= reach;
}

void TCollisionGrid::Build(const std::vector<TBody*>& List)
{
    File(List, 0, 0.25);
    ListNeighbours();
}

void TCollisionGrid::File(const std::vector<TBody*>& List, size_t Tasks, double MarginShare)
{
    TaskCount = Tasks;
    if (TaskNeighbours.size() < Tasks)
        TaskNeighbours.resize(Tasks);
    Bodies = &List;
    const size_t count = List.size();
    StatsValue = TBroadPhaseStats{};
    State.assign(count, FiledState);
    Filing.resize(count);
    Everywhere.clear();
    Everywhere.reserve(count);

    // The cell follows the typical body: one huge body must not make every
    // cell huge, so bodies beyond twice the mean radius are wide instead.
    double radiusSum = 0.0;
    size_t radiusCount = 0;
    for (const TBody* body : List) {
        if (std::isfinite(body->Radius) && body->Radius >= 0.0f) {
            radiusSum += body->Radius;
            ++radiusCount;
        }
    }
    const double wideRadius = radiusCount ? 2.0 * radiusSum / static_cast<double>(radiusCount) : 0.0;
    double maxRadius = 0.0;
    for (const TBody* body : List) {
        if (std::isfinite(body->Radius) && body->Radius <= wideRadius)
            maxRadius = std::max(maxRadius, static_cast<double>(body->Radius));
    }
    // A quarter radius of slack lets a body take many half-unit nudges
    // before it escapes, at a modest cost in cell size.
    Margin = MarginShare * maxRadius + 0.5;
    CellSize = Reach(maxRadius, maxRadius, Margin) * 1.01;

    for (TBody* body : List)
        body->GridSlot = UINT32_MAX;
    for (size_t i = 0; i < count; ++i) {
        TBody& body = *List[i];
        if (body.GridSlot != UINT32_MAX) {
            // The same body listed twice moves under both entries at once.
            MarkWide(body.GridSlot);
            MarkWide(i);
            continue;
        }
        body.GridSlot = static_cast<uint32_t>(i);
        TFiled& filed = Filing[i];
        filed = TFiled{TCell{0, 0}, body.State.Position.x,   body.State.Position.y, body.Radius,
                       body.Group,  static_cast<uint32_t>(i)};
        const bool ordinary = IsFinite(body.State.Position) && std::isfinite(body.Radius) &&
            body.Radius <= wideRadius && CellOf(body.State.Position, filed.Cell);
        if (!ordinary)
            MarkWide(i);
    }
    FileBodies();
    if (Tasks > 0)
        NeighbourStart.resize(count + 1);
}

// Counting sort of the filed bodies into their buckets, each bucket in
// index order.
void TCollisionGrid::FileBodies()
{
    const size_t count = Filing.size();
    uint32_t buckets = 8;
    while (buckets < 2 * count)
        buckets *= 2;
    BucketMask = buckets - 1;
    BucketStart.assign(buckets + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        if (State[i] == FiledState)
            ++BucketStart[Bucket(Filing[i].Cell) + 1];
    }
    for (uint32_t b = 0; b < buckets; ++b)
        BucketStart[b + 1] += BucketStart[b];
    BucketEntries.resize(BucketStart[buckets]);
    FillCursor.assign(BucketStart.begin(), BucketStart.end() - 1);
    for (size_t i = 0; i < count; ++i) {
        if (State[i] == FiledState)
            BucketEntries[FillCursor[Bucket(Filing[i].Cell)]++] = Filing[i];
    }
}

// Every unordered pair of filed bodies within reach, found once: in the
// body's own cell with a later body, or in the four cells ahead of it.
void TCollisionGrid::ListNeighbours()
{
    static constexpr TCell CellsAhead[] = {{1, -1}, {1, 0}, {1, 1}, {0, 1}};
    const size_t count = Filing.size();
    NeighbourStart.assign(count + 1, 0);
    PairScratch.clear();
    PairScratch.reserve(Neighbours.capacity());   // two entries per pair, as in Neighbours
    const auto pairUp = [&](const TFiled& a, const TFiled& b) {
        if (!Near(a, b))
            return;
        PairScratch.push_back(a.Index);
        PairScratch.push_back(b.Index);
        ++NeighbourStart[a.Index + 1];
        ++NeighbourStart[b.Index + 1];
    };
    for (size_t i = 0; i < count; ++i) {
        if (State[i] != FiledState)
            continue;
        const TFiled& a = Filing[i];
        const uint32_t home = Bucket(a.Cell);
        for (uint32_t k = BucketStart[home]; k < BucketStart[home + 1]; ++k) {
            const TFiled& b = BucketEntries[k];
            if (b.Index > a.Index && b.Cell == a.Cell)
                pairUp(a, b);
        }
        for (const TCell offset : CellsAhead) {
            const TCell cell{a.Cell.x + offset.x, a.Cell.y + offset.y};
            const uint32_t bucket = Bucket(cell);
            for (uint32_t k = BucketStart[bucket]; k < BucketStart[bucket + 1]; ++k) {
                if (BucketEntries[k].Cell == cell)
                    pairUp(a, BucketEntries[k]);
            }
        }
    }
    for (size_t i = 0; i < count; ++i)
        NeighbourStart[i + 1] += NeighbourStart[i];
    // Headroom, so that a few more pairs next step do not reallocate.
    const size_t listed = NeighbourStart[count];
    if (listed > Neighbours.capacity())
        Neighbours.reserve(listed + listed / 2 + 64);
    Neighbours.resize(listed);
    FillCursor.assign(NeighbourStart.begin(), NeighbourStart.end() - 1);
    for (size_t p = 0; p < PairScratch.size(); p += 2) {
        const uint32_t a = PairScratch[p];
        const uint32_t b = PairScratch[p + 1];
        Neighbours[FillCursor[a]++] = b;
        Neighbours[FillCursor[b]++] = a;
    }
    for (size_t i = 0; i < count; ++i)
        SortShort(Neighbours.data() + NeighbourStart[i], Neighbours.data() + NeighbourStart[i + 1]);
}

// A filed body's filed neighbours, from the nine cells around its own;
// ascending.
void TCollisionGrid::ListAround(size_t Index, std::vector<uint32_t>& Out) const
{
    const TFiled& a = Filing[Index];
    const size_t first = Out.size();
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            const TCell cell{a.Cell.x + dx, a.Cell.y + dy};
            const uint32_t bucket = Bucket(cell);
            for (uint32_t k = BucketStart[bucket]; k < BucketStart[bucket + 1]; ++k) {
                const TFiled& b = BucketEntries[k];
                if (b.Cell == cell && b.Index != Index && Near(a, b))
                    Out.push_back(b.Index);
            }
        }
    }
    SortShort(Out.data() + first, Out.data() + Out.size());
}

// Every body of the task's share looks around itself: each pair is found
// from both sides, twice the work of ListNeighbours, but every share is
// independent. NeighbourStart is first an offset into the task's list.
void TCollisionGrid::ListNeighboursOf(size_t Task)
{
    const size_t count = Filing.size();
    std::vector<uint32_t>& out = TaskNeighbours[Task];
    out.clear();
    const size_t begin = count * Task / TaskCount;
    const size_t end = count * (Task + 1) / TaskCount;
    for (size_t i = begin; i < end; ++i) {
        NeighbourStart[i] = static_cast<uint32_t>(out.size());
        if (State[i] == FiledState)
            ListAround(i, out);
    }
}

void TCollisionGrid::JoinNeighbourLists()
{
    const size_t count = Filing.size();
    size_t listed = 0;
    for (size_t t = 0; t < TaskCount; ++t)
        listed += TaskNeighbours[t].size();
    if (listed > Neighbours.capacity())
        Neighbours.reserve(listed + listed / 2 + 64);
    Neighbours.resize(listed);
    size_t base = 0;
    for (size_t t = 0; t < TaskCount; ++t) {
        const size_t begin = count * t / TaskCount;
        const size_t end = count * (t + 1) / TaskCount;
        for (size_t i = begin; i < end; ++i)
            NeighbourStart[i] += static_cast<uint32_t>(base);
        std::copy(TaskNeighbours[t].begin(), TaskNeighbours[t].end(), Neighbours.begin() + static_cast<ptrdiff_t>(base));
        base += TaskNeighbours[t].size();
    }
    NeighbourStart[count] = static_cast<uint32_t>(base);
}

bool TCollisionGrid::ScanCells(size_t Asker, std::vector<uint32_t>& Out) const
{
    const TBody& body = *(*Bodies)[Asker];
    TFiled asker{TCell{0, 0}, body.State.Position.x,       body.State.Position.y, body.Radius,
                 body.Group,  static_cast<uint32_t>(Asker)};
    if (!CellOf(body.State.Position, asker.Cell))
        return false;
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            const TCell cell{asker.Cell.x + dx, asker.Cell.y + dy};
            const uint32_t bucket = Bucket(cell);
            for (uint32_t k = BucketStart[bucket]; k < BucketStart[bucket + 1]; ++k) {
                const TFiled& b = BucketEntries[k];
                if (b.Cell == cell && b.Index != Asker && State[b.Index] == FiledState && Near(asker, b))
                    Out.push_back(b.Index);
            }
        }
    }
    return true;
}

bool TCollisionGrid::Query(size_t Asker, std::vector<uint32_t>& Out)
{
    OB_ASSERT(Asker < State.size());
    Out.clear();
    if (State[Asker] == WideState)
        return false;
    const TBody& asking = *(*Bodies)[Asker];
    AnsweredFromFiling = State[Asker] == FiledState;
    if (AnsweredFromFiling) {
        for (uint32_t k = NeighbourStart[Asker]; k < NeighbourStart[Asker + 1]; ++k) {
            if (State[Neighbours[k]] == FiledState)
                Out.push_back(Neighbours[k]);
        }
    } else {
        AskedAt = asking.State.Position;
        if (!ScanCells(Asker, Out))
            return false;
    }
    if (Everywhere.empty())
        return true;
    for (const uint32_t b : Everywhere) {
        if (b != Asker && (*Bodies)[b]->Group == asking.Group)
            Out.push_back(b);
    }
    std::sort(Out.begin(), Out.end());
    return true;
}

bool TCollisionGrid::AnswerCovers(size_t Asker) const
{
    if (AnsweredFromFiling)
        return State[Asker] == FiledState;
    return WithinMargin((*Bodies)[Asker]->State.Position, AskedAt, Margin);
}

void TCollisionGrid::NoteMoved(size_t Index)
{
    if (State[Index] != FiledState)
        return;
    if (WithinMargin((*Bodies)[Index]->State.Position, MakeVector2D(Filing[Index].X, Filing[Index].Y), Margin))
        return;
    State[Index] = EscapedState;
    Everywhere.push_back(static_cast<uint32_t>(Index));
    ++StatsValue.Escapes;
}

}   // namespace orbel2
