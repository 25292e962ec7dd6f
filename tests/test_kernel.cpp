#include "console/OB_Logfile.h"
#include "kernel/OB_Kernel.h"
#include "kernel/OB_Visuals.h"
#include "video/OB_Video.h"
#include "vfs/OB_vfs.h"
#include "TestSupport.h"

#include <vector>

namespace {

class Kernel : public TTempDirTest {
protected:
    TFakePlatformScope Fake;
};

} // namespace

TEST_F(Kernel, StartUpAndShutDownFrameTheLog)
{
    OB_Kernel_Init();
    EXPECT_NE(FileSystem, nullptr);
    EXPECT_NE(VisualSystem, nullptr);
    EXPECT_NE(VisualList, nullptr);
    LogWriteLine("between");
    OB_Kernel_Finalize();
    EXPECT_EQ(FileSystem, nullptr);
    EXPECT_EQ(VisualSystem, nullptr);
    EXPECT_EQ(ReadWholeFile("orbel2.log"),
              "[00:00:00:0000] Orbel2 Initialized\r\n"
              "[00:00:00:0000] between\r\n"
              "[00:00:00:0000] Orbel2 Finalizing\r\n");
}

TEST_F(Kernel, FrameTimerCountsWholeSecondWindowsAndCapsTheFrameTime)
{
    Fake.Platform.Frequency = 1000;
    Fake.Platform.Counter = 5000;
    OB_Kernel_Init();

    // First frame: the rate is 0 and a one-second window starts.
    Fake.Platform.Counter = 5100;
    OB_Kernel_UpdateTimer();
    EXPECT_EQ(OB_VideoInfo.FPS, 0);
    EXPECT_DOUBLE_EQ(OB_VideoInfo.FrameTime, 0.1);

    // Frames up to and including the window's end count into it.
    for (int64_t t : {5400, 5800, 6100}) {
        Fake.Platform.Counter = t;
        OB_Kernel_UpdateTimer();
    }
    EXPECT_EQ(OB_VideoInfo.FPS, 0);
    EXPECT_DOUBLE_EQ(OB_VideoInfo.FrameTime, 0.3);

    Fake.Platform.Counter = 6101;
    OB_Kernel_UpdateTimer();
    EXPECT_EQ(OB_VideoInfo.FPS, 4);

    // A five-second pause gives exactly one second.
    Fake.Platform.Counter = 11101;
    OB_Kernel_UpdateTimer();
    EXPECT_EQ(OB_VideoInfo.FrameTime, 1.0);
    EXPECT_EQ(OB_VideoInfo.FPS, 1);
    OB_Kernel_Finalize();
}

TEST_F(Kernel, StatusCopiesThePlatformFiguresAndKeepsTextureMemoryWithoutDevice)
{
    Fake.Platform.Memory.dwMemoryLoad = 37;
    Fake.Platform.Memory.dwTotalPhys = uint64_t(64) << 30;   // beyond 32 bits
    Fake.Platform.Heap.Allocated = 1234;
    Fake.Platform.Heap.FreeBig = 99;
    OB_TSystemStatus status;
    status.AvailTextureMem = 777;
    OB_Kernel_GetStatus(status);
    EXPECT_EQ(status.Memory.dwMemoryLoad, 37u);
    EXPECT_EQ(status.Memory.dwTotalPhys, uint64_t(64) << 30);
    EXPECT_EQ(status.HeapAllocated, 1234u);
    EXPECT_EQ(status.HeapFreeBig, 99u);
    EXPECT_EQ(status.AvailTextureMem, 777u);
}

TEST(SystemPlatform, ReportsPlausibleMemoryFigures)
{
    const OB_TMemoryStatus memory = OB_Platform().MemoryStatus();
    EXPECT_GT(memory.dwTotalPhys, uint64_t(0));
    EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
    EXPECT_LE(memory.dwMemoryLoad, 100u);
    EXPECT_GE(memory.dwTotalPageFile, memory.dwAvailPageFile);
    EXPECT_GE(memory.dwTotalVirtual, memory.dwAvailVirtual);
}

namespace {

std::vector<std::string> Events;

class TRecordingManager : public TResourceManager {
public:
    ~TRecordingManager() override { Clear(); }
    bool LoadResource(const std::string& name, void*& Data) override
    {
        Events.push_back("load " + name);
        if (name == "bad")
            return false;
        Data = new std::string(name);
        return true;
    }
    void ReleaseResource(void*& Data) override
    {
        auto* name = static_cast<std::string*>(Data);
        Events.push_back("release " + *name);
        delete name;
        Data = nullptr;
    }
};

} // namespace

TEST(ResourceManager, ReleasesEveryEntryLastToFirstWhenCleared)
{
    Events.clear();
    {
        TRecordingManager manager;
        EXPECT_NE(manager.Acquire("a"), nullptr);
        EXPECT_NE(manager.Acquire("b"), nullptr);
        EXPECT_NE(manager.Acquire("c"), nullptr);
        EXPECT_EQ(manager.Acquire("a")->Count, 2);   // found, not loaded again
        EXPECT_EQ(manager.Acquire("bad"), nullptr);
        EXPECT_EQ(manager.Count(), 3);
        EXPECT_EQ(manager.GetResource(1)->Name, "b");
        manager.Clear();
        EXPECT_EQ(manager.Count(), 0);

        manager.Acquire("d");
        manager.Acquire("e");
        manager.Delete(0);
        EXPECT_EQ(manager.GetResource(0)->Name, "e");
    }   // destroying the registry releases what it still holds
    EXPECT_EQ(Events, (std::vector<std::string>{"load a", "load b", "load c", "load bad", "release c",
                                                "release b", "release a", "load d", "load e", "release d",
                                                "release e"}));
}
