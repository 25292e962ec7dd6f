// Faults from outside the program: a log that cannot be created, recordings
// that are directories, empty, cut short, huge or unwritable, and video
// modes no device can have. None may crash the program, lose the session or
// leave it recording or playing without a file.
#include "TestSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace {

struct TProgramResult {
    int Status = 0;
    std::string Stderr;
};

// Runs the demo program headless in the current directory.
TProgramResult RunProgram()
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, 2);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_RENDER_DRIVER", "software", 1);
        ::execl(ORBEL2_PROGRAM, ORBEL2_PROGRAM, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    TProgramResult result;
    ::waitpid(child, &result.Status, 0);
    result.Stderr = ReadWholeFile("stderr.txt");
    return result;
}

// The demo session running on the headless engine.
class Faults : public THeadlessEngineTest {
protected:
    void SetUp() override
    {
        THeadlessEngineTest::SetUp();
        Session.Start();
    }
    void TearDown() override
    {
        Session.Stop();
        THeadlessEngineTest::TearDown();
    }
    void Frame(double frameTime) { RunFrame(Session, frameTime); }

    TFakePlatformScope Fake;
    TMainSession Session;
};

long PeakRssKiB()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class Program : public TTempDirTest {};

TEST_F(Program, ALogThatCannotBeCreatedEndsItWithOneLineAndStatus1)
{
    std::filesystem::create_directory("orbel2.log");
    const TProgramResult result = RunProgram();

    ASSERT_FALSE(WIFSIGNALED(result.Status)) << "killed by signal " << WTERMSIG(result.Status);
    ASSERT_TRUE(WIFEXITED(result.Status));
    EXPECT_EQ(WEXITSTATUS(result.Status), 1);
    EXPECT_EQ(result.Stderr.rfind("orbel2: ", 0), 0u) << result.Stderr;
    EXPECT_NE(result.Stderr.find("orbel2.log"), std::string::npos) << result.Stderr;
    EXPECT_EQ(result.Stderr.find('\n'), result.Stderr.size() - 1) << result.Stderr;   // one line
}

TEST_F(Faults, UnreadableOrOddRecordingsLeaveTheSessionRunning)
{
    // A path through a regular file can be neither created nor opened; a
    // named pipe with nobody at its other end is refused at once, never
    // waited on.
    WriteWholeFile("plain", "x");
    ASSERT_EQ(::mkfifo("pipe", 0644), 0);
    for (const std::string command : {"record", "play"}) {
        ExecuteLine(command + " plain/run");
        EXPECT_NE(LastLine().find("Not a directory"), std::string::npos) << LastLine();
        ExecuteLine(command + " pipe");
        const std::string line = LastLine();
        EXPECT_EQ(line.rfind(command == "play" ? "Error: Cannot open file" : "Error: Cannot create file", 0), 0u)
            << line;
        EXPECT_TRUE(line.ends_with("Not a regular file") ||
                    (command == "record" && line.ends_with("No such device or address")))
            << line;
        EXPECT_EQ(Session.Mode(), TPlaybackMode::pmNone) << command;
    }

    // A 1 GiB file is played a block at a time, never loaded whole.
    {
        const int big = ::open("big", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(big, 0);
        ASSERT_EQ(::ftruncate(big, off_t(1) << 30), 0);
        ::close(big);
    }
    const long peakBefore = PeakRssKiB();
    const auto start = std::chrono::steady_clock::now();
    ExecuteLine("play big");
    for (int i = 0; i < 5; ++i)
        Frame(1.0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(Session.Mode(), TPlaybackMode::pmPlay);
    EXPECT_GE(Session.StepCount(), 249u);
    EXPECT_LT(PeakRssKiB() - peakBefore, 64 * 1024);
    EXPECT_LT(seconds, 10.0);
    // A file of zeros is a start at the origin and records of no input.
    EXPECT_EQ(Session.Scene().Player.State.AngularVelocity, 0.0f);
}

TEST_F(Faults, AbsurdVideoSizesAreRefusedAndTheModeStays)
{
    for (const char* line : {"vid_size 100000 100000", "vid_size 16385 16", "vid_size 99999999999 480"}) {
        ExecuteLine(line);
        EXPECT_EQ(LastLine().rfind("Error: ", 0), 0u) << line << " -> " << LastLine();
        Frame(0.05);
    }
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Height, 480u);
    // A sensible size still works afterwards.
    ExecuteLine("vid_size 320 240");
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 320u);
}
