#include "orbel2/video/platform/OB_GfxSoftware.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace orbel2 {

namespace {

uint32_t ToArgb(const SDL_Color& c)
{
    return static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
}

bool SameColour(const SDL_Color& a, const SDL_Color& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Beyond this the software renderer's fixed-point arithmetic has no room:
// such quads stay on the triangle path.
constexpr float MaxAlignedCoordinate = 32768.0f;

// Source over destination for each byte of Pixels (alpha, red, green,
// blue): (s a + d (255 - a)) / 256, the renderer's own arithmetic for
// blended copies and fills, so that a band looks the same whichever way it
// was drawn. Opaque colours replace, transparent ones leave the pixels.
void BlendRow(uint32_t* Pixels, int Count, uint32_t Colour)
{
    const uint32_t alpha = Colour >> 24;
    if (alpha == 0)
        return;
    if (alpha == 255) {
        std::fill_n(Pixels, Count, Colour);
        return;
    }
    // s a + d (255 - a) is at most 255 * 255: sixteen bits hold it, which
    // lets the compiler blend eight bytes at once.
    const auto keep = static_cast<uint16_t>(255 - alpha);
    // The colour's bytes in the order they lie in memory, each premultiplied
    // by the alpha; the alpha byte itself becomes a + d (1 - a).
    uint8_t colourBytes[4];
    std::memcpy(colourBytes, &Colour, sizeof Colour);
    const int alphaByte = std::endian::native == std::endian::little ? 3 : 0;
    uint16_t source[4];
    for (int byte = 0; byte < 4; ++byte)
        source[byte] = static_cast<uint16_t>((byte == alphaByte ? 255 : colourBytes[byte]) * alpha);
    auto* bytes = reinterpret_cast<uint8_t*>(Pixels);
    for (int i = 0; i < Count; ++i, bytes += 4) {
        for (int byte = 0; byte < 4; ++byte)
            bytes[byte] = static_cast<uint8_t>(static_cast<uint16_t>(source[byte] + bytes[byte] * keep) >> 8);
    }
}

// One channel of a vertical gradient at the centre of row Row of Rows, the
// way the triangle fill weighs its corners: in half pixels the centre lies
// 2 Row + 1 below the top edge of a band 2 Rows high, and the weighted sum
// is truncated.
uint32_t GradientChannel(uint32_t top, uint32_t bottom, int64_t row, int64_t rows)
{
    const int64_t below = 2 * row + 1;
    const int64_t span = 2 * rows;
    return static_cast<uint32_t>((static_cast<int64_t>(top) * (span - below) + static_cast<int64_t>(bottom) * below) /
                                 span);
}

uint32_t GradientColour(uint32_t top, uint32_t bottom, int64_t row, int64_t rows)
{
    uint32_t colour = 0;
    for (int shift = 0; shift < 32; shift += 8)
        colour |= GradientChannel((top >> shift) & 0xFF, (bottom >> shift) & 0xFF, row, rows) << shift;
    return colour;
}

// The renderer blends a glyph texel of alpha a into a pixel as
// (s a >> 8) + (d (255 - a) >> 8) per byte, copies opaque texels and skips
// transparent ones; the tinted texel's alpha is the coverage times the
// colour's alpha, rounded, as in the glyph textures. Each product fits in
// sixteen bits, so two bytes are blended at once in the halves of a word.
// The back buffer's own alpha byte is blended like a colour byte of 255; it
// is never shown.
void BlendCoverageRow(uint32_t* Pixels, const uint32_t* Coverage, int Count, uint32_t Colour)
{
    constexpr uint32_t LowBytes = 0x00FF00FFu;
    const uint32_t colourAlpha = Colour >> 24;
    const uint32_t opaqueColour = Colour | 0xFF000000u;
    const uint32_t sourceRedBlue = opaqueColour & LowBytes;
    const uint32_t sourceAlphaGreen = (opaqueColour >> 8) & LowBytes;
    for (int i = 0; i < Count; ++i) {
        uint32_t alpha = Coverage[i] >> 24;
        if (colourAlpha != 255)
            alpha = (alpha * colourAlpha + 127) / 255;
        const uint32_t d = Pixels[i];
        const uint32_t keep = 255 - alpha;
        const uint32_t redBlue = ((sourceRedBlue * alpha >> 8) & LowBytes) + (((d & LowBytes) * keep >> 8) & LowBytes);
        const uint32_t alphaGreen =
            ((sourceAlphaGreen * alpha >> 8) & LowBytes) + ((((d >> 8) & LowBytes) * keep >> 8) & LowBytes);
        const uint32_t blended = redBlue | alphaGreen << 8;
        Pixels[i] = alpha == 255 ? opaqueColour : (alpha == 0 ? d : blended);
    }
}

}   // namespace

// SDL fills a row of 64 bytes or more with streaming stores, 64 bytes at a
// time from a 16-byte boundary, and the bytes before that boundary and
// after the last whole 64 with plain stores. Where the two kinds of store
// meet in one cache line the row costs several times as much: 17 rows of
// 450 pixels took 10 us, of 448 pixels from a multiple of 4, 2 us. Split so,
// every part is all streaming (from a multiple of 4 pixels, a multiple of
// 16 long) or all plain (under 16 pixels). Four bytes a pixel.
int SplitForStreamingFill(const SDL_Rect& Rect, SDL_Rect (&Parts)[3])
{
    constexpr int Boundary = 4;   // pixels in 16 bytes
    constexpr int Block = 16;   // pixels in 64 bytes
    const int head = std::min(Rect.w, (Boundary - Rect.x % Boundary) % Boundary);
    const int body = (Rect.w - head) / Block * Block;
    const int tail = Rect.w - head - body;
    int count = 0;
    int x = Rect.x;
    for (const int width : {head, body, tail}) {
        if (width > 0)
            Parts[count++] = SDL_Rect{x, Rect.y, width, Rect.h};
        x += width;
    }
    return count;
}

TSoftwareBand::~TSoftwareBand()
{
    if (FBandPending)
        SDL_UnlockTexture(FBand->Texture.get());
}

// The software renderer puts a vertex on the whole pixel its coordinates
// truncate to, and fills a rectangle from its top edge down to the row above
// its bottom edge and from its left edge to the column before its right
// edge, each pixel in the colour interpolated at its centre. A quad whose
// corners truncate to such a rectangle, whose top two vertices share one
// colour and whose bottom two another, is therefore a band of rows each of
// one colour: it is drawn as a rectangle fill when all four colours agree,
// else row by row. False leaves the quad to the triangle path.
bool TSoftwareBand::DrawAlignedQuad(const SDL_Vertex* Points, bool AlphaBlend)
{
    int x[4];
    int y[4];
    for (int i = 0; i < 4; ++i) {
        const SDL_FPoint& p = Points[i].position;
        if (!(std::fabs(p.x) < MaxAlignedCoordinate && std::fabs(p.y) < MaxAlignedCoordinate))
            return false;
        x[i] = static_cast<int>(p.x);
        y[i] = static_cast<int>(p.y);
    }
    // Strip order: 0 and 1 share an edge, 2 and 3 the opposite one.
    if (y[0] != y[1] || y[2] != y[3] || x[0] != x[2] || x[1] != x[3])
        return false;
    if (!SameColour(Points[0].color, Points[1].color) || !SameColour(Points[2].color, Points[3].color))
        return false;
    const bool upsideDown = y[2] < y[0];
    const SDL_Color& top = Points[upsideDown ? 2 : 0].color;
    const SDL_Color& bottom = Points[upsideDown ? 0 : 2].color;
    const int left = std::min(x[0], x[1]);
    const int right = std::max(x[0], x[1]);
    const int upper = std::min(y[0], y[2]);
    const int lower = std::max(y[0], y[2]);

    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(FRenderer, &width, &height) != 0)
        return false;
    const SDL_Rect seen{std::max(left, 0), std::max(upper, 0), std::min(right, width) - std::max(left, 0),
                        std::min(lower, height) - std::max(upper, 0)};
    if (seen.w <= 0 || seen.h <= 0)
        return true;   // flat, or wholly off the screen: no pixel to fill

    FlushBand();
    const bool batched = SameColour(top, bottom) && !AlphaBlend && SDL_BYTESPERPIXEL(FWindowFormat) == 4;
    if (!batched || !SameColour(top, FFillColour))
        FlushFills();
    if (batched) {
        SDL_Rect parts[3];
        const int count = SplitForStreamingFill(seen, parts);
        FFills.insert(FFills.end(), parts, parts + count);
        FFillColour = top;
        return true;
    }
    if (SameColour(top, bottom)) {
        SDL_SetRenderDrawColor(FRenderer, top.r, top.g, top.b, top.a);
        return SDL_RenderFillRect(FRenderer, &seen) == 0;
    }
    return FillBand(seen, lower - upper, seen.y - upper, ToArgb(top), ToArgb(bottom), AlphaBlend);
}

void TSoftwareBand::FlushFills()
{
    if (FFills.empty())
        return;
    SDL_SetRenderDrawColor(FRenderer, FFillColour.r, FFillColour.g, FFillColour.b, FFillColour.a);
    SDL_RenderFillRects(FRenderer, FFills.data(), static_cast<int>(FFills.size()));
    FFills.clear();
}

// The renderer's own blend of a graded band goes through its general
// per-pixel-alpha blit, several times slower than this: the band is read
// back, blended here a row colour at a time, and put back with one plain
// copy through a texture kept for the purpose.
bool TSoftwareBand::FillBand(const SDL_Rect& Seen, int FullHeight, int FirstRow, uint32_t Top, uint32_t Bottom,
                             bool AlphaBlend)
{
    const uint32_t format = FWindowFormat;
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888)
        return false;
    TBandTexture* slot = BandTexture(format, Seen.w, Seen.h);
    if (slot == nullptr)
        return false;
    SDL_Texture* band = slot->Texture.get();
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(band, nullptr, &pixels, &pitch) != 0)
        return false;
    const bool read = !AlphaBlend || SDL_RenderReadPixels(FRenderer, &Seen, format, pixels, pitch) == 0;
    if (read) {
        for (int row = 0; row < Seen.h; ++row) {
            auto* line =
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(row) * pitch);
            const uint32_t colour = GradientColour(Top, Bottom, FirstRow + row, FullHeight);
            if (AlphaBlend)
                BlendRow(line, Seen.w, colour);
            else
                std::fill_n(line, Seen.w, colour);
        }
    }
    if (!read) {
        SDL_UnlockTexture(band);
        return false;
    }
    FBandPending = true;
    FBand = slot;
    FBandWidth = Seen.w;
    FBandHeight = Seen.h;
    FBandX = Seen.x;
    FBandY = Seen.y;
    FBandPixels = static_cast<uint8_t*>(pixels);
    FBandPitch = pitch;
    return true;
}

void TSoftwareBand::Flush()
{
    FlushBand();
    FlushFills();
}

void TSoftwareBand::FlushBand()
{
    if (!FBandPending)
        return;
    FBandPending = false;
    SDL_Texture* band = FBand->Texture.get();
    SDL_UnlockTexture(band);
    SDL_SetTextureBlendMode(band, SDL_BLENDMODE_NONE);
    const SDL_Rect rect{FBandX, FBandY, FBandWidth, FBandHeight};
    SDL_RenderCopy(FRenderer, band, nullptr, &rect);
}

bool TSoftwareBand::BlendGlyph(const SDL_Surface& Sheet, const SDL_Rect& Source, int X, int Y, uint32_t Colour)
{
    if (!FBandPending || X < FBandX || Y < FBandY || X + Source.w > FBandX + FBandWidth ||
        Y + Source.h > FBandY + FBandHeight)
        return false;
    for (int row = 0; row < Source.h; ++row) {
        const auto* coverage = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Sheet.pixels) +
                                                                 (Source.y + row) * Sheet.pitch) +
            Source.x;
        auto* target = reinterpret_cast<uint32_t*>(FBandPixels + (Y - FBandY + row) * FBandPitch) + (X - FBandX);
        BlendCoverageRow(target, coverage, Source.w, Colour);
    }
    return true;
}

// The texture kept for bands of this size, else the one used longest ago
// made anew for it; nullptr when none can be made.
TSoftwareBand::TBandTexture* TSoftwareBand::BandTexture(uint32_t Format, int Width, int Height)
{
    TBandTexture* slot = &FBands[0];
    for (TBandTexture& band : FBands) {
        if (band.Texture && band.Format == Format && band.Width == Width && band.Height == Height) {
            slot = &band;
            break;
        }
        if (band.LastUse < slot->LastUse)
            slot = &band;
    }
    if (!(slot->Texture && slot->Format == Format && slot->Width == Width && slot->Height == Height)) {
        slot->Texture.reset(SDL_CreateTexture(FRenderer, Format, SDL_TEXTUREACCESS_STREAMING, Width, Height));
        slot->Format = Format;
        slot->Width = Width;
        slot->Height = Height;
    }
    slot->LastUse = ++FBandUses;
    return slot->Texture ? slot : nullptr;
}

}   // namespace orbel2
