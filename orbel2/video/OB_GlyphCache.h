// One face at one size with its glyph cache: every glyph is rasterised once,
// white, into a sheet kept in memory; for each colour drawn the sheet is
// tinted into a texture on the device. The textures are let go when the
// device is lost and made again from the sheet on next use, so a lost device
// costs no rasterising either. Colour and alpha are baked into the texture
// rather than modulated at draw time, which keeps the per-pixel work of
// drawing to a plain blend. Text is one byte per character (Latin-1).
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orbel2 {

class TGfxDevice;

// The glyph cache covers the printable bytes of Latin-1; control bytes take
// no room and draw nothing.
constexpr int32_t FirstGlyph = 32;
constexpr int32_t GlyphCount = 256 - FirstGlyph;

struct TGlyph {
    bool Measured = false;
    int32_t Advance = 0;
    int32_t MinX = 0;   // left bearing: negative when the glyph reaches back past the pen
    // The glyph's ink: where it lies in the sheet, and where its top-left
    // corner goes relative to the pen and the top of the cell.
    SDL_Rect Source{};
    int32_t OffsetX = 0;
    int32_t OffsetY = 0;
};

// SDL_ttf is reference counted: each font holds one reference for as long as
// its face is open, so the library outlives every font whatever the order in
// which they go.
class TTtfReference {
public:
    TTtfReference() : Ok(TTF_Init() == 0) {}
    ~TTtfReference()
    {
        if (Ok)
            TTF_Quit();
    }
    TTtfReference(const TTtfReference&) = delete;
    TTtfReference& operator=(const TTtfReference&) = delete;
    bool Ok;
};

class TFont {
public:
    // Opens face Index of the font file at Path: a positive Height is the
    // cell height in pixels (ascent plus descent), a negative one the em
    // size, 0 a cell of 16. False when the face cannot be read.
    bool Open(const std::string& Path, int32_t Index, int32_t Height, bool Bold, bool Italic);
    ~TFont() { ForgetDeviceObjects(); }

    void OnLostDevice();
    void OnResetDevice() { Lost = false; }
    void ReleaseDeviceObjects();
    // For the end of the program, when the device's bookkeeping may already
    // be gone: the renderer frees the textures with itself.
    void ForgetDeviceObjects();

    int32_t CellHeight() const { return Cell; }
    std::string FamilyName() const;
    int32_t TextWidth(const std::string& Text) const;
    // Draws Text in one line with the top-left corner of its cell at
    // (Left, Top), in back-buffer pixels; nothing while the device is lost.
    void Draw(TGfxDevice& Device, const std::string& Text, int32_t Left, int32_t Top, uint32_t Colour);

private:
    struct TTtfFontCloser {
        void operator()(TTF_Font* Font) const { TTF_CloseFont(Font); }
    };
    struct TSurfaceFreer {
        void operator()(SDL_Surface* Surface) const { SDL_FreeSurface(Surface); }
    };
    using TSurfacePtr = std::unique_ptr<SDL_Surface, TSurfaceFreer>;
    struct TColourAtlas {
        uint32_t Colour = 0;
        SDL_Texture* Texture = nullptr;
        uint64_t LastUse = 0;
    };
    // Enough for every colour a frame of the console uses, with room to spare.
    static constexpr size_t MaxAtlases = 8;

    // Glyphs are measured when first asked for, once: loading a glyph's
    // outline is most of what opening a font would otherwise cost.
    const TGlyph* GlyphOf(unsigned char C) const;
    SDL_Texture* AtlasFor(TGfxDevice& Device, uint32_t Colour);
    // The sheet in one colour: the glyphs' coverage times the colour's alpha.
    SDL_Texture* TintedSheet(TGfxDevice& Device, uint32_t Colour);
    // Renders every glyph once, white, into the sheet, one cell per glyph,
    // and notes the box of each glyph's ink so that drawing touches no
    // empty pixels.
    bool RasteriseGlyphs();
    // The smallest box holding every pixel of the image that is not fully
    // transparent, within the cell's height; empty when there is none.
    SDL_Rect InkBox(const SDL_Surface& Image) const;

    TTtfReference Library;
    std::unique_ptr<TTF_Font, TTtfFontCloser> Face;
    int32_t Cell = 0;
    mutable std::array<TGlyph, GlyphCount> Glyphs{};
    TSurfacePtr Sheet;
    std::vector<TColourAtlas> Atlases;
    const TGfxDevice* AtlasDevice = nullptr;
    uint64_t UseCounter = 0;
    bool Lost = false;
};

// How many glyphs all fonts have rasterised since the program started.
int64_t OB_GlyphsRendered();

}   // namespace orbel2
