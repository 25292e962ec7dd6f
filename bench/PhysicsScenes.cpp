#include "bench/PhysicsScenes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orbel2 {

namespace bench {
namespace {

constexpr float kSpreadPitch = 45.0f;
// Boxes and wall tiles of the container sit on one lattice of this pitch:
// a gap of 2 units between neighbours, so that no two tiles touch (touching
// outlines count as crossing in our world).
constexpr float kLatticePitch = 42.0f;
constexpr int kHeadroomRows = 2;
// The container's pile is square up to this many rows and wider beyond:
// deeper piles of 40 x 40 boxes do not come to rest in the peers within a
// warm-up that the benchmark can afford.
constexpr int kPileRows = 20;

// xorshift32, fixed seed: every run places the same boxes.
class TRandom {
public:
    explicit TRandom(uint32_t seed) : State(seed) {}
    float Uniform(float low, float high)
    {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return low + (high - low) * static_cast<float>(State >> 8) * (1.0f / 16777216.0f);
    }

private:
    uint32_t State;
};

int ColumnsFor(int count)
{
    return static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
}

// The same window for every engine at a given size: long enough for a
// steady figure, short enough that the all-pairs reference finishes.
int TimedStepsFor(int count)
{
    if (count <= 100)
        return 1000;
    if (count <= 1000)
        return 300;
    return 100;
}

TBoxPlacement Box(float x, float y, float angle)
{
    return TBoxPlacement{MakeVector2D(x, y), angle, MakeVector2D(kBoxSide, kBoxSide)};
}

// The centre of lattice cell (column, row).
TVector2D Cell(int column, int row)
{
    return MakeVector2D(kLatticePitch * (static_cast<float>(column) + 0.5f),
                        kLatticePitch * (static_cast<float>(row) + 0.5f));
}

// Wall tiles on the ring of cells around columns [0, columns) and rows
// [0, rows): the floor first, then the two sides, then the lid.
std::vector<TBoxPlacement> ContainerWalls(int columns, int rows)
{
    std::vector<TBoxPlacement> walls;
    const auto tile = [&](int column, int row) {
        const TVector2D centre = Cell(column, row);
        walls.push_back(Box(centre.x, centre.y, 0.0f));
    };
    for (int column = -1; column <= columns; ++column)
        tile(column, rows);
    for (int row = rows - 1; row >= 0; --row) {
        tile(-1, row);
        tile(columns, row);
    }
    for (int column = -1; column <= columns; ++column)
        tile(column, -1);
    return walls;
}

}   // namespace

TScene SpreadGrid(int count)
{
    TScene scene;
    const int columns = ColumnsFor(count);
    TRandom random(0x5EED1234u);
    for (int i = 0; i < count; ++i) {
        const float x = kSpreadPitch * static_cast<float>(i % columns) + random.Uniform(-2.0f, 2.0f);
        const float y = kSpreadPitch * static_cast<float>(i / columns) + random.Uniform(-2.0f, 2.0f);
        scene.Boxes.push_back(Box(x, y, random.Uniform(-0.3f, 0.3f)));
    }
    // Past the peers' first steps (which create every contact) and past the
    // steps in which our pass pushes the crossing boxes apart.
    scene.WarmUpSteps = 100;
    scene.TimedSteps = TimedStepsFor(count);
    return scene;
}

TScene ContainerPile(int count)
{
    const int columns = std::max(ColumnsFor(count), (count + kPileRows - 1) / kPileRows);
    TScene scene = BoxesInContainer(columns, count);
    // The peers' piles are at rest after about 250 steps. Ours never rests
    // (see docs/physics-limits.md); its count of crossing pairs climbs for
    // about the first 1,000 steps, when the first boxes start to leave.
    scene.WarmUpSteps = 1000;
    scene.TimedSteps = TimedStepsFor(count);
    return scene;
}

TScene BoxesInContainer(int columns, int count)
{
    TScene scene;
    const int boxRows = (count + columns - 1) / columns;
    const int rows = boxRows + kHeadroomRows;
    scene.Walls = ContainerWalls(columns, rows);
    // Row by row from the floor up, with small offsets and angles so that
    // the columns are not perfectly stacked.
    TRandom random(0xC0A7A1Eu);
    for (int i = 0; i < count; ++i) {
        const TVector2D centre = Cell(i % columns, rows - 1 - i / columns);
        scene.Boxes.push_back(Box(centre.x + random.Uniform(-0.5f, 0.5f), centre.y, random.Uniform(-0.02f, 0.02f)));
    }
    scene.PushAcceleration = kPushAcceleration;
    const float wallOuter = kLatticePitch - 1.0f;   // from the interior's edge to a tile's far face
    scene.Container = TBounds{MakeVector2D(-wallOuter, -wallOuter),
                              MakeVector2D(kLatticePitch * static_cast<float>(columns) + wallOuter,
                                           kLatticePitch * static_cast<float>(rows) + wallOuter)};
    return scene;
}

TScene DemoPlacements()
{
    TScene scene;
    scene.Boxes.push_back(TBoxPlacement{MakeVector2D(0.0f, 0.0f), 0.0f, MakeVector2D(40.0f, 20.0f)});
    for (int i = 0; i < 21; ++i)
        scene.Boxes.push_back(Box(static_cast<float>(60 * i), 100.0f, 0.0f));
    return scene;
}

}   // namespace bench

}   // namespace orbel2
