// Saving a world's state to bytes and loading it back (PhysicsSnapshot.h):
// the demo's 22 bodies and a spread grid of 10,000 boxes with a spring
// between every tenth pair. The storage is reused, as a game keeping a
// snapshot would reuse it, so only copying and checking are timed.
#include "bench/PhysicsScenes.h"
#include "demo/DemoScene.h"
#include "orbel2/physics/PhysicsSnapshot.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

void SaveAndLoad(benchmark::State& state, TPhysics2D& world)
{
    std::vector<uint8_t> bytes;
    std::string why;
    SavePhysicsState(world, bytes);
    for (auto _ : state) {
        SavePhysicsState(world, bytes);
        if (!LoadPhysicsState(world, bytes, why))
            state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_SnapshotSaveLoadDemo(benchmark::State& state)
{
    TDemoScene demo;
    BuildDemoBodies(demo);
    for (int i = 0; i < 50; ++i)
        demo.Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
    SaveAndLoad(state, demo.Physics);
}

void BM_SnapshotSaveLoadGrid(benchmark::State& state)
{
    const bench::TScene scene = bench::SpreadGrid(static_cast<int>(state.range(0)));
    std::vector<TBody> bodies(scene.Boxes.size());
    std::vector<TSpring> springs(bodies.size() / 10);
    TPhysics2D world;
    for (size_t i = 0; i < bodies.size(); ++i) {
        bodies[i].SetBox(scene.Boxes[i].Size.x, scene.Boxes[i].Size.y);
        bodies[i].State.Position = scene.Boxes[i].Centre;
        bodies[i].State.Angle = scene.Boxes[i].Angle;
        world.Bodies.push_back(&bodies[i]);
    }
    for (size_t i = 0; i < springs.size(); ++i) {
        springs[i].BodyA = &bodies[10 * i];
        springs[i].BodyB = &bodies[10 * i + 1];
        world.Constraints.push_back(&springs[i]);
    }
    world.Step(TIntegrationMode::imMidpoint, bench::kStep);
    SaveAndLoad(state, world);
}

}   // namespace

BENCHMARK(BM_SnapshotSaveLoadDemo)->Name("BM_SnapshotSaveLoad/22")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotSaveLoadGrid)->Name("BM_SnapshotSaveLoad")->Arg(10000)->Unit(benchmark::kMicrosecond);
