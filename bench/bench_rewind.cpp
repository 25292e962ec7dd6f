// Stepping a game back: the fixed-step core's rewind on the demo's 22 bodies
// and on a spread grid of 10,000 boxes with a spring between every tenth
// pair. After 600 steps the history holds its 10 s; each iteration steps
// back one step, as the held key does, and the history is filled again
// (untimed) when it runs out. The counter "kept" is the bytes of states the
// history holds.
#include "bench/PhysicsWorlds.h"
#include "demo/DemoScene.h"
#include "orbel2/session/FixedStepSession.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

class TGridGame : public TFixedStepSession {
public:
    explicit TGridGame(int Boxes) : FBoxes(Boxes) {}

protected:
    void StartGame() override { FGrid = std::make_unique<bench::TSprungGrid>(FBoxes); }
    void ApplyInput(uint32_t, float) override {}
    void StepPhysics(float Dt) override { FGrid->World.Step(TIntegrationMode::imMidpoint, Dt); }
    void DrawScene(float) override {}
    TPhysics2D* World() override { return FGrid ? &FGrid->World : nullptr; }

private:
    int FBoxes;
    std::unique_ptr<bench::TSprungGrid> FGrid;
};

class TDemoGame : public TFixedStepSession {
protected:
    void StartGame() override { BuildDemoBodies(FScene); }
    void ApplyInput(uint32_t Input, float) override { ApplyDemoInput(FScene.Player, Input); }
    void StepPhysics(float Dt) override { FScene.Physics.Step(TIntegrationMode::imMidpoint, Dt); }
    void DrawScene(float) override {}
    TPhysics2D* World() override { return &FScene.Physics; }

private:
    TDemoScene FScene;
};

void RewindOneStep(benchmark::State& state, TFixedStepSession& game)
{
    game.Start();
    game.RunSteps(600);
    size_t kept = 0;
    for (auto _ : state) {
        if (game.History().Now() == game.History().Oldest()) {
            state.PauseTiming();
            game.RunSteps(600);
            state.ResumeTiming();
        }
        game.Rewind(1);
        kept = std::max(kept, game.History().StateBytes());
    }
    state.counters["kept"] = static_cast<double>(kept);
    game.Stop();
}

void BM_RewindStepDemo(benchmark::State& state)
{
    TDemoGame game;
    RewindOneStep(state, game);
}

void BM_RewindStepGrid(benchmark::State& state)
{
    TGridGame game(static_cast<int>(state.range(0)));
    RewindOneStep(state, game);
}

}   // namespace

BENCHMARK(BM_RewindStepDemo)->Name("BM_RewindStep/22")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewindStepGrid)->Name("BM_RewindStep")->Arg(10000)->Unit(benchmark::kMicrosecond)->Iterations(500);
