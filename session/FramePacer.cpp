#include "session/FramePacer.h"

#include "kernel/OB_Platform.h"

void TFramePacer::AfterPresent(int32_t MaxFPS)
{
    OB_TPlatform& platform = OB_Platform();
    const int64_t frequency = platform.PerformanceFrequency();
    const int64_t now = platform.PerformanceCounter();
    if (MaxFPS <= 0 || frequency <= 0) {
        // Noted with the cap off too, so that the first capped frame is
        // paced like every other.
        FFrameBegan = now;
        return;
    }
    // Rounded up, so that frames are never closer than 1/MaxFPS s.
    const int64_t period = (frequency + MaxFPS - 1) / MaxFPS;
    const int64_t nextFrame = FFrameBegan + period;
    if (now < nextFrame) {
        platform.SleepUntil(nextFrame);
        // A sleep that ends a little late does not move the next frame's
        // time: frames keep to the rate asked for.
        FFrameBegan = nextFrame;
    } else {
        FFrameBegan = now;
    }
}
