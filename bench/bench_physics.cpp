// One world step, in our world (with the grid and with the plain all-pairs
// pass), in Box2D 2.4 and in Chipmunk2D 7, on two scenes of n boxes: a
// spread grid with no walls and a pile pushed into a closed container.
// Every engine is warmed up by the same number of steps and then timed over
// the same fixed window of steps; each result carries the pairs in touch per
// step during the window, so that what was solved can be read beside the
// time, and how far the boxes moved, so that a pile at rest shows as one.
// The demo's own world is stepped too, as before. Ours runs with 1 and 2
// worker threads (the last part of its names, workers:N); the crossover
// benchmarks step ours on both counts with threads from the first body on,
// to show from which size they pay.
#include "bench/PhysicsScenes.h"
#include "bench/PhysicsWorlds.h"
#include "demo/DemoScene.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

using namespace bench;

enum class TEngine { Ours, OursAllPairs, Box2D, Chipmunk };

constexpr TEngine kEngines[] = {TEngine::Ours, TEngine::OursAllPairs, TEngine::Box2D, TEngine::Chipmunk};

const char* NameOf(TEngine engine)
{
    switch (engine) {
    case TEngine::Ours:
        return "Ours";
    case TEngine::OursAllPairs:
        return "OursAllPairs";
    case TEngine::Box2D:
        return "Box2D";
    case TEngine::Chipmunk:
        return "Chipmunk";
    }
    return "?";
}

constexpr int kSizes[] = {100, 1000, 5000, 10000};
// The all-pairs pass costs n^2 circle tests a step; beyond this it would
// dominate the whole run.
constexpr int kLargestAllPairs = 5000;

struct TSceneInfo {
    const char* Name;
    TScene (*Build)(int count);
};

constexpr TSceneInfo kScenes[] = {
    {"BM_SpreadGrid", SpreadGrid},
    {"BM_ContainerPile", ContainerPile},
};

// Builds the engine's world for the scene and hands it to run.
constexpr unsigned kWorkerCounts[] = {1, 2};

template <class TRun>
void WithWorld(TEngine engine, const TScene& scene, TRun&& run, unsigned workers = 1,
               size_t parallelFrom = TPhysics2D::DefaultParallelFromBodies)
{
    switch (engine) {
    case TEngine::Ours: {
        TOurWorld world(scene, TCollisionPass::BroadPhase, workers, parallelFrom);
        run(world);
        return;
    }
    case TEngine::OursAllPairs: {
        TOurWorld world(scene, TCollisionPass::AllPairs);
        run(world);
        return;
    }
    case TEngine::Box2D: {
        TBox2DWorld world(scene);
        run(world);
        return;
    }
    case TEngine::Chipmunk: {
        TChipmunkWorld world(scene);
        run(world);
        return;
    }
    }
}

template <class TWorld, class TTest>
size_t CountBoxes(const TWorld& world, TTest&& test)
{
    size_t count = 0;
    for (size_t i = 0; i < world.BoxCount(); ++i) {
        if (test(world.BoxCentre(i)))
            ++count;
    }
    return count;
}

template <class TWorld>
size_t BoxesOutside(const TWorld& world, const TBounds& container)
{
    return CountBoxes(world, [&](TVector2D centre) { return !container.Contains(centre); });
}

double CpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double ThreadCpuSeconds()
{
    return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// The mean distance the boxes have moved since `last`, which then becomes
// where they are now.
template <class TWorld>
double MeanMove(const TWorld& world, std::vector<TVector2D>& last)
{
    double sum = 0.0;
    for (size_t i = 0; i < world.BoxCount(); ++i) {
        const TVector2D now = world.BoxCentre(i);
        sum += static_cast<double>(VecLength(VecSub(now, last[i])));
        last[i] = now;
    }
    return sum / static_cast<double>(world.BoxCount());
}

// The warm-up, then one iteration per step of the window, each step timed
// on the wall clock (the reported time) and on the thread's CPU clock (a
// counter, which a busy machine disturbs less). Counting touching pairs and
// measuring how far the boxes moved are left out of both.
template <class TWorld>
void TimeWindow(benchmark::State& state, TWorld& world, const TScene& scene)
{
    world.WarmUp(scene.WarmUpSteps);
    std::vector<TVector2D> last(world.BoxCount());
    MeanMove(world, last);
    double cpuSeconds = 0.0;
    double allCpuSeconds = 0.0;   // every thread of the process: the workers' share too
    double touching = 0.0;
    double moved = 0.0;
    for (auto _ : state) {
        const double cpuStart = ThreadCpuSeconds();
        const double allCpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto start = std::chrono::steady_clock::now();
        world.Step();
        const auto stop = std::chrono::steady_clock::now();
        cpuSeconds += ThreadCpuSeconds() - cpuStart;
        allCpuSeconds += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - allCpuStart;
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        touching += static_cast<double>(world.TouchingPairs());
        moved += MeanMove(world, last);
    }
    const double steps = static_cast<double>(state.iterations());
    state.counters["cpu_us"] = 1e6 * cpuSeconds / steps;
    state.counters["all_cpu_us"] = 1e6 * allCpuSeconds / steps;
    state.counters["touching"] = touching / steps;
    state.counters["touching_per_box"] = touching / steps / static_cast<double>(world.BoxCount());
    state.counters["moved"] = moved / steps;
    if (scene.Container) {
        state.counters["left"] = static_cast<double>(BoxesOutside(world, *scene.Container));
        state.counters["after_steps"] = scene.WarmUpSteps + steps;
    }
    if constexpr (requires { world.WallsMoved(); }) {
        if (!scene.Walls.empty())
            state.counters["walls_moved"] = static_cast<double>(world.WallsMoved()) / (scene.WarmUpSteps + steps);
    }
}

// For ours on workers: of the visits whose circles met in the last step,
// the share tested again on the calling thread because a nudge had moved
// one of the pair.
void CountRetests(benchmark::State& state, const TOurWorld& world)
{
    const TParallelPassStats& stats = world.World().LastParallelStats();
    state.counters["tasks"] = static_cast<double>(stats.Tasks);
    state.counters["strips"] = static_cast<double>(stats.Strips);
    state.counters["stray"] = stats.StrayToMargin;
    if (stats.PairsMet > 0)
        state.counters["retested"] = static_cast<double>(stats.PairsRetested) / static_cast<double>(stats.PairsMet);
}

void RegisterOurs(const std::string& name, const TSceneInfo& kind, int count, unsigned workers, size_t parallelFrom)
{
    benchmark::RegisterBenchmark(name.c_str(),
                                 [kind, count, workers, parallelFrom](benchmark::State& state) {
                                     const TScene scene = kind.Build(count);
                                     TOurWorld world(scene, TCollisionPass::BroadPhase, workers, parallelFrom);
                                     TimeWindow(state, world, scene);
                                     CountRetests(state, world);
                                 })
        ->Iterations(kind.Build(count).TimedSteps)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
}

void RegisterComparisons()
{
    for (const TSceneInfo& kind : kScenes) {
        for (const int count : kSizes) {
            const int window = kind.Build(count).TimedSteps;
            for (const TEngine engine : kEngines) {
                if (engine == TEngine::OursAllPairs && count > kLargestAllPairs)
                    continue;
                if (engine == TEngine::Ours) {
                    for (const unsigned workers : kWorkerCounts)
                        RegisterOurs(std::string(kind.Name) + "/Ours/" + std::to_string(count) + "/workers:" +
                                         std::to_string(workers),
                                     kind, count, workers, TPhysics2D::DefaultParallelFromBodies);
                    continue;
                }
                const std::string name = std::string(kind.Name) + "/" + NameOf(engine) + "/" + std::to_string(count);
                benchmark::RegisterBenchmark(name.c_str(),
                                             [kind, count, engine](benchmark::State& state) {
                                                 const TScene scene = kind.Build(count);
                                                 WithWorld(engine, scene,
                                                           [&](auto& world) { TimeWindow(state, world, scene); });
                                             })
                    ->Iterations(window)
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
}

// Where threads start to pay: ours with threads from the first body on.
constexpr int kCrossoverSizes[] = {100, 250, 500, 1000, 1500, 2000};

void RegisterCrossover()
{
    for (const TSceneInfo& kind : kScenes) {
        for (const int count : kCrossoverSizes) {
            for (const unsigned workers : kWorkerCounts)
                RegisterOurs(std::string("BM_WorkersCrossover/") + (kind.Name + 3) + "/" + std::to_string(count) +
                                 "/workers:" + std::to_string(workers),
                             kind, count, workers, 0);
        }
    }
}

// How many boxes have left the container after so many steps from the
// start. Ours: piles of 1 to 20 rows on a floor 50 boxes wide, and the
// 10,000-box pile; the peers: the 1,000-box pile. The time shown is that of
// the whole run and compares nothing.
constexpr int kLeakCheckpoints[] = {500, 1000, 2000, 4000};

struct TLeakRun {
    TEngine Engine;
    int Columns;
    int Rows;
};

constexpr TLeakRun kLeakRuns[] = {
    {TEngine::Ours, 50, 1},  {TEngine::Ours, 50, 2},   {TEngine::Ours, 50, 5},      {TEngine::Ours, 50, 10},
    {TEngine::Ours, 50, 20}, {TEngine::Box2D, 50, 20}, {TEngine::Chipmunk, 50, 20}, {TEngine::Ours, 500, 20},
};

template <class TWorld>
void CountLeaks(benchmark::State& state, TWorld& world, const TBounds& container)
{
    for (auto _ : state) {
        int stepped = 0;
        for (const int checkpoint : kLeakCheckpoints) {
            for (; stepped < checkpoint; ++stepped)
                world.Step();
            state.counters["left_after_" + std::to_string(checkpoint)] =
                static_cast<double>(BoxesOutside(world, container));
        }
        // Of those, the ones under the floor (not beside the container):
        // they went out through the floor.
        state.counters["through_floor"] = static_cast<double>(CountBoxes(world, [&](TVector2D centre) {
            return centre.y > container.Max.y && centre.x >= container.Min.x && centre.x <= container.Max.x;
        }));
    }
}

void RegisterLeaks()
{
    for (const TLeakRun& run : kLeakRuns) {
        const std::string name = std::string("BM_ContainerLeak/") + NameOf(run.Engine) + "/" +
            std::to_string(run.Columns) + "x" + std::to_string(run.Rows);
        benchmark::RegisterBenchmark(name.c_str(),
                                     [run](benchmark::State& state) {
                                         const TScene scene = BoxesInContainer(run.Columns, run.Columns * run.Rows);
                                         WithWorld(run.Engine, scene,
                                                   [&](auto& world) { CountLeaks(state, world, *scene.Container); });
                                     })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
}

// ---------------------------------------------------------------- the demo

void RunDemo(benchmark::State& state, TCollisionPass pass)
{
    TDemoScene demo;
    BuildDemoBodies(demo);
    demo.Physics.CollisionPass = pass;
    for (auto _ : state) {
        ApplyDemoInput(demo.Player, INPUT_UP);
        demo.Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
    }
}

void RegisterDemo()
{
    benchmark::RegisterBenchmark("BM_PhysicsStep/22", RunDemo, TCollisionPass::BroadPhase)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_PhysicsStepAllPairs/22", RunDemo, TCollisionPass::AllPairs)
        ->Unit(benchmark::kMicrosecond);
    // The same placements with no player input: the peers only for scale.
    const auto peer = [](TEngine engine) {
        return [engine](benchmark::State& state) {
            WithWorld(engine, DemoPlacements(), [&](auto& world) {
                for (auto _ : state)
                    world.Step();
            });
        };
    };
    benchmark::RegisterBenchmark("BM_Box2DStep/22", peer(TEngine::Box2D))->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_ChipmunkStep/22", peer(TEngine::Chipmunk))->Unit(benchmark::kMicrosecond);
}

[[maybe_unused]] const bool kRegistered = [] {
    RegisterDemo();
    RegisterComparisons();
    RegisterCrossover();
    RegisterLeaks();
    return true;
}();

}   // namespace
