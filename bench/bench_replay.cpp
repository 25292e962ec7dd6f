// The headless replay of "orbel2 --replay": the demo's scripted run of
// 20,000 steps (demo/ScriptedRun.h) written as a recording, replayed
// whole per iteration, with and without its checksums beside it. Reports
// demo steps per second; output goes nowhere.
#include "demo/ScriptedRun.h"
#include "orbel2/physics/WorldHash.h"
#include "demo/MainSession.h"
#include "orbel2/session/InputRecording.h"
#include "orbel2/session/ReplayChecksums.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include <unistd.h>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

std::filesystem::path ReplayDir;
void RemoveReplayDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(ReplayDir, ignored);
}

// "checked" and "unchecked": the same recording, the first with its
// checksums as the demo writes them.
void WriteRecordings()
{
    if (!ReplayDir.empty())
        return;
    ReplayDir = std::filesystem::temp_directory_path() / ("orbel2-bench-replay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(ReplayDir);
    std::atexit(RemoveReplayDir);
    TDemoScene scene;
    BuildDemoBodies(scene);
    TRecordWriter recording((ReplayDir / "checked").string(), TRecordingHeader{});
    TChecksumWriter checksums(ChecksumFileName((ReplayDir / "checked").string()), HashWorld(scene.Physics.Bodies));
    TInputScript script;
    for (uint32_t step = 0; step < ScriptedRunSteps; ++step) {
        const uint32_t input = script.Next();
        recording.Write(TInputRecord{step, input});
        ApplyDemoInput(scene.Player, input);
        scene.Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
        checksums.AfterStep([&scene] { return HashWorld(scene.Physics.Bodies); });
    }
    recording.Flush();
    checksums.Flush();
    std::filesystem::copy_file(ReplayDir / "checked", ReplayDir / "unchecked");
}

void BM_Replay(benchmark::State& state, const char* name)
{
    WriteRecordings();
    const TReplayRequest request{(ReplayDir / name).string(), 0};
    std::ostream nowhere(nullptr);
    for (auto _ : state) {
        if (RunHeadlessReplay(request, nowhere, nowhere) != ReplayMatched)
            state.SkipWithError("the replay did not match its recording");
    }
    state.SetItemsProcessed(state.iterations() * ScriptedRunSteps);
    state.counters["steps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * ScriptedRunSteps), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_Replay, checked, "checked")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replay, unchecked, "unchecked")->Unit(benchmark::kMillisecond);

}   // namespace
