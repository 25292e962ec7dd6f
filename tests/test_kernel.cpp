#include "TestSupport.h"
#include "orbel2/console/OB_Logfile.h"

using namespace orbel2;

class Kernel : public TTempDirTest {
protected:
    TFakePlatformScope Fake;
};

TEST_F(Kernel, StartUpAndShutDownFrameTheLog)
{
    OB_Kernel_Init();
    LogWriteLine("between");
    OB_Kernel_Finalize();
    EXPECT_EQ(ReadWholeFile("orbel2.log"),
              "[00:00:00:0000] Orbel2 Initialized\r\n[00:00:00:0000] between\r\n"
              "[00:00:00:0000] Orbel2 Finalizing\r\n");
}

TEST_F(Kernel, FrameTimerCountsWholeSecondWindowsAndCapsTheFrameTime)
{
    Fake.Platform.Counter = 5000'000;
    OB_Kernel_Init();
    // Each frame: its counter, then the rate and frame time it reports. The
    // first frame starts a one-second window; frames up to and including its
    // end count into it; a five-second pause gives exactly one second.
    const std::tuple<int64_t, int, double> frames[] = {{5100, 0, 0.1}, {5400, 0, 0.3},   {5800, 0, 0.4},
                                                       {6100, 0, 0.3}, {6101, 4, 0.001}, {11101, 1, 1.0}};   // ms
    for (const auto& [counter, fps, frameTime] : frames) {
        Fake.Platform.Counter = counter * 1000;
        OB_Kernel_UpdateTimer();
        EXPECT_EQ(OB_Kernel_FPS(), fps) << counter;
        EXPECT_DOUBLE_EQ(OB_Kernel_FrameTime(), frameTime) << counter;
    }
    OB_Kernel_Finalize();
}

namespace {

std::vector<std::string> Events;

class TRecordingRegistry : public TResourceManager {
public:
    ~TRecordingRegistry() override { Clear(); }
    bool LoadResource(const std::string& name, void*& Data) override
    {
        Data = new std::string(name);
        return true;
    }
    void ReleaseResource(void*& Data) override
    {
        auto* name = static_cast<std::string*>(Data);
        Events.push_back(*name);
        delete name;
        Data = nullptr;
    }
};

}   // namespace

TEST(ResourceManager, ClearingReleasesEveryEntryLastToFirst)
{
    TRecordingRegistry registry;
    for (const char* name : {"a", "b", "c"})
        registry.Acquire(name);
    EXPECT_EQ(registry.Acquire("a")->Count, 2);   // found, not loaded again
    registry.Clear();
    EXPECT_EQ(Events, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(registry.Count(), 0);
}

TEST(ResourceManager, DeletingAnIndexOutsideTheEntriesIsRefusedAndReleasesNothing)
{
    TRecordingRegistry registry;
    for (const char* name : {"a", "b"})
        registry.Acquire(name);
    Events.clear();
    for (const int32_t index : {-1, 2, 1000000}) {
        EXPECT_EQ(ErrorText<EListError>([&] { registry.Delete(index); }),
                  "List index out of bounds (" + std::to_string(index) + ")");
    }
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_EQ(Events, std::vector<std::string>{});
    registry.Delete(1);
    EXPECT_EQ(Events, std::vector<std::string>{"b"});
}
