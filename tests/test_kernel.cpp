#include "console/OB_Logfile.h"
#include "TestSupport.h"

class Kernel : public TTempDirTest {
protected:
    TFakePlatformScope Fake;
};

TEST_F(Kernel, StartUpAndShutDownFrameTheLog)
{
    OB_Kernel_Init();
    LogWriteLine("between");
    OB_Kernel_Finalize();
    EXPECT_EQ(ReadWholeFile("orbel2.log"), "[00:00:00:0000] Orbel2 Initialized\r\n[00:00:00:0000] between\r\n"
                                           "[00:00:00:0000] Orbel2 Finalizing\r\n");
}

TEST_F(Kernel, FrameTimerCountsWholeSecondWindowsAndCapsTheFrameTime)
{
    Fake.Platform.Counter = 5000;
    OB_Kernel_Init();
    // Each frame: its counter, then the rate and frame time it reports. The
    // first frame starts a one-second window; frames up to and including its
    // end count into it; a five-second pause gives exactly one second.
    const std::tuple<int64_t, int, double> frames[] = {
        {5100, 0, 0.1}, {5400, 0, 0.3}, {5800, 0, 0.4}, {6100, 0, 0.3}, {6101, 4, 0.001}, {11101, 1, 1.0}};
    for (const auto& [counter, fps, frameTime] : frames) {
        Fake.Platform.Counter = counter;
        OB_Kernel_UpdateTimer();
        EXPECT_EQ(OB_VideoInfo.FPS, fps) << counter;
        EXPECT_DOUBLE_EQ(OB_VideoInfo.FrameTime, frameTime) << counter;
    }
    OB_Kernel_Finalize();
}
