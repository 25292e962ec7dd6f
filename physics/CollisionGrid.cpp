#include "physics/CollisionGrid.h"

#include "physics/physicssystem.h"

#include <algorithm>
#include <cmath>

// Why the answers are complete. The pair (a, b) passes the circle test only
// if |pa - pb| < ra + rb (the float test can exceed the true distance bound
// by a few ulps, far inside the slack below). Let q be where a stood when it
// asked and f where b was filed. While both have moved at most m along each
// axis, per axis |q - f| <= |q - pa| + |pa - pb| + |pb - f| < ra + rb + 2m,
// which is the reach a query accepts. A cell is wider than the greatest
// reach of two filed bodies, so f lies in q's cell or one of its eight
// neighbours. Bodies that break the premise are offered to every query
// instead: wide ones from the start, escaped ones from the nudge that took
// them beyond m.
namespace {

constexpr uint8_t kFiled = 0;
constexpr uint8_t kWide = 1;
constexpr uint8_t kEscaped = 2;

// Cells are counted in int32; positions further out than this many cells
// are treated as wide rather than risk overflow.
constexpr double kMaxCellIndex = 1 << 30;

constexpr double kReachSlack = 1.0001;
constexpr double kReachFloor = 1e-3;

double Reach(double radiusA, double radiusB, double margin)
{
    return (radiusA + radiusB + 2.0 * margin) * kReachSlack + kReachFloor;
}

bool IsFinite(TVector2D v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

}  // namespace

bool TCollisionGrid::CellOf(TVector2D position, TCell& cell) const
{
    const double x = std::floor(position.x / CellSize);
    const double y = std::floor(position.y / CellSize);
    if (!(std::fabs(x) < kMaxCellIndex && std::fabs(y) < kMaxCellIndex))
        return false;
    cell = TCell{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

uint32_t TCollisionGrid::Bucket(TCell cell) const
{
    uint32_t h = static_cast<uint32_t>(cell.x) * 0x9E3779B1u ^ static_cast<uint32_t>(cell.y) * 0x85EBCA77u;
    h ^= h >> 15;
    return h & BucketMask;
}

void TCollisionGrid::MarkWide(size_t index)
{
    if (Unfiled[index] != kFiled)
        return;
    Unfiled[index] = kWide;
    Everywhere.push_back(static_cast<uint32_t>(index));
    ++StatsValue.WideBodies;
}

void TCollisionGrid::Build(const std::vector<TBody*>& bodies)
{
    Bodies = &bodies;
    const size_t count = bodies.size();
    StatsValue = TBroadPhaseStats{};
    BodyCell.resize(count);
    FiledAt.resize(count);
    Unfiled.assign(count, kFiled);
    Everywhere.clear();
    Everywhere.reserve(count);

    // The cell follows the typical body: one huge body must not make every
    // cell huge, so bodies beyond twice the mean radius are wide instead.
    double radiusSum = 0.0;
    size_t radiusCount = 0;
    for (const TBody* body : bodies) {
        if (std::isfinite(body->Radius) && body->Radius >= 0.0f) {
            radiusSum += body->Radius;
            ++radiusCount;
        }
    }
    const double wideRadius = radiusCount ? 2.0 * radiusSum / static_cast<double>(radiusCount) : 0.0;
    double maxRadius = 0.0;
    for (const TBody* body : bodies) {
        if (std::isfinite(body->Radius) && body->Radius <= wideRadius)
            maxRadius = std::max(maxRadius, static_cast<double>(body->Radius));
    }
    // A quarter radius of slack lets a body take many half-unit nudges
    // before it has to leave the grid, at a modest cost in cell size.
    MarginValue = 0.25 * maxRadius + 0.5;
    CellSize = Reach(maxRadius, maxRadius, MarginValue) * 1.01;

    for (TBody* body : bodies)
        body->GridSlot = UINT32_MAX;
    for (size_t i = 0; i < count; ++i) {
        TBody& body = *bodies[i];
        if (body.GridSlot != UINT32_MAX) {
            // The same body listed twice moves under both entries at once.
            MarkWide(body.GridSlot);
            MarkWide(i);
            continue;
        }
        body.GridSlot = static_cast<uint32_t>(i);
        const bool ordinary = IsFinite(body.State.Position) && std::isfinite(body.Radius) &&
                              body.Radius <= wideRadius && CellOf(body.State.Position, BodyCell[i]);
        if (!ordinary)
            MarkWide(i);
    }

    uint32_t buckets = 8;
    while (buckets < 2 * count)
        buckets *= 2;
    BucketMask = buckets - 1;
    BucketStart.assign(buckets + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        if (Unfiled[i] == kFiled)
            ++BucketStart[Bucket(BodyCell[i]) + 1];
    }
    for (uint32_t b = 0; b < buckets; ++b)
        BucketStart[b + 1] += BucketStart[b];
    BucketEntries.resize(BucketStart[buckets]);
    // Filled back to front so that each bucket lists its bodies in index
    // order; that walks each bucket's end mark down to its start, one slot
    // along, so the marks are shifted back afterwards.
    for (size_t i = count; i-- > 0;) {
        if (Unfiled[i] != kFiled)
            continue;
        FiledAt[i] = bodies[i]->State.Position;
        BucketEntries[--BucketStart[Bucket(BodyCell[i]) + 1]] = static_cast<uint32_t>(i);
    }
    for (uint32_t b = 0; b < buckets; ++b)
        BucketStart[b] = BucketStart[b + 1];
    BucketStart[buckets] = static_cast<uint32_t>(BucketEntries.size());
}

bool TCollisionGrid::Query(size_t a, std::vector<uint32_t>& out)
{
    out.clear();
    const std::vector<TBody*>& bodies = *Bodies;
    const TBody& A = *bodies[a];
    TCell home{};
    if (Unfiled[a] == kWide || !CellOf(A.State.Position, home))
        return false;

    const double x = A.State.Position.x;
    const double y = A.State.Position.y;
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            const TCell cell{home.x + dx, home.y + dy};
            const uint32_t bucket = Bucket(cell);
            for (uint32_t k = BucketStart[bucket]; k < BucketStart[bucket + 1]; ++k) {
                const uint32_t b = BucketEntries[k];
                if (b == a || Unfiled[b] != kFiled || !(BodyCell[b] == cell))
                    continue;
                const TBody& B = *bodies[b];
                if (B.Group != A.Group)
                    continue;
                const double reach = Reach(A.Radius, B.Radius, MarginValue);
                if (std::fabs(x - FiledAt[b].x) > reach || std::fabs(y - FiledAt[b].y) > reach)
                    continue;
                out.push_back(b);
            }
        }
    }
    for (const uint32_t b : Everywhere) {
        if (b != a && bodies[b]->Group == A.Group)
            out.push_back(b);
    }
    std::sort(out.begin(), out.end());
    return true;
}

void TCollisionGrid::NoteMoved(size_t index)
{
    if (Unfiled[index] != kFiled)
        return;
    const TVector2D p = (*Bodies)[index]->State.Position;
    const bool withinMargin = std::fabs(double(p.x) - FiledAt[index].x) <= MarginValue &&
                              std::fabs(double(p.y) - FiledAt[index].y) <= MarginValue;
    if (withinMargin)
        return;
    Unfiled[index] = kEscaped;
    Everywhere.push_back(static_cast<uint32_t>(index));
    ++StatsValue.Escapes;
}
