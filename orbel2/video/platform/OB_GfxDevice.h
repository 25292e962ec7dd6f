// The graphics device: an SDL renderer on the device window, seen by the
// engine through the few Direct3D-shaped operations it draws with (render
// and texture-stage states, view and projection transforms, drawing the
// 24-byte vertices straight from the caller's memory). Failures come back
// as Direct3D result codes so the device wrapper can name them.
//
// On the software renderer the shortcuts of OB_GfxSoftware fill upright
// quads by rows and blend text into the console's band while it is still in
// memory.
//
// In full screen the window fills the desktop and the back buffer keeps the
// size asked for: it is a texture of that size, shown at Present scaled
// uniformly to fit the screen, centred, with black bars where the aspects
// differ. The monitor's own mode is never changed. The engine only ever
// sees the back buffer it asked for.
//
// Texture handles are SDL_Texture* (nullptr: no texture). A renderer frees
// its textures when it goes, so free a texture with OB_Gfx_DestroyTexture,
// which knows whether its device still exists; never SDL_DestroyTexture.
#pragma once

#include "orbel2/kernel/OB_GfxRecords.h"
#include "orbel2/video/platform/OB_GfxTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;
struct SDL_Surface;
struct SDL_Vertex;
struct SDL_Rect;

namespace orbel2 {

class TSoftwareBand;

class TGfxDevice {
public:
    // A renderer on Window (accelerated when it can be, else software) set
    // up for Params. The window must outlive the device.
    static HRESULT Create(SDL_Window* Window, const D3DPRESENT_PARAMETERS& Params, std::unique_ptr<TGfxDevice>& Device);
    ~TGfxDevice();
    TGfxDevice(const TGfxDevice&) = delete;
    TGfxDevice& operator=(const TGfxDevice&) = delete;

    SDL_Renderer* Renderer() const { return FRenderer; }
    SDL_Window* Window() const { return FWindow; }

    // Keeps the renderer: resizes the window, switches full screen on or
    // off and sets the presentation interval.
    HRESULT Reset(const D3DPRESENT_PARAMETERS& Params);
    // Whether this renderer can have a back buffer of that size
    // (OB_Gfx_BackBufferFits with its largest texture).
    bool HoldsBackBuffer(uint32_t Width, uint32_t Height) const;
    // The back buffer's real size in pixels (in full screen the size asked
    // for, not the screen's).
    HRESULT GetBackBufferSize(uint32_t& Width, uint32_t& Height) const;

    HRESULT Clear(uint32_t Colour);
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Present();

    HRESULT SetRenderState(uint32_t State, uint32_t Value);
    HRESULT SetTextureStageState(uint32_t Stage, uint32_t Type, uint32_t Value);
    HRESULT SetTransform(uint32_t Type, const D3DMATRIX& Matrix);
    HRESULT SetVertexShader(uint32_t VertexFormat);
    HRESULT SetTexture(uint32_t Stage, SDL_Texture* Texture);
    // Triangle strips of at most MaxStripPrimitives triangles and line strips
    // of at most MaxStripPrimitives lines, from 24-byte vertices.
    HRESULT DrawPrimitiveUP(uint32_t PrimitiveType, uint32_t PrimitiveCount, const TQuadVertex* Vertices);

    static constexpr uint32_t MaxStripPrimitives = 62;

    bool AlphaBlendEnabled() const { return FAlphaBlend; }
    // Gives Texture the blend mode that the render states ask for; drawing
    // through this device does it itself, direct SDL draws must call it.
    void ApplyBlendMode(SDL_Texture* Texture) const;
    // Where a virtual point lands in back-buffer pixels under the current
    // view and projection; false when it lies behind the eye.
    bool TransformToPixel(float X, float Y, float Z, float& PixelX, float& PixelY) const;

    // Reads back-buffer pixels as ARGB, row by row (for tests and
    // screenshots); false when the renderer cannot.
    bool ReadPixels(int X, int Y, int Width, int Height, std::vector<uint32_t>& Argb);

    // On the software renderer a graded band stays in memory after it is
    // drawn, so that text drawn over it can be blended there too, and goes
    // to the back buffer with the next draw of any other kind (every
    // operation of this device flushes it first). Whoever draws on the
    // renderer directly must flush first.
    void FlushPending();
    // Blends the glyph at Source of Sheet (ARGB8888, its alpha the glyph's
    // coverage) in Colour with its top-left corner at (X, Y), into the band
    // in memory; false, with nothing drawn, when the glyph does not lie
    // wholly within a band in memory. The result is the renderer's own blend
    // of the glyph tinted by Colour.
    bool BlendGlyph(const SDL_Surface& Sheet, const SDL_Rect& Source, int X, int Y, uint32_t Colour);

    // Textures of this device. Creation gives nullptr on failure.
    SDL_Texture* CreateTextureFromSurface(SDL_Surface* Surface);

private:
    struct TTextureDestroyer {
        void operator()(SDL_Texture* Texture) const;
    };
    using TTexturePtr = std::unique_ptr<SDL_Texture, TTextureDestroyer>;
    TGfxDevice(SDL_Window* Window, SDL_Renderer* Renderer);
    HRESULT ApplyPresentParams(const D3DPRESENT_PARAMETERS& Params);
    bool UseScaledBackBuffer(int Width, int Height);
    // TransformToPixel on a back buffer of Width x Height pixels.
    bool ProjectToPixel(float X, float Y, float Z, int Width, int Height, float& PixelX, float& PixelY) const;
    void PresentScaled();

    SDL_Window* FWindow = nullptr;
    SDL_Renderer* FRenderer = nullptr;
    bool FAlphaBlend = false;
    uint32_t FSrcBlend = D3DBLEND_SRCALPHA;
    uint32_t FDestBlend = D3DBLEND_INVSRCALPHA;
    uint32_t FVertexFormat = OB_VERTEXFORMAT;
    SDL_Texture* FTexture = nullptr;
    D3DMATRIX FView;
    D3DMATRIX FProjection;
    D3DMATRIX FViewProjection;
    bool FInScene = false;
    // Full screen: the back buffer, drawn into and shown scaled at Present.
    TTexturePtr FScaledBackBuffer;
    // The software renderer's shortcuts; none on other renderers.
    std::unique_ptr<TSoftwareBand> FSoftware;
};

// Renderer name (of Device, or of the first render driver when there is
// none yet), video driver and SDL's version.
void OB_Gfx_GetAdapterIdentifier(const TGfxDevice* Device, D3DADAPTER_IDENTIFIER8& Identifier);

// Frees a texture made by a TGfxDevice. Harmless for nullptr and for a
// texture whose device is gone (the renderer already freed it).
void OB_Gfx_DestroyTexture(SDL_Texture* Texture);

// A failure for the next Times calls of Create, Reset or Present of any
// device, so tests can see how the engine meets a failing device. D3D_OK
// clears it.
enum class TGfxFaultPoint { Create, Reset, Present };
void OB_Gfx_InjectFault(TGfxFaultPoint Point, HRESULT Code, int Times = 1);

}   // namespace orbel2
