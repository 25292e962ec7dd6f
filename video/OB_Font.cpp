#include "video/OB_Font.h"

#include "kernel/OB_Messages.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int32_t FontCount = 3;
constexpr int32_t DefaultCellHeight = 16;
constexpr int32_t BoldWeight = 600;        // FW_SEMIBOLD and above draw bold
constexpr size_t MaxFaceNameLength = 31;   // a face name holds 31 characters

// The glyph cache covers the printable bytes of Latin-1; control bytes take
// no room and draw nothing.
constexpr int32_t FirstGlyph = 32;
constexpr int32_t GlyphCount = 256 - FirstGlyph;
constexpr int32_t AtlasColumns = 16;
constexpr int32_t AtlasRows = (GlyphCount + AtlasColumns - 1) / AtlasColumns;

struct TFontRow {
    const char* Face;
    int32_t Height;
};
constexpr std::array<TFontRow, FontCount> FontTable{{{"Arial", 16}, {"Courier", 16}, {"Tahoma", 16}}};

int64_t GlyphsRendered = 0;
TFaceResolver FaceResolver = nullptr;

struct TTtfFontCloser {
    void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};
struct TSurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using TSurfacePtr = std::unique_ptr<SDL_Surface, TSurfaceFreer>;
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

} // namespace

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

// One face at one size with its glyph cache. The glyphs are rasterised once,
// white, into a sheet kept in memory; for each colour drawn the sheet is
// tinted into a texture on the device. The textures are let go when the
// device is lost and made again from the sheet on next use, so a lost
// device costs no rasterising either. Colour and alpha are baked into the
// texture rather than modulated at draw time, which keeps the per-pixel
// work of drawing to a plain blend.
class TFont {
public:
    bool Open(const TFaceFile& face, int32_t height, bool bold, bool italic)
    {
        if (!Library.Ok || face.Path.empty())
            return false;
        int32_t size = height > 0 ? height : (height < 0 ? -height : DefaultCellHeight);
        Face.reset(TTF_OpenFontIndex(face.Path.c_str(), size, face.Index));
        if (!Face)
            return false;
        // A positive height is the cell (ascent plus descent), which is at
        // least the em size: shrink the em until the cell fits.
        if (height > 0) {
            while (TTF_FontHeight(Face.get()) > height && size > 1)
                TTF_SetFontSize(Face.get(), --size);
        }
        TTF_SetFontStyle(Face.get(), (bold ? TTF_STYLE_BOLD : 0) | (italic ? TTF_STYLE_ITALIC : 0));
        TTF_SetFontHinting(Face.get(), TTF_HINTING_NORMAL);
        Cell = TTF_FontHeight(Face.get());
        return Cell > 0;
    }

    ~TFont() { ForgetDeviceObjects(); }

    void OnLostDevice()
    {
        Lost = true;
        ReleaseDeviceObjects();
    }
    void OnResetDevice() { Lost = false; }

    void ReleaseDeviceObjects()
    {
        for (TColourAtlas& atlas : Atlases)
            OB_Gfx_DestroyTexture(atlas.Texture);
        ForgetDeviceObjects();
    }
    // For the end of the program, when the device's bookkeeping may already
    // be gone: the renderer frees the textures with itself.
    void ForgetDeviceObjects()
    {
        Atlases.clear();
        AtlasDevice = nullptr;
    }

    int32_t CellHeight() const { return Cell; }
    std::string FamilyName() const
    {
        const char* name = TTF_FontFaceFamilyName(Face.get());
        return name != nullptr ? name : "";
    }

    int32_t TextWidth(const std::string& text) const
    {
        int32_t width = 0;
        for (unsigned char c : text)
            width += GlyphOf(c) != nullptr ? GlyphOf(c)->Advance : 0;
        return width;
    }

    void Draw(const std::string& text, int32_t x, int32_t y, uint32_t colour, TTextAlign align)
    {
        if (Lost || text.empty())
            return;
        TGfxDevice* device = OB_VideoInfo.Device;
        if (device == nullptr)
            return;
        SDL_Renderer* renderer = device->Renderer();
        const int32_t width = TextWidth(text);
        const uint32_t format = OB_Font_Format(align);
        int32_t left = x;
        if (format & DT_CENTER)
            left = x - width / 2;
        else if (format & DT_RIGHT)
            left = x - width;
        int32_t top = y;
        if (format & DT_VCENTER)
            top = y - Cell / 2;
        else if (format & DT_BOTTOM)
            top = y - Cell;
        // Text wholly outside the back buffer is not seen: skip its glyphs.
        int outWidth = 0, outHeight = 0;
        if (SDL_GetRendererOutputSize(renderer, &outWidth, &outHeight) == 0 &&
            (left >= outWidth || left + width <= 0 || top >= outHeight || top + Cell <= 0))
            return;
        SDL_Texture* atlas = AtlasFor(*device, colour);
        if (atlas == nullptr)
            return;
        int32_t pen = left;
        for (unsigned char c : text) {
            const TGlyph* glyph = GlyphOf(c);
            if (glyph == nullptr)
                continue;
            if (glyph->Source.w > 0) {
                const SDL_Rect target{pen + glyph->OffsetX, top + glyph->OffsetY, glyph->Source.w, glyph->Source.h};
                // Over a band still in memory the glyph is blended there,
                // saving the renderer a blit per glyph.
                if (!device->BlendGlyph(*Sheet, glyph->Source, target.x, target.y, colour)) {
                    device->FlushPending();
                    SDL_RenderCopy(renderer, atlas, &glyph->Source, &target);
                }
            }
            pen += glyph->Advance;
        }
    }

private:
    struct TColourAtlas {
        uint32_t Colour = 0;
        SDL_Texture* Texture = nullptr;
        uint64_t LastUse = 0;
    };
    // Enough for every colour a frame of the console uses, with room to spare.
    static constexpr size_t MaxAtlases = 8;

    // Glyphs are measured when first asked for, once: loading a glyph's
    // outline is most of what opening a font would otherwise cost.
    const TGlyph* GlyphOf(unsigned char c) const
    {
        if (c < FirstGlyph)
            return nullptr;
        TGlyph& glyph = Glyphs[static_cast<size_t>(c - FirstGlyph)];
        if (!glyph.Measured) {
            glyph.Measured = true;
            int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
            if (TTF_GlyphMetrics32(Face.get(), c, &minX, &maxX, &minY, &maxY, &advance) == 0) {
                glyph.Advance = advance;
                glyph.MinX = minX;
            }
        }
        return &glyph;
    }

    SDL_Texture* AtlasFor(TGfxDevice& device, uint32_t colour)
    {
        if (AtlasDevice != &device)
            ReleaseDeviceObjects();
        if (!Sheet && !RasteriseGlyphs())
            return nullptr;
        ++UseCounter;
        for (TColourAtlas& atlas : Atlases) {
            if (atlas.Colour == colour) {
                atlas.LastUse = UseCounter;
                return atlas.Texture;
            }
        }
        if (Atlases.size() == MaxAtlases) {
            auto oldest = std::min_element(Atlases.begin(), Atlases.end(),
                                           [](const auto& a, const auto& b) { return a.LastUse < b.LastUse; });
            OB_Gfx_DestroyTexture(oldest->Texture);
            Atlases.erase(oldest);
        }
        SDL_Texture* texture = TintedSheet(device, colour);
        if (texture == nullptr)
            return nullptr;
        AtlasDevice = &device;
        Atlases.push_back(TColourAtlas{colour, texture, UseCounter});
        return texture;
    }

    // The sheet in one colour: the glyphs' coverage times the colour's alpha.
    SDL_Texture* TintedSheet(TGfxDevice& device, uint32_t colour)
    {
        TSurfacePtr tinted(
            SDL_CreateRGBSurfaceWithFormat(0, Sheet->w, Sheet->h, 32, SDL_PIXELFORMAT_ARGB8888));
        if (!tinted)
            return nullptr;
        const uint32_t rgb = colour & 0x00FFFFFFu;
        const uint32_t alpha = colour >> 24;
        for (int y = 0; y < Sheet->h; ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Sheet->pixels) +
                                                                 y * Sheet->pitch);
            auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(tinted->pixels) + y * tinted->pitch);
            for (int x = 0; x < Sheet->w; ++x)
                to[x] = (((from[x] >> 24) * alpha + 127) / 255) << 24 | rgb;
        }
        SDL_Texture* texture = device.CreateTextureFromSurface(tinted.get());
        if (texture != nullptr)
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        return texture;
    }

    // Renders every glyph once, white, into the sheet, one cell per glyph,
    // and notes the box of each glyph's ink so that drawing touches no
    // empty pixels.
    bool RasteriseGlyphs()
    {
        std::vector<TSurfacePtr> images(GlyphCount);
        int32_t cellWidth = 1;
        for (int32_t i = 0; i < GlyphCount; ++i) {
            const auto code = static_cast<Uint32>(FirstGlyph + i);
            if (code == ' ' || !TTF_GlyphIsProvided32(Face.get(), code))
                continue;
            images[i].reset(TTF_RenderGlyph32_Blended(Face.get(), code, SDL_Color{255, 255, 255, 255}));
            ++GlyphsRendered;
            if (images[i])
                images[i].reset(SDL_ConvertSurfaceFormat(images[i].get(), SDL_PIXELFORMAT_ARGB8888, 0));
            if (images[i])
                cellWidth = std::max(cellWidth, images[i]->w);
        }
        TSurfacePtr sheet(SDL_CreateRGBSurfaceWithFormat(0, cellWidth * AtlasColumns, Cell * AtlasRows, 32,
                                                         SDL_PIXELFORMAT_ARGB8888));
        if (!sheet)
            return false;
        SDL_FillRect(sheet.get(), nullptr, 0);
        for (int32_t i = 0; i < GlyphCount; ++i) {
            Glyphs[i].Source = SDL_Rect{};
            if (!images[i])
                continue;
            const SDL_Rect ink = InkBox(*images[i]);
            if (ink.w == 0)
                continue;
            SDL_Rect place{(i % AtlasColumns) * cellWidth, (i / AtlasColumns) * Cell, ink.w, ink.h};
            SDL_Rect source = ink;
            SDL_SetSurfaceBlendMode(images[i].get(), SDL_BLENDMODE_NONE);
            if (SDL_BlitSurface(images[i].get(), &source, sheet.get(), &place) != 0)
                continue;
            // The glyph's image starts at the pen, or left of it when the
            // glyph reaches back (its left bearing is negative).
            const int32_t minX = GlyphOf(static_cast<unsigned char>(FirstGlyph + i))->MinX;
            Glyphs[i].Source = place;
            Glyphs[i].OffsetX = std::min(minX, 0) + ink.x;
            Glyphs[i].OffsetY = ink.y;
        }
        Sheet = std::move(sheet);
        return true;
    }

    // The smallest box holding every pixel of the image that is not fully
    // transparent, within the cell's height; empty when there is none.
    SDL_Rect InkBox(const SDL_Surface& image) const
    {
        int left = image.w, right = -1, top = image.h, bottom = -1;
        const int rows = std::min(image.h, Cell);
        for (int y = 0; y < rows; ++y) {
            const auto* row =
                reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(image.pixels) + y * image.pitch);
            for (int x = 0; x < image.w; ++x) {
                if ((row[x] >> 24) == 0)
                    continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        if (right < 0)
            return SDL_Rect{};
        return SDL_Rect{left, top, right - left + 1, bottom - top + 1};
    }

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
    std::array<std::string, FontCount> FailureTexts{"Unable to create font \"Arial\"",
                                                     "Unable to create font \"Courier\"",
                                                     "Unable to create font \"Tahoma\""};
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
        const int32_t result = OB_Font_Create(FontTable[i].Height, 0, 0, false, 0, 0, 0, 0, FontTable[i].Face,
                                              FontSet.Fonts[i]);
        if (result < 0)
            OB_SendMessage(MSG_DUMMYOBJECT, &FontSet.FailureTexts[i], 0);
    }
}

} // namespace

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

void OB_Font_SetFaceResolver(TFaceResolver Resolver) { FaceResolver = Resolver; }

int32_t OB_Font_Create(int32_t Height, int32_t /*Width*/, int32_t Weight, bool Italic, uint8_t /*CharSet*/,
                       uint8_t /*OutputPrecision*/, uint8_t /*Quality*/, uint8_t /*PitchAndFamily*/,
                       const std::string& FaceName, TFontPtr& Font)
{
    Font.reset();
    const std::string face = FaceName.substr(0, MaxFaceNameLength);
    const TFaceFile file = FaceResolver != nullptr ? FaceResolver(face) : OB_Font_ResolveFace(face);
    TFontPtr made(new TFont);
    if (!made->Open(file, Height, Weight >= BoldWeight, Italic))
        return E_FAIL;
    Font = std::move(made);
    return D3D_OK;
}

void OB_Font_Init() { OB_AddListener(OB_Font_HandleMessage, MSGGROUP_KERNEL, nullptr); }

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
    if (TFont* font = FontAt(FontIndex))
        font->Draw(Text, X, Y, Colour, Align);
}

bool OB_Font_Exists(uint8_t FontIndex) { return FontAt(FontIndex) != nullptr; }

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

int64_t OB_Font_GlyphsRendered() { return GlyphsRendered; }
