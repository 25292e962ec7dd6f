// Faces on Windows and in the browser, where there is no fontconfig: each
// face the engine asks for maps to the file fontconfig picks for it on
// Linux (Arial to Liberation Sans, Courier to Liberation Mono, Tahoma to
// DejaVu Sans), shipped with the program, so that text looks the same on
// every target. Any other name gets DejaVu Sans, fontconfig's default.
// The bundle is the "fonts" folder beside orbel2.exe on Windows (the
// system's font folder is the fallback there), and /fonts in the browser's
// file system.
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
#include "orbel2/video/OB_Font.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace orbel2 {

namespace {

struct TBundledFace {
    const char* Face;   // lower case
    const char* BundleFile;
    const char* SystemFile;   // in Windows' font folder
};
constexpr std::array<TBundledFace, 4> BundledFaces{{
    {"arial", "LiberationSans-Regular.ttf", "arial.ttf"},
    {"courier", "LiberationMono-Regular.ttf", "cour.ttf"},
    {"courier new", "LiberationMono-Regular.ttf", "cour.ttf"},
    {"tahoma", "DejaVuSans.ttf", "tahoma.ttf"},
}};
constexpr TBundledFace DefaultFace{"", "DejaVuSans.ttf", "tahoma.ttf"};

std::string LowerCase(std::string Text)
{
    std::transform(Text.begin(), Text.end(), Text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return Text;
}

bool Readable(const std::string& Path)
{
    return std::ifstream(Path, std::ios::binary).good();
}

std::string BundleFolder()
{
#if defined(__EMSCRIPTEN__)
    return "/fonts/";
#else
    struct TSdlFree {
        void operator()(char* Text) const { SDL_free(Text); }
    };
    const std::unique_ptr<char, TSdlFree> base(SDL_GetBasePath());
    return std::string(base ? base.get() : "") + "fonts\\";
#endif
}

std::string SystemFontFolder()
{
#if defined(_WIN32)
    const char* windows = std::getenv("WINDIR");
    return windows != nullptr ? std::string(windows) + "\\Fonts\\" : std::string();
#else
    return {};
#endif
}

}   // namespace

TFaceFile OB_Font_ResolveFace(const std::string& FaceName)
{
    const std::string name = LowerCase(FaceName);
    const auto found = std::find_if(BundledFaces.begin(), BundledFaces.end(),
                                    [&name](const TBundledFace& face) { return name == face.Face; });
    const TBundledFace& face = found != BundledFaces.end() ? *found : DefaultFace;
    const std::string bundled = BundleFolder() + face.BundleFile;
    if (Readable(bundled))
        return TFaceFile{bundled, 0};
    const std::string system = SystemFontFolder();
    if (!system.empty() && Readable(system + face.SystemFile))
        return TFaceFile{system + face.SystemFile, 0};
    return {};
}

}   // namespace orbel2
#endif
