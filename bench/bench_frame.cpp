// One full frame of the demonstration's picture, drawn headless on the
// software renderer at 640 x 480: clear, 22 rotated quads, one line, the
// console shown with 100 lines of 60 characters and three watches, present.
#include "console/OB_Console.h"
#include "console/OB_ConsoleDraw.h"
#include "console/OB_ConsoleEdit.h"
#include "session/OB_Kernel.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

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

}   // namespace
