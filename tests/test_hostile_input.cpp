// What a person can do to the program with bad numbers, bad files and a
// full disk: every run ends in bounded time with one clear line, the world
// always comes back, and files keep only whole records.
#include "TestSupport.h"
#include "orbel2/session/HeadlessReplay.h"
#include "orbel2/session/ReplayChecksums.h"

#include "orbel2/kernel/OB_KeyCodes.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <limits>
#include <sstream>
#include <streambuf>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

class HostileInput : public TDemoSessionsTest {};

struct TReplayResult {
    int Status;
    std::string Out, Err;
};

TReplayResult Replay(const TReplayRequest& Request, std::ostream* Out = nullptr)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunHeadlessReplay(Request, Out ? *Out : out, err);
    return {status, out.str(), err.str()};
}

const std::string Park = Words(400.0f, 300.0f, 0.0f);

}   // namespace

// A record far ahead of the step counter waits for it; the waiting is
// bounded in all, so a 20-byte file cannot keep the replay going for hours.
TEST_F(HostileInput, ReplaysWaitForRecordsOnlyUpToTheirBound)
{
    WriteWholeFile("far.rec", Park + Words(0xFFFFFFFFu, 1u));
    const TReplayResult far = Replay({"far.rec", 0, 1000});
    EXPECT_EQ(far.Status, ReplayStopped);
    EXPECT_EQ(far.Out, "");
    EXPECT_EQ(far.Err,
              "orbel2: replay stopped at step 1000: more than 1000 steps waited for a record "
              "(--max-idle-steps N allows more)\n");

    // Records at steps 0 and 1000: 999 steps wait between them, in all.
    WriteWholeFile("gap.rec", Park + Words(0u, 4u, 1000u, 8u));
    EXPECT_EQ(Replay({"gap.rec", 0, 998}).Status, ReplayStopped);
    const TReplayResult gap = Replay({"gap.rec", 0, 999});
    EXPECT_EQ(gap.Status, ReplayMatched) << gap.Err;
    EXPECT_NE(gap.Out.find("records: 2\nsteps: 1001\n"), std::string::npos) << gap.Out;

    // Records behind the counter are applied one a step and never wait.
    WriteWholeFile("behind.rec", Park + Words(0u, 1u, 0u, 2u, 0u, 4u));
    const TReplayResult behind = Replay({"behind.rec", 0, 1});
    EXPECT_EQ(behind.Status, ReplayMatched) << behind.Err;
    EXPECT_NE(behind.Out.find("records: 3\nsteps: 3\n"), std::string::npos) << behind.Out;
}

// A recording cut short while it is replayed ends the replay with a line
// that says so, not with a message about reading.
TEST_F(HostileInput, ARecordingCutShortDuringTheReplayIsSaidSo)
{
    std::string records;
    for (uint32_t step = 0; step < 10000; ++step)
        records += Words(step, step % 16);
    WriteWholeFile("long.rec", Park + records);

    // Cuts the file down once the first line is printed, when the reader
    // already holds the file's first block.
    class TCutter : public std::stringbuf {
        int sync() override
        {
            if (!Cut)
                std::filesystem::resize_file("long.rec", 12 + 8 * 100);
            Cut = true;
            return std::stringbuf::sync();
        }
        bool Cut = false;
    } cutter;
    std::ostream out(&cutter);
    out << std::unitbuf;
    const TReplayResult cut = Replay({"long.rec", 1, DefaultMaxIdleSteps}, &out);
    EXPECT_EQ(cut.Status, ReplayNotARecording);
    // 8,190 whole records fit the first 64 KiB block after the header.
    EXPECT_EQ(cut.Err, "orbel2: \"long.rec\" was cut short while it was replayed: it ended after 8190 records\n");
}

// Negative play speed runs up a debt that is paid back before steps resume,
// but never more than 100 s of it.
TEST_F(HostileInput, ANegativePlaySpeedNeverFreezesTheWorldForGood)
{
    TMainSession& session = NewSession();
    ExecuteLine("set playspeed -1e30");
    RunFrame(session, 1.0);
    RunFrame(session, 1.0);
    EXPECT_GE(session.Accumulator(), -TMainSession::MaxDebt);
    ExecuteLine("set playspeed 100");
    ExecuteLine("record after");
    for (int frame = 0; frame < 3; ++frame)
        RunFrame(session, 1.0);
    // 300 s paid for: 100 s of debt, then 200 s of steps, capped at 5,000
    // a frame.
    EXPECT_GT(session.StepCount(), 5000u);

    // The setter refuses what is not a number; set gives none.
    EXPECT_FALSE(session.SetPlaySpeed(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(session.SetPlaySpeed(-std::numeric_limits<float>::infinity()));
    EXPECT_EQ(session.PlaySpeed(), 100.0f);
    EXPECT_TRUE(session.SetPlaySpeed(-3.4e38f));
    RunFrame(session, 1.0);
    EXPECT_EQ(session.Accumulator(), -TMainSession::MaxDebt);
}

// A write that fails halfway (a full disk; here the file-size limit) leaves
// the recording whole records long, and its checksums no longer than it.
TEST_F(HostileInput, AFailedWriteLeavesOnlyWholeRecords)
{
    std::signal(SIGXFSZ, SIG_IGN);
    TMainSession& session = NewSession();
    Fake.Platform.KeysDown = {uint16_t{VK_UP}};
    // Room for the header and 123.5 records.
    const rlimit limit{12 + 8 * 123 + 4, RLIM_INFINITY};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    ExecuteLine("record full");
    for (int frame = 0; frame < 10 && session.Mode() == TPlaybackMode::pmRecord; ++frame)
        RunFrame(session, 1.0);
    const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &none);

    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
    EXPECT_NE(LastLine().find("File too large"), std::string::npos) << LastLine();
    // Frames of about 50 steps: two fit whole, the third does not.
    const uintmax_t size = std::filesystem::file_size("full");
    EXPECT_EQ((size - 12) % 8, 0u) << size;
    EXPECT_GT(size, 12u + 8 * 90);
    const uintmax_t records = (size - 12) / 8;
    const uintmax_t checkpoints = records / 50 + 1;
    EXPECT_EQ(std::filesystem::file_size("full.sum"), 12u + 8 * checkpoints);
    const TReplayResult replayed = Replay({"full", 0, DefaultMaxIdleSteps});
    EXPECT_EQ(replayed.Status, ReplayMatched) << replayed.Err;
    EXPECT_NE(replayed.Out.find("checkpoints: " + std::to_string(checkpoints) + " matched in full.sum\n"),
              std::string::npos)
        << replayed.Out;
}

// Checksums that end before the run does say which steps went unchecked.
TEST_F(HostileInput, ChecksumsShorterThanTheRunSayWhatWentUnchecked)
{
    TMainSession& session = NewSession();
    session.StartRecording("run");
    for (int frame = 0; frame < 4; ++frame)
        RunFrame(session, 1.0);
    const std::string steps = std::to_string(session.StepCount());
    session.StartRecording("other");
    std::filesystem::resize_file("run.sum", 12 + 8 * 2);
    const TReplayResult replayed = Replay({"run", 0, DefaultMaxIdleSteps});
    EXPECT_EQ(replayed.Status, ReplayMatched);
    EXPECT_NE(replayed.Out.find("checkpoints: 2 matched in run.sum, which ends before step 100: steps 100 to " +
                                steps + " went unchecked\n"),
              std::string::npos)
        << replayed.Out;
}

// File names reach one-line messages with their control characters
// escaped; a pipe nobody reads is named for what it is; /dev gets no
// checksum file.
TEST_F(HostileInput, FileNamesNeverBreakTheirMessage)
{
    TMainSession& session = NewSession();
    ExecuteLine(std::string("record no\x1B[31m/dir\x07/x"));
    EXPECT_EQ(LastLine(), "Error: Cannot create file \"" + (Dir / "no\\x1B[31m/dir\\x07/x").string() +
                              "\". No such file or directory");
    EXPECT_NE(ErrorText<std::exception>([&] { session.StartRecording("line\nbreak/x"); }).find("line\\x0Abreak"),
              std::string::npos);

    ASSERT_EQ(::mkfifo("pipe", 0644), 0);
    ExecuteLine("record pipe");
    EXPECT_EQ(LastLine(), "Error: Cannot create file \"" + (Dir / "pipe").string() + "\". Not a regular file");

    // /dev/stdout redirected to a regular file is one; /dev/stdout.sum is
    // still no place for checksums.
    const pid_t child = ::fork();
    if (child == 0) {
        const int file = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(file, 1);
        session.StartRecording("/dev/stdout");
        session.StartRecording("other");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const bool wrote = std::filesystem::exists("/dev/stdout.sum");
    std::error_code ignored;
    std::filesystem::remove("/dev/stdout.sum", ignored);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(std::filesystem::file_size("stdout.txt"), 12u);
}
