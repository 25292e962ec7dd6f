// The engine started, run with a demo session and a recording, finalized,
// and started again in the same process behaves as it did the first time:
// finalisation leaves no registration, listener, device or record behind.
#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/Dx8gfx.h"

using namespace orbel2;
using namespace orbel2::demo;

namespace {

std::vector<int32_t> Messages;

void RecordMessage(int32_t Msg, void*, int32_t, void*)
{
    Messages.push_back(Msg);
}

struct TRunTrace {
    std::string Log;
    std::vector<int32_t> Messages;
    std::vector<std::string> Console;
    std::string Recording;

    bool operator==(const TRunTrace&) const = default;
};

std::vector<std::string> AllConsoleLines()
{
    std::vector<std::string> lines;
    for (int32_t n = ConsoleLines()->Count() - 1; n >= 0; --n)
        lines.push_back(ConsoleLines()->Get(n));
    return lines;
}

TRunTrace RunOnce(TFakePlatform& Fake)
{
    TRunTrace trace;
    Messages.clear();
    OB_Kernel_Init();
    OB_AddListener(RecordMessage, MSGGROUP_KERNEL, nullptr);
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    {
        TMainSession session;
        session.Start();
        ExecuteLine("write hello");
        ExecuteLine("record run");
        Fake.KeysDown = {VK_UP, VK_LEFT};
        RunFrame(session, 0.1);
        Fake.KeysDown.clear();
        RunFrame(session, 0.05);
        ExecuteLine("vid_size 800 600");
        ExecuteLine("help");
        ExecuteLine("vars");
        trace.Console = AllConsoleLines();
        session.Stop();
    }
    OB_Video_Close();
    OB_Kernel_Finalize();
    trace.Log = ReadWholeFile("orbel2.log");
    trace.Messages = Messages;
    trace.Recording = ReadWholeFile("run");
    return trace;
}

}   // namespace

class Restart : public TTempDirTest {
protected:
    TFakePlatformScope Fake;
};

TEST_F(Restart, ASecondStartBehavesAsTheFirst)
{
    const TRunTrace first = RunOnce(Fake.Platform);
    // Nothing of the first run is left.
    EXPECT_TRUE(ConsoleCommands().empty());
    EXPECT_TRUE(ConsoleVariables().empty());
    EXPECT_TRUE(ConsoleWatches().empty());
    EXPECT_EQ(ConsoleLines(), nullptr);
    EXPECT_EQ(FindD3D8(), nullptr);
    EXPECT_EQ(OB_VideoInfo.Device, nullptr);
    EXPECT_EQ(OB_VideoInfo.Width, 0.0f);

    const TRunTrace second = RunOnce(Fake.Platform);
    EXPECT_EQ(second.Log, first.Log);
    EXPECT_EQ(second.Messages, first.Messages);
    EXPECT_EQ(second.Console, first.Console);
    EXPECT_EQ(second.Recording, first.Recording);

    // And the first run was a real one: a new device, the user's line, the
    // commands once each, eight steps recorded.
    EXPECT_EQ(first.Messages.at(1), MSG_VIDEODEVICEINITIALIZED);
    EXPECT_NE(first.Log.find("Usermessage: hello "), std::string::npos);
    EXPECT_EQ(std::count(first.Console.begin(), first.Console.end(), "record "), 1);
    EXPECT_EQ(first.Recording.size(), 12u + 8u * 7u);
}
