// Faults from outside the program: a log that cannot be created and
// recordings that cannot be opened or are huge. None may crash the program,
// lose the session or leave it recording or playing without a file.
#include "TestSupport.h"
#include "kernel/OB_Version.h"

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

namespace {

// Runs the demo program in the current directory with Args, headless
// unless Setup changes its environment; returns its wait status, its
// standard output in stdout.txt and its standard error in stderr.txt.
int RunProgram(
    const std::function<void()>& Setup = [] {}, const std::vector<std::string>& Args = {})
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_RENDER_DRIVER", "software", 1);
        Setup();
        std::vector<char*> argv{const_cast<char*>(ORBEL2_PROGRAM)};
        for (const std::string& arg : Args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ORBEL2_PROGRAM, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

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
// stdout and exit 0; anything else is one line on stderr and exit 2, and no
// window, log or demo.
TEST_F(Program, AnswersHelpAndVersionAndRefusesOtherArguments)
{
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        std::string OutStart, Err;
    };
    const TCase cases[] = {
        {{"--help"}, 0, "Usage: orbel2 [--help | --version]\n", ""},
        {{"--version"}, 0, "orbel2 " OB_VERSION_STRING "\n", ""},
        {{"--frobnicate"}, 2, "", "orbel2: unknown argument '--frobnicate' (orbel2 --help lists what it takes)\n"},
        {{"--help", "extra"}, 2, "", "orbel2: unknown argument '--help' (orbel2 --help lists what it takes)\n"},
    };
    for (const TCase& c : cases) {
        const int status = RunProgram([] {}, c.Args);
        ASSERT_TRUE(WIFEXITED(status)) << c.Args[0];
        EXPECT_EQ(WEXITSTATUS(status), c.Status) << c.Args[0];
        const std::string out = ReadWholeFile("stdout.txt");
        EXPECT_EQ(out.substr(0, c.OutStart.size()), c.OutStart) << c.Args[0];
        EXPECT_EQ(out.empty(), c.OutStart.empty()) << c.Args[0];
        EXPECT_EQ(ReadWholeFile("stderr.txt"), c.Err) << c.Args[0];
        EXPECT_FALSE(std::filesystem::exists("orbel2.log")) << c.Args[0];
    }
    // The help names the keys, where the log goes and how to run headless.
    RunProgram([] {}, {"--help"});
    const std::string help = ReadWholeFile("stdout.txt");
    for (const char* part : {"Escape", "F11", "orbel2.log", "xvfb-run", "SDL_VIDEODRIVER=dummy"})
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
