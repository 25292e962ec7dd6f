// The software renderer's shortcuts, several times faster than its general
// paths and giving their pixels:
// - an upright, untextured quad in one colour, or graded from top to bottom,
//   is filled by rows instead of pixel by pixel, in one colour in parts that
//   suit SDL's fill;
// - a graded band (the console's background) stays in memory after it is
//   drawn, so that text drawn over it is blended there, and goes to the back
//   buffer with the next draw of any other kind.
// The device owns one TSoftwareBand when its renderer is the software one,
// and flushes it before every operation of its own.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace orbel2 {

// Rect's columns in up to three parts that SDL's rectangle fill writes
// without mixing streaming and plain stores in one cache line (see the
// source); returns how many.
int SplitForStreamingFill(const SDL_Rect& Rect, SDL_Rect (&Parts)[3]);

class TSoftwareBand {
public:
    TSoftwareBand(SDL_Renderer* Renderer, SDL_Window* Window)
        : FRenderer(Renderer), FWindowFormat(SDL_GetWindowPixelFormat(Window))
    {}
    ~TSoftwareBand();
    TSoftwareBand(const TSoftwareBand&) = delete;
    TSoftwareBand& operator=(const TSoftwareBand&) = delete;

    // Draws the quad (strip order, already in pixels) by rows when its
    // corners lie on the pixel grid as an upright rectangle, its top two
    // vertices share one colour and its bottom two another; false leaves it
    // to the triangle path. AlphaBlend: the render state.
    bool DrawAlignedQuad(const SDL_Vertex* Points, bool AlphaBlend);
    // Puts a band still in memory, and rectangles waiting to be filled,
    // onto the back buffer.
    void Flush();
    // Blends the glyph at Source of Sheet (ARGB8888, its alpha the glyph's
    // coverage) in Colour with its top-left corner at (X, Y), into the band
    // in memory; false, with nothing drawn, when the glyph does not lie
    // wholly within a band in memory.
    bool BlendGlyph(const SDL_Surface& Sheet, const SDL_Rect& Source, int X, int Y, uint32_t Colour);

private:
    struct TTextureDestroyer {
        void operator()(SDL_Texture* Texture) const { SDL_DestroyTexture(Texture); }
    };
    // A texture for bands of one size, kept from frame to frame.
    struct TBandTexture {
        std::unique_ptr<SDL_Texture, TTextureDestroyer> Texture;
        uint32_t Format = 0;
        int Width = 0;
        int Height = 0;
        uint64_t LastUse = 0;
    };
    bool FillBand(const SDL_Rect& Seen, int FullHeight, int FirstRow, uint32_t Top, uint32_t Bottom, bool AlphaBlend);
    void FlushBand();
    void FlushFills();
    TBandTexture* BandTexture(uint32_t Format, int Width, int Height);

    SDL_Renderer* FRenderer;
    // The window's pixel format, asked once: SDL takes long to answer it.
    uint32_t FWindowFormat;
    // Opaque rectangles of one colour drawn one after the other (the live
    // graph's columns and marks) wait here and go to the renderer as one
    // fill of many rectangles; their order among themselves cannot matter.
    std::vector<SDL_Rect> FFills;
    SDL_Color FFillColour{};
    // Two sizes of band are kept, so that two bands drawn in every frame
    // (the console's background and the bar under the live graph) do not
    // make a new texture each time.
    std::array<TBandTexture, 2> FBands;
    uint64_t FBandUses = 0;
    // While a band waits in memory: its texture, where it goes and its
    // locked pixels.
    TBandTexture* FBand = nullptr;
    int FBandWidth = 0;
    int FBandHeight = 0;
    bool FBandPending = false;
    int FBandX = 0;
    int FBandY = 0;
    uint8_t* FBandPixels = nullptr;
    int FBandPitch = 0;
};

}   // namespace orbel2
