// Shared set-up of the fuzz targets: every target runs inside a scratch
// directory of its own (the log, recordings and "_ob_temp" land there), on
// SDL's dummy video driver, with the engine started as the program starts it.
// The rule for a target: an input may do anything a user could do, except
// write outside the scratch directory or ask for a back buffer so large that
// the fuzzer's memory limit, not the engine, would be what stops it.
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

// The largest back buffer a line may ask for, in pixels: 2048 x 2048, 16 MiB
// of software render target. Larger valid sizes (up to 16384 on a side) are
// refused by the target, not by the engine.
constexpr uint64_t MaxBackBufferPixels = 2048ull * 2048ull;

// Creates a fresh scratch directory under the system's temporary directory
// and makes it the current directory. Returns its path.
inline std::filesystem::path EnterScratchDir(const char* target)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string("orbel2-fuzz-") + target + "-XXXXXX"))
                              .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    std::filesystem::current_path(pattern);
    return pattern;
}

// Headless drawing: no display is needed and nothing appears on screen.
inline void UseDummyVideo()
{
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::setenv("SDL_RENDER_DRIVER", "software", 1);
    // Frames are not paced by a display that is not there.
    ::setenv("SDL_RENDER_VSYNC", "0", 1);
}

// The engine and the demo session as the program runs them, at 640 x 480.
// The session lives until the process ends.
inline TMainSession& StartDemo()
{
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    static std::unique_ptr<TMainSession> session = std::make_unique<TMainSession>();
    session->Start();
    return *session;
}

// The log grows with every "write" and mode change; emptying it now and then
// keeps a long run's scratch directory small. The log writes at its own
// offset, so the file becomes sparse rather than corrupt.
inline void TrimLog(uint64_t run)
{
    if (run % 4096 == 0)
        ::truncate("orbel2.log", 0);
}

inline std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// Whether a typed line stays inside the target's bounds: "record" and "play"
// only of names in the scratch directory (no path: "record /x" would replace
// any file the process may write, "play /dev/stdin" would wait for input),
// and "vid_size" only up to MaxBackBufferPixels.
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
