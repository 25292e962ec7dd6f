#include "orbel2/session/FramePacer.h"

#include "orbel2/kernel/OB_Platform.h"

namespace orbel2 {

void TFramePacer::AfterPresent(int32_t MaxFPS)
{
    OB_TPlatform& platform = OB_Platform();
    const int64_t frequency = platform.PerformanceFrequency();
    if (MaxFPS > 0 && frequency > 0) {
        // Rounded up, so that frames are never closer than 1/MaxFPS s.
        const int64_t period = (frequency + MaxFPS - 1) / MaxFPS;
        const int64_t nextFrame = FFrameBegan + period;
        if (platform.PerformanceCounter() < nextFrame)
            platform.SleepUntil(nextFrame);
    }
    // The next frame begins when the loop goes on, which a sleep that ends
    // late makes a little later: counting from there, no two frames are
    // ever closer than the cap, though the rate falls short of it by the
    // sleeps' lateness. Noted with the cap off too, so that the first
    // capped frame is paced like every other.
    FFrameBegan = platform.PerformanceCounter();
}

}   // namespace orbel2
