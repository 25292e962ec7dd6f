// Shared set-up of the fuzz targets: each runs in a scratch directory of its
// own on SDL's dummy video driver. An input may do anything a user could do,
// except write outside the scratch directory or ask for a back buffer so
// large that the fuzzer's memory limit would be what stops it.
#pragma once

#include "../FakePlatform.h"
#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "demo/MainSession.h"
#include "orbel2/session/OB_Kernel.h"
#include "orbel2/video/OB_Video.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orbel2 {

namespace fuzz {

inline std::filesystem::path EnterScratchDir(const char* target)
{
    std::string pattern = std::filesystem::temp_directory_path() / (std::string("orbel2-fuzz-") + target + "-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    std::filesystem::current_path(pattern);
    return pattern;
}

inline void UseDummyVideo()
{
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::setenv("SDL_RENDER_DRIVER", "software", 1);
    ::setenv("SDL_RENDER_VSYNC", "0", 1);
}

// The clock of every target: it moves only when a target runs a frame.
inline TFakePlatform& Clock()
{
    static TFakePlatform clock;
    return clock;
}

// One frame that measured Seconds.
inline void RunFrame(demo::TMainSession& session, double Seconds)
{
    Clock().Advance(Seconds);
    session.Update();
}

// The engine and the demo session at 640 x 480, alive until the process ends.
inline demo::TMainSession& StartDemo()
{
    OB_SetPlatform(&Clock());
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    static std::unique_ptr<demo::TMainSession> session = std::make_unique<demo::TMainSession>();
    session->Start();
    return *session;
}

// Empties the log now and then; it writes at its own offset, so the file
// becomes sparse rather than corrupt.
inline void TrimLog(uint64_t run)
{
    if (run % 4096 == 0)
        ::truncate("orbel2.log", 0);
}

// Whether a typed line stays inside the target's bounds: "record" and "play"
// only of names in the scratch directory ("play /dev/stdin" would wait for
// input), "vid_size" only up to 2048 x 2048 pixels.
inline bool LineIsConfined(const std::string& line)
{
    // The console's words: runs of anything but blanks and tabs.
    std::vector<std::string> words(1);
    for (const char c : line)
        if (c != ' ' && c != '\t')
            words.back() += c;
        else if (!words.back().empty())
            words.emplace_back();
    if (words.back().empty())
        words.pop_back();
    if (words.size() < 2)
        return true;
    if (words[0] == "record" || words[0] == "play")
        return words[1].find('/') == std::string::npos;
    if (words[0] == "vid_size") {
        const int64_t width = static_cast<int32_t>(ConsoleReadInteger(words[1]));
        const int64_t height = words.size() > 2 ? static_cast<int32_t>(ConsoleReadInteger(words[2])) : 0;
        return width <= 0 || height <= 0 || static_cast<uint64_t>(width * height) <= 2048ull * 2048ull;
    }
    return true;
}

}   // namespace fuzz

}   // namespace orbel2
