#include "orbel2/video/OB_GlyphCache.h"

#include "orbel2/video/platform/OB_GfxDevice.h"

#include <algorithm>

namespace orbel2 {

namespace {

constexpr int32_t DefaultCellHeight = 16;
constexpr int32_t MaxCellHeight = 256;
constexpr int32_t AtlasColumns = 16;
constexpr int32_t AtlasRows = (GlyphCount + AtlasColumns - 1) / AtlasColumns;

int64_t GlyphsRendered = 0;

}   // namespace

bool TFont::Open(const std::string& Path, int32_t Index, int32_t Height, bool Bold, bool Italic)
{
    if (!Library.Ok || Path.empty())
        return false;
    // A cell of thousands of pixels would make a sheet of glyphs of
    // gigabytes, and the size's negation must fit.
    if (Height > MaxCellHeight || Height < -MaxCellHeight)
        return false;
    int32_t size = Height > 0 ? Height : (Height < 0 ? -Height : DefaultCellHeight);
    Face.reset(TTF_OpenFontIndex(Path.c_str(), size, Index));
    if (!Face)
        return false;
    // A positive height is the cell (ascent plus descent), which is at
    // least the em size: shrink the em until the cell fits.
    if (Height > 0) {
        while (TTF_FontHeight(Face.get()) > Height && size > 1)
            TTF_SetFontSize(Face.get(), --size);
    }
    TTF_SetFontStyle(Face.get(), (Bold ? TTF_STYLE_BOLD : 0) | (Italic ? TTF_STYLE_ITALIC : 0));
    TTF_SetFontHinting(Face.get(), TTF_HINTING_NORMAL);
    Cell = TTF_FontHeight(Face.get());
    return Cell > 0;
}

void TFont::OnLostDevice()
{
    Lost = true;
    ReleaseDeviceObjects();
}

void TFont::ReleaseDeviceObjects()
{
    for (TColourAtlas& atlas : Atlases)
        OB_Gfx_DestroyTexture(atlas.Texture);
    ForgetDeviceObjects();
}

// For the end of the program, when the device's bookkeeping may already
// be gone: the renderer frees the textures with itself.
void TFont::ForgetDeviceObjects()
{
    Atlases.clear();
    AtlasDevice = nullptr;
}

std::string TFont::FamilyName() const
{
    const char* name = TTF_FontFaceFamilyName(Face.get());
    return name != nullptr ? name : "";
}

int32_t TFont::TextWidth(const std::string& text) const
{
    int32_t width = 0;
    for (unsigned char c : text)
        width += GlyphOf(c) != nullptr ? GlyphOf(c)->Advance : 0;
    return width;
}

void TFont::Draw(TGfxDevice& Device, const std::string& Text, int32_t Left, int32_t Top, uint32_t Colour)
{
    if (Lost || Text.empty())
        return;
    SDL_Renderer* renderer = Device.Renderer();
    const int32_t width = TextWidth(Text);
    // Text wholly outside the back buffer is not seen: skip its glyphs.
    int outWidth = 0, outHeight = 0;
    if (SDL_GetRendererOutputSize(renderer, &outWidth, &outHeight) == 0 &&
        (Left >= outWidth || Left + width <= 0 || Top >= outHeight || Top + Cell <= 0))
        return;
    SDL_Texture* atlas = AtlasFor(Device, Colour);
    if (atlas == nullptr)
        return;
    int32_t pen = Left;
    for (unsigned char c : Text) {
        const TGlyph* glyph = GlyphOf(c);
        if (glyph == nullptr)
            continue;
        if (glyph->Source.w > 0) {
            const SDL_Rect target{pen + glyph->OffsetX, Top + glyph->OffsetY, glyph->Source.w, glyph->Source.h};
            // Over a band still in memory the glyph is blended there,
            // saving the renderer a blit per glyph.
            if (!Device.BlendGlyph(*Sheet, glyph->Source, target.x, target.y, Colour)) {
                Device.FlushPending();
                SDL_RenderCopy(renderer, atlas, &glyph->Source, &target);
            }
        }
        pen += glyph->Advance;
    }
}

// Glyphs are measured when first asked for, once: loading a glyph's
// outline is most of what opening a font would otherwise cost.
const TGlyph* TFont::GlyphOf(unsigned char c) const
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

SDL_Texture* TFont::AtlasFor(TGfxDevice& device, uint32_t colour)
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
SDL_Texture* TFont::TintedSheet(TGfxDevice& device, uint32_t colour)
{
    TSurfacePtr tinted(SDL_CreateRGBSurfaceWithFormat(0, Sheet->w, Sheet->h, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!tinted)
        return nullptr;
    const uint32_t rgb = colour & 0x00FFFFFFu;
    const uint32_t alpha = colour >> 24;
    for (int y = 0; y < Sheet->h; ++y) {
        const auto* from =
            reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Sheet->pixels) + y * Sheet->pitch);
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
bool TFont::RasteriseGlyphs()
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
    TSurfacePtr sheet(
        SDL_CreateRGBSurfaceWithFormat(0, cellWidth * AtlasColumns, Cell * AtlasRows, 32, SDL_PIXELFORMAT_ARGB8888));
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
SDL_Rect TFont::InkBox(const SDL_Surface& image) const
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

int64_t OB_GlyphsRendered()
{
    return GlyphsRendered;
}

}   // namespace orbel2
