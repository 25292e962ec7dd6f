#include "orbel2/kernel/OB_FrameTimer.h"

#include "orbel2/kernel/OB_Platform.h"

namespace orbel2 {

namespace {

struct TFrameTimer {
    int64_t PerfFrequency = 0;
    int64_t LastFrameTicks = 0;
    int64_t NextSecondTicks = 0;   // end of the current one-second window; 0 until the first frame
    int32_t FrameCounter = 0;   // frames counted in the current window
    int32_t FPS = 0;
    double FrameTime = 0;
};

TFrameTimer Timer;

}   // namespace

void OB_Kernel_StartTimer()
{
    Timer.PerfFrequency = OB_Platform().PerformanceFrequency();
    Timer.LastFrameTicks = OB_Platform().PerformanceCounter();
}

void OB_Kernel_UpdateTimer()
{
    const int64_t now = OB_Platform().PerformanceCounter();
    if (now > Timer.NextSecondTicks) {
        Timer.FPS = Timer.FrameCounter;
        Timer.FrameCounter = 1;
        Timer.NextSecondTicks = now + Timer.PerfFrequency;
    } else {
        ++Timer.FrameCounter;
    }
    // Before the timer starts the frequency is unknown; treat it as one tick
    // per second rather than divide by zero.
    const double frequency = Timer.PerfFrequency > 0 ? static_cast<double>(Timer.PerfFrequency) : 1.0;
    Timer.FrameTime = static_cast<double>(now - Timer.LastFrameTicks) / frequency;
    if (Timer.FrameTime > 1.0)
        Timer.FrameTime = 1.0;
    Timer.LastFrameTicks = now;
}

double OB_Kernel_FrameTime()
{
    return Timer.FrameTime;
}

int32_t OB_Kernel_FPS()
{
    return Timer.FPS;
}

void OB_Kernel_ClearFrameStatistics()
{
    Timer.FrameTime = 0;
    Timer.FPS = 0;
}

void OB_Kernel_ResetTimer()
{
    Timer = TFrameTimer{};
}

}   // namespace orbel2
