// 200,000 fixed steps of the demo with random keys, console lines and
// full-screen toggles: no body may ever hold a number that is not finite,
// and the heap in use must stay flat once the run has warmed up.
#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"

#include <malloc.h>

#include <cmath>
#include <random>

using namespace orbel2;
using namespace orbel2::demo;

// The sanitizer runtime's own count, when the test runs under it.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

size_t HeapInUse()
{
    if (__sanitizer_get_current_allocated_bytes != nullptr)
        return __sanitizer_get_current_allocated_bytes();
    return mallinfo2().uordblks;
}

const char* const Lines[] = {
    "set playspeed 1",
    "set playspeed 5",
    "set playspeed 0.5",
    "set playspeed 0",
    "set consoleheight 1",
    "watch T",
    "watch T 0",
    "vid_size 320 240",
    "vid_size 640 480",
    "record soak.rec",
    "play soak.rec",
    "play missing.rec",
    "help",
    "res",
    "write soak line",
    "zzz",
    "set",
    "record",
    "set playspeed abc",
};

}   // namespace

class Soak : public TDemoSessionTest {};

TEST_F(Soak, TwoHundredThousandStepsStayFiniteAndFlat)
{
    constexpr uint64_t TotalSteps = 200000;
    std::mt19937 random(20240601);
    uint64_t steps = 0;
    size_t baseline = 0;
    // The heap in use depends on the video mode (the back buffer lives in
    // it): compare the same state at both ends.
    auto canonicalHeap = [&] {
        if (OB_VideoInfo.FullScreen)
            Session.KeyDown(VK_F11);
        ExecuteLine("vid_size 640 480");
        RunFrame(Session, 0);
        return HeapInUse();
    };
    while (steps < TotalSteps) {
        Fake.Platform.KeysDown.clear();
        for (uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            if (random() % 2)
                Fake.Platform.KeysDown.insert(key);
        if (random() % 4 == 0)
            ExecuteLine(Lines[random() % std::size(Lines)]);
        for (const auto& [key, oneIn] : {std::pair<uint16_t, unsigned>{VK_F11, 200}, {VK_HOME, 50}})
            if (random() % oneIn == 0)
                Session.KeyDown(key);
        const double before = Session.Accumulator() + 1.0 * double(Session.PlaySpeed());
        RunFrame(Session, 1.0);
        steps += static_cast<uint64_t>(std::llround(std::max(0.0, before - Session.Accumulator()) / 0.02));
        for (const TBody* body : Session.Scene().Physics.Bodies) {
            const TBodyState& s = body->State;
            const float sum = s.Position.x + s.Position.y + s.Velocity.x + s.Velocity.y + s.Angle + s.AngularVelocity;
            ASSERT_TRUE(std::isfinite(sum)) << "after " << steps << " steps";
        }
        if (baseline == 0 && steps >= TotalSteps / 4)
            baseline = canonicalHeap();
    }
    EXPECT_LT(canonicalHeap(), baseline + (size_t(2) << 20));
}
