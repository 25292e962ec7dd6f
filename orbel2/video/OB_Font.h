// The engine's three text fonts, which follow the graphics device through the
// message bus: created on MSG_VIDEODEVICEINITIALIZED, device resources let go
// on MSG_VIDEODEVICELOST and restored on MSG_VIDEODEVICERESET.
// Text is drawn from a per-font glyph cache: every glyph is rasterised once
// into a texture on the device and kept until the device is lost, so drawing
// the same or any other text again costs no rasterising. Text is one byte per
// character (Latin-1).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orbel2 {

enum TTextAlignFlag : uint8_t { taCenter = 0, taLeft = 1, taRight = 2, taVCenter = 3, taTop = 4, taBottom = 5 };
// A set of TTextAlignFlag: bit n stands for the flag of ordinal n.
using TTextAlign = uint8_t;
constexpr TTextAlign OB_Align(TTextAlignFlag flag)
{
    return static_cast<TTextAlign>(1u << flag);
}

// Text format bits of a drawing call.
constexpr uint32_t DT_TOP = 0x000;
constexpr uint32_t DT_LEFT = 0x000;
constexpr uint32_t DT_CENTER = 0x001;
constexpr uint32_t DT_RIGHT = 0x002;
constexpr uint32_t DT_VCENTER = 0x004;
constexpr uint32_t DT_BOTTOM = 0x008;
constexpr uint32_t DT_SINGLELINE = 0x020;
constexpr uint32_t DT_NOCLIP = 0x100;
constexpr uint32_t DT_CALCRECT = 0x400;

void OB_Font_Init();
// Lets the fonts go of their device objects; the fonts themselves stay.
void OB_Font_Shutdown();
// Releases the fonts themselves: the next MSG_VIDEODEVICEINITIALIZED
// creates them anew. The kernel's finalisation calls it.
void OB_Font_Release();
void OB_Font_HandleMessage(int32_t Msg, void* Param, int32_t Value, void* Data);
// Draws Text in one line at back-buffer pixel (X, Y) with font 0 "Arial",
// 1 "Courier" or 2 "Tahoma". The anchor is placed by Align: left puts the
// text's left edge at X, right its right edge, centre its middle; top puts
// its top at Y, bottom its bottom, vertical centre its middle. Text is never
// clipped or wrapped. A font that does not exist draws nothing.
void OB_Font_DrawText(const std::string& Text, int32_t X, int32_t Y, uint32_t Colour, uint8_t FontIndex,
                      TTextAlign Align);
// The format of a drawing call with Align: single line, no clipping, and
// the bits of the flags.
uint32_t OB_Font_Format(TTextAlign Align);

// Where a face's glyphs come from: a font file and the face within it.
// An empty Path means the face cannot be found.
struct TFaceFile {
    std::string Path;
    int32_t Index = 0;
};
using TFaceResolver = TFaceFile (*)(const std::string& FaceName);
// The face of that name as fontconfig matches it.
TFaceFile OB_Font_ResolveFace(const std::string& FaceName);
// Replaces the face lookup used when fonts are created; nullptr restores
// fontconfig. Lets a caller make a face unavailable.
void OB_Font_SetFaceResolver(TFaceResolver Resolver);

// Makes a font: Height > 0 is the cell height in pixels (ascent plus
// descent), Height < 0 the em size, 0 a cell of 16. Width, weight, character
// set, precision, quality and pitch are accepted for the record and not
// used. Returns 0 on success and a negative code when the face cannot be
// found or read, or Height lies beyond 256 pixels either way; the font then
// is left empty.
class TFont;
struct TFontDeleter {
    void operator()(TFont* Font) const;
};
using TFontPtr = std::unique_ptr<TFont, TFontDeleter>;
int32_t OB_Font_Create(int32_t Height, int32_t Width, int32_t Weight, bool Italic, uint8_t CharSet,
                       uint8_t OutputPrecision, uint8_t Quality, uint8_t PitchAndFamily, const std::string& FaceName,
                       TFontPtr& Font);

// What the engine's fonts are, for the status of the display and for tests.
bool OB_Font_Exists(uint8_t FontIndex);
// The family name of the face actually used; empty when the font does not exist.
std::string OB_Font_FamilyName(uint8_t FontIndex);
// Cell height in pixels; 0 when the font does not exist.
int32_t OB_Font_CellHeight(uint8_t FontIndex);
// Width in pixels of Text as drawn; 0 when the font does not exist.
int32_t OB_Font_TextWidth(const std::string& Text, uint8_t FontIndex);
// How many glyphs all fonts have rasterised since the program started.
int64_t OB_Font_GlyphsRendered();

}   // namespace orbel2
