// A recording file, any bytes, played back by the demo session for 100
// steps (two frames of one second). A file the session accepts must never
// bring a number that is not finite into the world; one it refuses must leave
// it without a mode that has no file behind it.
#include "FuzzSupport.h"

#include <cmath>
#include <fstream>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

TMainSession* Session = nullptr;
std::vector<TBodyState> StartStates;

void RestoreWorld()
{
    size_t i = 0;
    for (TBody* body : Session->Scene().Physics.Bodies)
        body->State = StartStates[i++];
}

bool WorldIsFinite()
{
    for (const TBody* body : Session->Scene().Physics.Bodies) {
        const TBodyState& s = body->State;
        for (float v : {s.Position.x, s.Position.y, s.Velocity.x, s.Velocity.y, s.Angle, s.AngularVelocity})
            if (!std::isfinite(v))
                return false;
    }
    return true;
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::UseDummyVideo();
    fuzz::EnterScratchDir("recording");
    Session = &fuzz::StartDemo();
    // A small back buffer and no console keep each frame's drawing cheap.
    OB_Video_Open(nullptr, 64, 48, 32, false, true, 0);
    SetConsoleVisible(false);
    for (const TBody* body : Session->Scene().Physics.Bodies)
        StartStates.push_back(body->State);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out("input.rec", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    RestoreWorld();
    ExecuteLine("play input.rec");
    const bool accepted = Session->Mode() == TPlaybackMode::pmPlay;
    for (int frame = 0; frame < 2; ++frame) {
        fuzz::RunFrame(*Session, 1.0);
    }
    if (accepted && (!WorldIsFinite() || Session->StepCount() < 99))
        std::abort();
    return 0;
}
