// One full frame of the demonstration's picture, drawn headless on the
// software renderer at 640 x 480: clear, 22 rotated quads, one line, the
// console shown with 100 lines of 60 characters and three watches, present;
// and the same frame with the live graph of frames and steps drawn too.
#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleDraw.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "demo/DemoScene.h"
#include "orbel2/session/FrameGraph.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Primitive.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

int32_t FrameNumber = 0;

// The engine writes its log into the current directory: run in a scratch
// directory, removed at exit.
std::filesystem::path ScratchDir;
void RemoveScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDir, ignored);
}

// Starts the engine once for the whole run; it is never shut down, the
// process's end releases it.
void StartEngine()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    ScratchDir = std::filesystem::temp_directory_path() / ("orbel2-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(ScratchDir);
    std::filesystem::current_path(ScratchDir);
    std::atexit(RemoveScratchDir);

    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    OB_Video_SetVirtualSize(800, 600, 0);
    // A windowed present waits for the retrace; here it must not.
    SDL_RenderSetVSync(OB_VideoInfo.Device->Renderer(), 0);

    for (int i = 0; i < 100; ++i) {
        std::string line = "line " + std::to_string(i) + ": ";
        while (line.size() < 60)
            line += "The quick brown fox jumps over the lazy dog. ";
        line.resize(60);
        ConsolePrint(line);
    }
    AddVariable("frame", &FrameNumber);
    AddWatch("fps");
    AddWatch("consoleheight");
    AddWatch("frame");
}

// The graph drawn in the frame when set; nullptr draws none.
TFrameGraph* Graph = nullptr;

// Kept out of line so that profilers can single out the frame.
[[gnu::noinline]] void DrawFrame(TQuad& quad, float angle)
{
    OB_Video_Clear(0);
    OB_Video_BeginScene();
    OB_Quad_SetColorValue(quad, 1, 0, 0, 1);
    OB_Quad_SetCorners(quad, 400, 300, 40, 20, angle, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);
    OB_Quad_SetColorValue(quad, 1, 1, 1, 1);
    for (int i = 0; i < 21; ++i) {
        OB_Quad_SetCorners(quad, 40.0f + 35.0f * static_cast<float>(i), 500, 40, 40,
                           angle * 0.1f * static_cast<float>(i), 0.5f, 0.5f);
        OB_Quad_Draw(quad, nullptr);
    }
    OB_Line_Draw(TVector2D{400, 300}, TVector2D{600, 100}, 0xFFFFFFFF);
    if (Graph != nullptr)
        Graph->Draw();
    ConsoleDraw();
    OB_Video_EndScene();
    OB_Video_Present(true);
}

void RunFrames(benchmark::State& state, bool consoleShown)
{
    StartEngine();
    SetConsoleVisible(consoleShown);
    TQuad quad;
    OB_Quad_Init(quad, 0);
    float angle = 0;
    // The first frame builds the glyph caches; measure the frames after it.
    DrawFrame(quad, angle);
    for (auto _ : state) {
        ++FrameNumber;
        angle += 0.01f;
        DrawFrame(quad, angle);
    }
}
void BM_Frame(benchmark::State& state)
{
    RunFrames(state, true);
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMicrosecond);

// The same frame with the console hidden (the watches still drawn): what
// the scene and the present cost on their own.
void BM_FrameConsoleHidden(benchmark::State& state)
{
    RunFrames(state, false);
}
BENCHMARK(BM_FrameConsoleHidden)->Unit(benchmark::kMicrosecond);

// 17 rows of one opaque colour at the bottom left, 448 or 450 pixels wide,
// drawn Count times a frame straight through SDL or as the engine's quad.
// Only the quad is split into parts that suit SDL's fill; the difference
// between the widths is the cost of SDL's fill mixing streaming and plain
// stores in one cache line.
void FillRows(benchmark::State& state, bool throughSdl)
{
    StartEngine();
    const int width = static_cast<int>(state.range(0));
    constexpr int Count = 8;
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Quad_SetColor(quad, 0xFF202020);
    TGfxDevice& device = *OB_VideoInfo.Device;
    for (auto _ : state) {
        OB_Video_Clear(0);
        OB_Video_BeginScene();
        device.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        OB_Video_SetView(640, 480, 640.0f / 480.0f);
        for (int i = 0; i < Count; ++i) {
            if (throughSdl) {
                const SDL_Rect rows{0, 400, width, 17};
                SDL_SetRenderDrawColor(device.Renderer(), 0x20, 0x20, 0x20, 0xFF);
                SDL_RenderFillRect(device.Renderer(), &rows);
            } else {
                OB_Quad_SetCorners(quad, 0.5f, 400.5f, static_cast<float>(width), 17, 0, 0, 0);
                OB_Quad_Draw(quad, nullptr);
            }
        }
        OB_Video_SetView(0, 0, 0);
        OB_Video_EndScene();
        OB_Video_Present(true);
    }
}
void BM_FillRowsSdl(benchmark::State& state)
{
    FillRows(state, true);
}
BENCHMARK(BM_FillRowsSdl)->Arg(448)->Arg(450)->Unit(benchmark::kMicrosecond);
void BM_FillRowsQuad(benchmark::State& state)
{
    FillRows(state, false);
}
BENCHMARK(BM_FillRowsQuad)->Arg(448)->Arg(450)->Unit(benchmark::kMicrosecond);

// Frames as the session would record them: each frame time is added to the
// accumulator and runs the steps it pays for.
std::vector<TFrameSample> SampleFrames(double shortest, double longest)
{
    std::mt19937 random(13);
    std::uniform_real_distribution<double> frameTime(shortest, longest);
    std::vector<TFrameSample> samples;
    double accumulator = 0;
    for (int i = 0; i < 1000; ++i) {
        const double time = frameTime(random);
        const double before = accumulator;
        accumulator += time;
        uint32_t steps = 0;
        while (accumulator > DemoStepTime) {
            accumulator -= DemoStepTime;
            ++steps;
        }
        samples.push_back(TFrameSample{time, steps, false, false, steps + (accumulator - before) / DemoStepTime});
    }
    return samples;
}

// The CPU time of the calling thread: other processes on the machine do
// not count in it.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The frame of BM_Frame with the graph shown: a new frame enters the graph
// before each is drawn, so its columns move along as they do on screen.
// Each one timed is paired with the same frame drawn just before it
// without the graph; "graph_us" is the mean difference, what the graph
// costs, measured in thread CPU time so that the load of the shared machine
// falls on both frames of a pair alike.
void RunFramesWithGraph(benchmark::State& state, const std::vector<TFrameSample>& samples)
{
    TFrameGraph graph;
    size_t next = 0;
    for (int i = 0; i < TFrameGraph::Capacity; ++i)
        graph.AddFrame(samples[next++ % samples.size()]);
    StartEngine();
    SetConsoleVisible(true);
    TQuad quad;
    OB_Quad_Init(quad, 0);
    float angle = 0;
    Graph = &graph;
    DrawFrame(quad, angle);
    double graphSeconds = 0;
    for (auto _ : state) {
        ++FrameNumber;
        angle += 0.01f;
        graph.AddFrame(samples[next++ % samples.size()]);
        Graph = nullptr;
        const double start = ThreadSeconds();
        DrawFrame(quad, angle);
        const double withoutGraph = ThreadSeconds();
        Graph = &graph;
        DrawFrame(quad, angle);
        const double withGraph = ThreadSeconds();
        state.SetIterationTime(withGraph - withoutGraph);
        graphSeconds += (withGraph - withoutGraph) - (withoutGraph - start);
    }
    Graph = nullptr;
    state.counters["graph_us"] = benchmark::Counter(graphSeconds * 1e6 / static_cast<double>(state.iterations()));
}

// Frames presented at 60 a second with the jitter of a display's retrace,
// 16.4 to 16.9 ms apart: the columns are one height, and five frames in six
// run a step.
void BM_FrameGraph60(benchmark::State& state)
{
    RunFramesWithGraph(state, SampleFrames(0.0164, 0.0169));
}
BENCHMARK(BM_FrameGraph60)->Unit(benchmark::kMicrosecond)->UseManualTime();

// Ten frames a second, as "maxfps 10" paces them: 0.1 s columns, five marks
// each.
void BM_FrameGraph10(benchmark::State& state)
{
    RunFramesWithGraph(state, SampleFrames(0.0999, 0.1004));
}
BENCHMARK(BM_FrameGraph10)->Unit(benchmark::kMicrosecond)->UseManualTime();

// 144 frames a second with a retrace's jitter: three-pixel columns, a step
// every third frame or so.
void BM_FrameGraph144(benchmark::State& state)
{
    RunFramesWithGraph(state, SampleFrames(0.0069, 0.00698));
}
BENCHMARK(BM_FrameGraph144)->Unit(benchmark::kMicrosecond)->UseManualTime();

// Frame times anywhere from 5 to 130 ms: almost every column differs from
// its neighbours and frames run up to six steps, the graph's costliest
// picture.
void BM_FrameGraphUneven(benchmark::State& state)
{
    RunFramesWithGraph(state, SampleFrames(0.005, 0.13));
}
BENCHMARK(BM_FrameGraphUneven)->Unit(benchmark::kMicrosecond)->UseManualTime();

}   // namespace
