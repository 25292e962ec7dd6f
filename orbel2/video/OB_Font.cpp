#include "orbel2/video/OB_Font.h"

#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/OB_GlyphCache.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxTypes.h"

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)   // elsewhere the faces are bundled (OB_FontBundle.cpp)
#define ORBEL2_FONTCONFIG 1
#include <fontconfig/fontconfig.h>
#endif

#include <array>
#include <memory>

namespace orbel2 {

namespace {

constexpr int32_t FontCount = 3;
constexpr int32_t BoldWeight = 600;   // FW_SEMIBOLD and above draw bold
constexpr size_t MaxFaceNameLength = 31;   // a face name holds 31 characters
constexpr int64_t OffScreenReach = int64_t{1} << 30;

struct TFontRow {
    const char* Face;
    int32_t Height;
};
constexpr std::array<TFontRow, FontCount> FontTable{{{"Arial", 16}, {"Courier", 16}, {"Tahoma", 16}}};

TFaceResolver FaceResolver = nullptr;

#if defined(ORBEL2_FONTCONFIG)
struct TFcConfigDestroyer {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct TFcPatternDestroyer {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TFcPatternPtr = std::unique_ptr<FcPattern, TFcPatternDestroyer>;

// The fontconfig configuration, loaded on the first lookup and kept: loading
// it scans the font caches, which is too slow to repeat per font. FcFini is
// never called, so nothing depends on the order of exit-time teardown.
std::unique_ptr<FcConfig, TFcConfigDestroyer> FontConfig;
#endif

}   // namespace

void TFontDeleter::operator()(TFont* Font) const
{
    if (Font != nullptr)
        Font->ReleaseDeviceObjects();
    delete Font;
}

namespace {

// The engine's fonts and the failure texts that MSG_DUMMYOBJECT points to.
// At program end the device may already be gone, so the fonts only forget
// their device objects before they close.
struct TFontSet {
    std::array<TFontPtr, FontCount> Fonts;
    std::array<std::string, FontCount> FailureTexts{
        "Unable to create font \"Arial\"", "Unable to create font \"Courier\"", "Unable to create font \"Tahoma\""};
    ~TFontSet()
    {
        for (auto& font : Fonts) {
            if (font)
                font->ForgetDeviceObjects();
        }
    }
};
TFontSet FontSet;

TFont* FontAt(uint8_t index)
{
    return index < FontCount ? FontSet.Fonts[index].get() : nullptr;
}

void CreateFonts()
{
    for (int32_t i = 0; i < FontCount; ++i) {
        FontSet.Fonts[i].reset();
        const int32_t result =
            OB_Font_Create(FontTable[i].Height, 0, 0, false, 0, 0, 0, 0, FontTable[i].Face, FontSet.Fonts[i]);
        if (result < 0)
            OB_SendMessage(MSG_DUMMYOBJECT, &FontSet.FailureTexts[i], 0);
    }
}

}   // namespace

#if defined(ORBEL2_FONTCONFIG)
TFaceFile OB_Font_ResolveFace(const std::string& FaceName)
{
    if (!FontConfig)
        FontConfig.reset(FcInitLoadConfigAndFonts());
    if (!FontConfig)
        return {};
    TFcPatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return {};
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(FaceName.c_str()));
    FcConfigSubstitute(FontConfig.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    TFcPatternPtr match(FcFontMatch(FontConfig.get(), pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
        return {};
    int index = 0;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    return TFaceFile{reinterpret_cast<const char*>(file), index};
}
#endif

void OB_Font_SetFaceResolver(TFaceResolver Resolver)
{
    FaceResolver = Resolver;
}

int32_t OB_Font_Create(int32_t Height, int32_t /*Width*/, int32_t Weight, bool Italic, uint8_t /*CharSet*/,
                       uint8_t /*OutputPrecision*/, uint8_t /*Quality*/, uint8_t /*PitchAndFamily*/,
                       const std::string& FaceName, TFontPtr& Font)
{
    Font.reset();
    const std::string face = FaceName.substr(0, MaxFaceNameLength);
    const TFaceFile file = FaceResolver != nullptr ? FaceResolver(face) : OB_Font_ResolveFace(face);
    TFontPtr made(new TFont);
    if (!made->Open(file.Path, file.Index, Height, Weight >= BoldWeight, Italic))
        return E_FAIL;
    Font = std::move(made);
    return D3D_OK;
}

void OB_Font_Init()
{
    OB_AddListener(OB_Font_HandleMessage, MSGGROUP_KERNEL, nullptr);
}

void OB_Font_Release()
{
    for (auto& font : FontSet.Fonts)
        font.reset();
}

void OB_Font_Shutdown()
{
    for (auto& font : FontSet.Fonts) {
        if (font)
            font->OnLostDevice();
    }
}

void OB_Font_HandleMessage(int32_t Msg, void*, int32_t, void*)
{
    switch (Msg) {
    case MSG_VIDEODEVICELOST:
        OB_Font_Shutdown();
        break;
    case MSG_VIDEODEVICERESET:
        for (auto& font : FontSet.Fonts) {
            if (font)
                font->OnResetDevice();
        }
        break;
    case MSG_VIDEODEVICEINITIALIZED:
        CreateFonts();
        break;
    default:
        break;
    }
}

uint32_t OB_Font_Format(TTextAlign Align)
{
    uint32_t format = DT_NOCLIP | DT_SINGLELINE;
    if (Align & OB_Align(taCenter))
        format |= DT_CENTER;
    if (Align & OB_Align(taRight))
        format |= DT_RIGHT;
    if (Align & OB_Align(taVCenter))
        format |= DT_VCENTER;
    if (Align & OB_Align(taBottom))
        format |= DT_BOTTOM;
    return format;
}

void OB_Font_DrawText(const std::string& Text, int32_t X, int32_t Y, uint32_t Colour, uint8_t FontIndex,
                      TTextAlign Align)
{
    TFont* font = FontAt(FontIndex);
    if (font == nullptr || OB_VideoInfo.Device == nullptr)
        return;
    const int64_t width = font->TextWidth(Text);
    const int64_t cell = font->CellHeight();
    const uint32_t format = OB_Font_Format(Align);
    int64_t left = X;
    if (format & DT_CENTER)
        left = X - width / 2;
    else if (format & DT_RIGHT)
        left = X - width;
    int64_t top = Y;
    if (format & DT_VCENTER)
        top = Y - cell / 2;
    else if (format & DT_BOTTOM)
        top = Y - cell;
    // Anchors near the ends of 32 bits lie far off any back buffer; the
    // glyphs' own sums stay well inside 32 bits from here on.
    if (left < -OffScreenReach || left > OffScreenReach || top < -OffScreenReach || top > OffScreenReach)
        return;
    font->Draw(*OB_VideoInfo.Device, Text, static_cast<int32_t>(left), static_cast<int32_t>(top), Colour);
}

bool OB_Font_Exists(uint8_t FontIndex)
{
    return FontAt(FontIndex) != nullptr;
}

std::string OB_Font_FamilyName(uint8_t FontIndex)
{
    const TFont* font = FontAt(FontIndex);
    return font != nullptr ? font->FamilyName() : "";
}

int32_t OB_Font_CellHeight(uint8_t FontIndex)
{
    const TFont* font = FontAt(FontIndex);
    return font != nullptr ? font->CellHeight() : 0;
}

int32_t OB_Font_TextWidth(const std::string& Text, uint8_t FontIndex)
{
    const TFont* font = FontAt(FontIndex);
    return font != nullptr ? font->TextWidth(Text) : 0;
}

int64_t OB_Font_GlyphsRendered()
{
    return OB_GlyphsRendered();
}

}   // namespace orbel2
