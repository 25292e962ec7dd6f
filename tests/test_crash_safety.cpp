// A recording survives the program being killed: every frame hands its
// records to the operating system, so the file holds whole records, numbered
// from 0 without a gap, up to the last finished frame; its checksums too,
// whole, and each of them met by a replay of the records.
#include "TestSupport.h"
#include "orbel2/session/HeadlessReplay.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

using namespace orbel2;
using namespace orbel2::demo;

class CrashSafety : public TTempDirTest {};

TEST_F(CrashSafety, AKilledRecordingHoldsWholeNumberedRecords)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFakePlatformScope fake;
        OB_Kernel_Init();
        OB_Video_Open(nullptr, 160, 120, 32, false, true, 0);
        TMainSession session;
        session.Start();
        ExecuteLine("record killed.rec");
        // Frames as fast as they come, of a little more than one step each.
        for (;;)
            RunFrame(session, 0.03);
    }
    ::usleep(1200 * 1000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string bytes = ReadWholeFile("killed.rec");
    ASSERT_GE(bytes.size(), 12u);
    ASSERT_EQ((bytes.size() - 12) % 8, 0u) << bytes.size() << " bytes";
    const size_t records = (bytes.size() - 12) / 8;
    EXPECT_GT(records, 0u);
    for (size_t k = 0; k < records; ++k) {
        uint32_t step = 0;
        std::memcpy(&step, bytes.data() + 12 + 8 * k, 4);
        ASSERT_EQ(step, k);
    }

    const size_t checkpoints = (ReadWholeFile("killed.rec.sum").size() - 12) / 8;
    EXPECT_EQ(ReadWholeFile("killed.rec.sum").size(), 12 + 8 * checkpoints);
    EXPECT_GE(checkpoints, 2u);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunHeadlessReplay(TReplayRequest{"killed.rec", 0}, out, err), ReplayMatched) << out.str() << err.str();
    EXPECT_NE(out.str().find("checkpoints: " + std::to_string(checkpoints) + " matched"), std::string::npos)
        << out.str();
}
