// Shared set-up of the fuzz targets: each runs in a scratch directory of its
// own (the log, recordings and "_ob_temp" land there), on SDL's dummy video
// driver, with the engine started as the program starts it. An input may do
// anything a user could do, except write outside the scratch directory or
// ask for a back buffer so large that the fuzzer's memory limit, not the
// engine, would be what stops it.
#pragma once

#include "console/OB_Console.h"
#include "kernel/OB_Kernel.h"
#include "session/MainSession.h"
#include "video/OB_Video.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fuzz {

// The largest back buffer a line may ask for: 2048 x 2048 pixels. Larger
// valid sizes (up to 16384 on a side) are refused here, not by the engine.
constexpr uint64_t MaxBackBufferPixels = 2048ull * 2048ull;

// Makes a fresh directory under the system's temporary directory the
// current one, and returns its path.
inline std::filesystem::path EnterScratchDir(const char* target)
{
    std::string pattern = std::filesystem::temp_directory_path() / (std::string("orbel2-fuzz-") + target + "-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    std::filesystem::current_path(pattern);
    return pattern;
}

// Headless drawing, not paced by a display that is not there.
inline void UseDummyVideo()
{
    for (const char* name : {"SDL_VIDEODRIVER", "SDL_AUDIODRIVER"})
        ::setenv(name, "dummy", 1);
    ::setenv("SDL_RENDER_DRIVER", "software", 1);
    ::setenv("SDL_RENDER_VSYNC", "0", 1);
}

// The engine and the demo session at 640 x 480; the session lives until the
// process ends.
inline TMainSession& StartDemo()
{
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    static std::unique_ptr<TMainSession> session = std::make_unique<TMainSession>();
    session->Start();
    return *session;
}

// The log grows with every "write" and mode change; emptying it now and then
// keeps a long run's directory small. The log writes at its own offset, so
// the file becomes sparse rather than corrupt.
inline void TrimLog(uint64_t run)
{
    if (run % 4096 == 0)
        ::truncate("orbel2.log", 0);
}

// The words of a typed line: runs of anything but blanks and tabs.
inline std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words(1);
    for (const char c : line)
        if (c != ' ' && c != '\t')
            words.back() += c;
        else if (!words.back().empty())
            words.emplace_back();
    if (words.back().empty())
        words.pop_back();
    return words;
}

// Whether a typed line stays inside the target's bounds: "record" and "play"
// only of names in the scratch directory ("record /x" would replace any file
// the process may write, "play /dev/stdin" would wait for input), and
// "vid_size" only up to MaxBackBufferPixels.
inline bool LineIsConfined(const std::string& line)
{
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2)
        return true;
    if (words[0] == "record" || words[0] == "play")
        return words[1].find('/') == std::string::npos;
    if (words[0] == "vid_size") {
        const int64_t width = static_cast<int32_t>(ConsoleReadInteger(words[1]));
        const int64_t height = words.size() > 2 ? static_cast<int32_t>(ConsoleReadInteger(words[2])) : 0;
        return width <= 0 || height <= 0 || static_cast<uint64_t>(width * height) <= MaxBackBufferPixels;
    }
    return true;
}

} // namespace fuzz
