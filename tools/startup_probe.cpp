// How long the program takes from process start to its first presented
// frame. The probe starts itself again as a fresh process for each run and
// times it from just before the start; that process goes through the
// program's own start-up (kernel, video open, demo session start) and one
// frame, reports the time of each part, and shuts down untimed. Without a
// display setting the runs use SDL's dummy video driver, headless.
//
// Usage: orbel2-startup-probe [runs]   (5 by default)
#include "demo/MainSession.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Video.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

using TClock = std::chrono::steady_clock;

int64_t NowMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(TClock::now().time_since_epoch()).count();
}

double Milliseconds(int64_t from, int64_t to)
{
    return static_cast<double>(to - from) / 1000.0;
}

// One start-up, in the process started at StartedAt; prints the phases and
// the total in milliseconds on one line.
int RunOnce(int64_t startedAt)
{
    const int64_t entered = NowMicroseconds();
    // The log goes into the current directory: use a scratch one.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orbel2-probe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    OB_Kernel_Init();
    const int64_t kernel = NowMicroseconds();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    const int64_t video = NowMicroseconds();
    std::unique_ptr<TSession> session = SessionClass<TMainSession>();
    session->Start();
    const int64_t started = NowMicroseconds();
    session->Update();   // the first frame: no step yet, the scene drawn and presented once
    const int64_t presented = NowMicroseconds();

    std::printf("to main %7.2f  kernel %7.2f  video %7.2f  session %7.2f  frame %7.2f  total %7.2f\n",
                Milliseconds(startedAt, entered), Milliseconds(entered, kernel), Milliseconds(kernel, video),
                Milliseconds(video, started), Milliseconds(started, presented), Milliseconds(startedAt, presented));
    std::fflush(stdout);

    session->Stop();
    session.reset();
    OB_Video_Close();
    OB_Kernel_Finalize();
    std::filesystem::current_path(dir.parent_path());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}

// Starts this program as a child that runs one start-up; false when the
// child could not run or failed.
bool RunChild(const char* self)
{
    const std::string startedAt = std::to_string(NowMicroseconds());
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const char* args[] = {self, "--child", startedAt.c_str(), nullptr};
        ::execv("/proc/self/exe", const_cast<char* const*>(args));
        std::fprintf(stderr, "startup-probe: cannot start itself: %s\n", std::strerror(errno));
        std::_Exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}   // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return RunOnce(std::strtoll(argv[2], nullptr, 10));

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("SDL_VIDEODRIVER", "dummy", 0);
    std::printf("milliseconds, SDL_VIDEODRIVER=%s\n",
                std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "");
    std::fflush(stdout);
    for (int i = 0; i < runs; ++i) {
        if (!RunChild(argv[0]))
            return 1;
    }
    return 0;
}
