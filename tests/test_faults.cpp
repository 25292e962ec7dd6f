// Faults from outside the program: a log that cannot be created and
// recordings that cannot be opened or are huge. None may crash the program,
// lose the session or leave it recording or playing without a file.
#include "RunProgram.h"
#include "TestSupport.h"
#include "orbel2/kernel/OB_Version.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

long PeakRssKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}   // namespace

class Program : public TTempDirTest {};
class Faults : public TDemoSessionTest {};

TEST_F(Program, ALogThatCannotBeCreatedEndsItWithOneLineAndStatus1)
{
    std::filesystem::create_directory("orbel2.log");
    const int status = RunProgram();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string stderrText = ReadWholeFile("stderr.txt");
    EXPECT_EQ(stderrText.rfind("orbel2: ", 0), 0u) << stderrText;
    EXPECT_NE(stderrText.find("orbel2.log"), std::string::npos) << stderrText;
    EXPECT_EQ(stderrText.find('\n'), stderrText.size() - 1) << stderrText;   // one line
}

// Started where there is no display, it says what is missing and how to run
// anyway, in one line after the engine's own, and nothing else.
TEST_F(Program, WithoutADisplayItSaysWhatIsMissingAndHowToRunAnyway)
{
    const std::string howTo = ": run it under a virtual X server (xvfb-run -a orbel2), or with no display at all "
                              "(SDL_VIDEODRIVER=dummy orbel2)\n";
    const std::pair<const char*, std::string> displays[] = {{nullptr, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
                                                            {":4093", "cannot open display \":4093\": "}};
    for (const auto& [display, why] : displays) {
        const int status = RunProgram([display = display] {
            for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
                ::unsetenv(name);
            if (display != nullptr)
                ::setenv("DISPLAY", display, 1);
        });
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 1);
        const std::string text = ReadWholeFile("stderr.txt");
        const std::string first = "orbel2: OB_Video_Open: Cannot create DirectX 8.1 device\n";
        EXPECT_EQ(text.substr(0, first.size()), first) << text;
        EXPECT_EQ(text.find("orbel2: no display found (" + why, first.size()), first.size()) << text;
        EXPECT_TRUE(text.ends_with(howTo)) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    }
}

// It behaves as a command-line program: --help and --version answer on
// stdout and exit 0; --replay answers on stdout with 0, and 1 (a file that
// is not a recording) or 3 (a replay that diverges); anything else is one
// line on stderr and exit 2. None opens a window or writes a log.
TEST_F(Program, AnswersHelpVersionAndReplayAndRefusesOtherArguments)
{
    // A recording with no records, and one whose checksums disagree with it
    // from the start.
    const std::string park("\x00\x00\x0c\x44\x00\x00\xc8\x43\x00\x00\x00\x3f", 12);
    WriteWholeFile("park", park);
    WriteWholeFile("other", park);
    WriteWholeFile("other.sum", std::string("OB2S\x01\0\0\0\x32\0\0\0", 12) + std::string(8, '\x55'));
    const std::string parked = "records: 0\nsteps: 0\nplayer: x 560 y 400 angle 0.5\nhash: 0x";
    const auto refused = [](const std::string& problem) {
        return "orbel2: " + problem + " (orbel2 --help lists what it takes)\n";
    };
    const std::string badCount = refused("--hash-every needs a number of steps from 1 to 4294967295");
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        std::string OutStart, Err;
    };
    const TCase cases[] = {
        {{"--help"},
         0,
         "Usage: orbel2 [--help | --version | --replay FILE [--hash-every N] [--max-idle-steps N] |\n"
         "       [--frames N] [--record FILE | --play FILE]]\n",
         ""},
        {{"--version"}, 0, "orbel2 " OB_VERSION_STRING "\nOrbel2 engine " OB_VERSION_STRING "\n", ""},
        {{"--frames", "0"}, 2, "", refused("--frames needs a number of frames from 1 to 4294967295")},
        {{"--replay", "park", "--frames", "3"}, 2, "", refused("--frames goes without --replay")},
        {{"--record", "a", "--play", "b"}, 2, "", refused("--record and --play go one at a time")},
        {{"--record"}, 2, "", refused("--record needs the name of a recording")},
        {{"--frobnicate"}, 2, "", refused("unknown argument '--frobnicate'")},
        {{"--help", "extra"}, 2, "", refused("--help goes alone, not with 'extra'")},
        {{"--replay", "park", "--help"}, 2, "", refused("--help goes alone, not with '--replay'")},
        {{"--version", "--version"}, 2, "", refused("--version given twice")},
        {{"--replay", "park", "--hash-every", "00000000001"}, 0, parked, ""},
        {{"--replay", "park"}, 0, parked, ""},
        {{"--hash-every", "1", "--replay", "park"}, 0, parked, ""},
        {{"--replay", "other"}, 3, "Replay diverges at step 0\n", ""},
        {{"--replay", "missing"},
         1,
         "",
         "orbel2: Cannot open file \"" + (Dir / "missing").string() + "\". No such file or directory\n"},
        {{"--replay"}, 2, "", refused("--replay needs the name of a recording")},
        {{"--replay", "--hash-every", "5"}, 2, "", refused("--replay needs the name of a recording")},
        {{"--replay", "park", "--replay", "park"}, 2, "", refused("--replay given twice")},
        {{"--replay", "park", "extra"}, 2, "", refused("unknown argument 'extra'")},
        {{"--hash-every", "5"}, 2, "", refused("--hash-every goes with --replay FILE")},
        {{"--max-idle-steps", "5"}, 2, "", refused("--max-idle-steps goes with --replay FILE")},
        {{"--replay", "park", "--max-idle-steps", "0"},
         2,
         "",
         refused("--max-idle-steps needs a number of steps from 1 to 4294967295")},
        {{"--replay", "park", "--hash-every", "5", "--hash-every", "5"}, 2, "", refused("--hash-every given twice")},
        {{"--replay", "park", "--hash-every"}, 2, "", badCount},
        {{"--replay", "park", "--hash-every", "0"}, 2, "", badCount},
        {{"--replay", "park", "--hash-every", "4294967296"}, 2, "", badCount},
        {{"--replay", "park", "--hash-every", "-5"}, 2, "", badCount},
        {{"--replay", "park", "--hash-every", "5x"}, 2, "", badCount},
    };
    for (const TCase& c : cases) {
        std::string args;
        for (const std::string& arg : c.Args)
            args += arg + " ";
        const int status = RunProgram([] {}, c.Args);
        ASSERT_TRUE(WIFEXITED(status)) << args;
        EXPECT_EQ(WEXITSTATUS(status), c.Status) << args;
        const std::string out = ReadWholeFile("stdout.txt");
        EXPECT_EQ(out.substr(0, c.OutStart.size()), c.OutStart) << args;
        EXPECT_EQ(out.empty(), c.OutStart.empty()) << args;
        EXPECT_EQ(ReadWholeFile("stderr.txt"), c.Err) << args;
        EXPECT_FALSE(std::filesystem::exists("orbel2.log")) << args;
    }
    // --frames ends the game by itself, as Escape would; --record records
    // from the first step, and the recording replays.
    const int frames = RunProgram([] {}, {"--frames", "0030", "--record", "first"});
    EXPECT_TRUE(WIFEXITED(frames) && WEXITSTATUS(frames) == 0);
    EXPECT_NE(ReadWholeFile("orbel2.log").find("Orbel2 Finalizing"), std::string::npos);
    EXPECT_GT(std::filesystem::file_size("first"), 12u);
    const int replayed = RunProgram([] {}, {"--replay", "first"});
    EXPECT_TRUE(WIFEXITED(replayed) && WEXITSTATUS(replayed) == 0) << ReadWholeFile("stderr.txt");

    // The help names the keys, where the log goes, how to run headless and
    // how to replay.
    RunProgram([] {}, {"--help"});
    const std::string help = ReadWholeFile("stdout.txt");
    for (const char* part : {"Escape", "F11", "Backspace", "--frames N", "orbel2.log", "xvfb-run", "SDL_VIDEODRIVER=dummy", "--replay FILE",
                             "FILE.sum", "--hash-every N", "Replay diverges at step N"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
}

TEST_F(Faults, UnreadableOrOddRecordingsLeaveTheSessionRunning)
{
    // A named pipe with nobody at its other end is refused at once, never
    // waited on.
    ASSERT_EQ(::mkfifo("pipe", 0644), 0);
    for (const std::string command : {"record", "play"}) {
        ExecuteLine(command + " pipe");
        EXPECT_TRUE(LastLine().ends_with("Not a regular file") || LastLine().ends_with("No such device or address"))
            << LastLine();
        EXPECT_EQ(Session.Mode(), TPlaybackMode::pmNone) << command;
    }

    // A video mode the device refuses: an error line, and the mode stays.
    for (const char* line : {"vid_size 0 0", "vid_size -5 10", "vid_size 100000 100000"}) {
        ExecuteLine(line);
        EXPECT_TRUE(LastLine().starts_with("Error: OB_Video_Open: ")) << LastLine();
        EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 640u) << line;
    }

    // A 1 GiB file is played a block at a time, never loaded whole.
    WriteWholeFile("big", "");
    std::filesystem::resize_file("big", std::uintmax_t(1) << 30);
    const long peakBefore = PeakRssKiB();
    const auto start = std::chrono::steady_clock::now();
    ExecuteLine("play big");
    for (int i = 0; i < 5; ++i)
        RunFrame(Session, 1.0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(Session.Mode(), TPlaybackMode::pmPlay);
    EXPECT_GE(Session.StepCount(), 249u);
    EXPECT_LT(PeakRssKiB() - peakBefore, 64 * 1024);
    // A file of zeros is a start at the origin and records of no input.
    EXPECT_EQ(Session.Scene().Player.State.AngularVelocity, 0.0f);
}
