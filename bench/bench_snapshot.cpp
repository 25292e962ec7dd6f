// Saving a world's state to bytes and loading it back (PhysicsSnapshot.h):
// the demo's 22 bodies and a spread grid of 10,000 boxes with a spring
// between every tenth pair. The storage is reused, as a game keeping a
// snapshot would reuse it, so only copying and checking are timed.
#include "bench/PhysicsWorlds.h"
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
    bench::TSprungGrid grid(static_cast<int>(state.range(0)));
    grid.World.Step(TIntegrationMode::imMidpoint, bench::kStep);
    SaveAndLoad(state, grid.World);
}

}   // namespace

BENCHMARK(BM_SnapshotSaveLoadDemo)->Name("BM_SnapshotSaveLoad/22")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotSaveLoadGrid)->Name("BM_SnapshotSaveLoad")->Arg(10000)->Unit(benchmark::kMicrosecond);
