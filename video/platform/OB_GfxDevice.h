// The graphics device: an SDL renderer on the device window, seen by the
// engine through the few Direct3D-shaped operations it draws with (render
// and texture-stage states, view and projection transforms, drawing the
// 24-byte vertices straight from the caller's memory). Failures come back
// as Direct3D result codes so the device wrapper can name them.
//
// On the software renderer an untextured quad that lands axis-aligned on the
// pixel grid, in one colour or graded from top to bottom, is filled by rows
// instead of pixel by pixel; the pixels are those the triangle path gives.
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

#include "physics/D3DValues.h"

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
struct TQuadVertex;

using HRESULT = int32_t;

constexpr HRESULT MakeResult(uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT E_FAIL = MakeResult(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeResult(0x8876017C);
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeResult(0x88760818);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MakeResult(0x88760819);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = MakeResult(0x8876081A);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MakeResult(0x8876081B);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = MakeResult(0x8876081C);
constexpr HRESULT D3DERR_TOOMANYOPERATIONS = MakeResult(0x8876081D);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = MakeResult(0x8876081E);
constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = MakeResult(0x8876081F);
constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = MakeResult(0x88760821);
constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeResult(0x88760822);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = MakeResult(0x88760826);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeResult(0x88760827);
constexpr HRESULT D3DERR_NOTFOUND = MakeResult(0x88760866);
constexpr HRESULT D3DERR_MOREDATA = MakeResult(0x88760867);
constexpr HRESULT D3DERR_DEVICELOST = MakeResult(0x88760868);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeResult(0x88760869);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeResult(0x8876086A);
constexpr HRESULT D3DERR_INVALIDDEVICE = MakeResult(0x8876086B);
constexpr HRESULT D3DERR_INVALIDCALL = MakeResult(0x8876086C);

constexpr bool Failed(HRESULT hr) { return hr < 0; }

// Render states and their values.
constexpr uint32_t D3DRS_ZENABLE = 7;
constexpr uint32_t D3DRS_SRCBLEND = 19;
constexpr uint32_t D3DRS_DESTBLEND = 20;
constexpr uint32_t D3DRS_CULLMODE = 22;
constexpr uint32_t D3DRS_ALPHABLENDENABLE = 27;
constexpr uint32_t D3DRS_LIGHTING = 137;
constexpr uint32_t D3DZB_FALSE = 0;
constexpr uint32_t D3DCULL_NONE = 1;
constexpr uint32_t D3DBLEND_SRCALPHA = 5;
constexpr uint32_t D3DBLEND_INVSRCALPHA = 6;

// Texture-stage states.
constexpr uint32_t D3DTSS_ALPHAOP = 4;
constexpr uint32_t D3DTOP_MODULATE = 4;

// Transforms, primitives, clearing, vertex format.
constexpr uint32_t D3DTS_VIEW = 2;
constexpr uint32_t D3DTS_PROJECTION = 3;
constexpr uint32_t D3DPT_LINESTRIP = 3;
constexpr uint32_t D3DPT_TRIANGLESTRIP = 5;
constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DFVF_XYZ = 0x002;
constexpr uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr uint32_t D3DFVF_TEX1 = 0x100;
constexpr uint32_t OB_VERTEXFORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 142 hex

// Back-buffer and depth formats.
constexpr uint32_t D3DFMT_UNKNOWN = 0;
constexpr uint32_t D3DFMT_A8R8G8B8 = 21;
constexpr uint32_t D3DFMT_X8R8G8B8 = 22;
constexpr uint32_t D3DFMT_R5G6B5 = 23;
constexpr uint32_t D3DFMT_X1R5G5B5 = 24;
constexpr uint32_t D3DFMT_D16 = 80;
constexpr uint32_t D3DSWAPEFFECT_FLIP = 2;
constexpr uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
constexpr uint32_t D3DRTYPE_SURFACE = 1;
constexpr uint32_t D3DUSAGE_RENDERTARGET = 1;

// Row-vector convention: a point p becomes p * M.
struct D3DMATRIX {
    float m[4][4];
};

D3DMATRIX IdentityMatrix();
D3DMATRIX MultiplyMatrix(const D3DMATRIX& a, const D3DMATRIX& b);
// The camera's matrices, left-handed: a view from Eye toward At with Up, and
// a perspective whose vertical field of view is FovY radians.
D3DMATRIX OB_MatrixLookAtLH(const D3DVECTOR& Eye, const D3DVECTOR& At, const D3DVECTOR& Up);
D3DMATRIX OB_MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar);

struct D3DPRESENT_PARAMETERS {
    uint32_t BackBufferWidth = 0;
    uint32_t BackBufferHeight = 0;
    uint32_t BackBufferFormat = 0;
    uint32_t BackBufferCount = 0;
    uint32_t MultiSampleType = 0;
    uint32_t SwapEffect = 0;
    SDL_Window* hDeviceWindow = nullptr;
    uint32_t Windowed = 0;   // FFFFFFFF hex when windowed
    uint32_t EnableAutoDepthStencil = 0;
    uint32_t AutoDepthStencilFormat = 0;
    uint32_t Flags = 0;
    uint32_t FullScreen_RefreshRateInHz = 0;
    uint32_t FullScreen_PresentationInterval = 0;
};

struct D3DDISPLAYMODE {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t RefreshRate = 0;
    uint32_t Format = 0;
};

struct D3DADAPTER_IDENTIFIER8 {
    std::string Driver;
    std::string Description;
    uint64_t DriverVersion = 0;   // major.minor.patch.0 in four 16-bit fields
    uint32_t VendorId = 0;
    uint32_t DeviceId = 0;
};

class TGfxDevice {
public:
    // A renderer on Window (accelerated when it can be, else software) set
    // up for Params. The window must outlive the device.
    static HRESULT Create(SDL_Window* Window, const D3DPRESENT_PARAMETERS& Params,
                          std::unique_ptr<TGfxDevice>& Device);
    ~TGfxDevice();
    TGfxDevice(const TGfxDevice&) = delete;
    TGfxDevice& operator=(const TGfxDevice&) = delete;

    SDL_Renderer* Renderer() const { return FRenderer; }
    SDL_Window* Window() const { return FWindow; }

    // Keeps the renderer: resizes the window, switches full screen on or
    // off and sets the presentation interval.
    HRESULT Reset(const D3DPRESENT_PARAMETERS& Params);
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
    void PresentScaled();
    bool DrawAlignedQuad(const SDL_Vertex* Points);
    bool FillBand(const SDL_Rect& Seen, int FullHeight, int FirstRow, uint32_t Top, uint32_t Bottom);
    SDL_Texture* BandTexture(uint32_t Format, int Width, int Height);

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
    bool FSoftware = false;
    // Full screen: the back buffer, drawn into and shown scaled at Present.
    TTexturePtr FScaledBackBuffer;
    // The pixels of the last graded band, kept for the next frame's.
    TTexturePtr FBand;
    uint32_t FBandFormat = 0;
    int FBandWidth = 0;
    int FBandHeight = 0;
    // While a band waits in memory: where it goes and its locked pixels.
    bool FBandPending = false;
    int FBandX = 0;
    int FBandY = 0;
    uint8_t* FBandPixels = nullptr;
    int FBandPitch = 0;
};

// Where a Width x Height picture goes on a ScreenWidth x ScreenHeight
// screen when scaled uniformly to fit and centred.
SDL_Rect OB_Gfx_FitRect(int Width, int Height, int ScreenWidth, int ScreenHeight);

// Frees a texture made by a TGfxDevice. Harmless for nullptr and for a
// texture whose device is gone (the renderer already freed it).
void OB_Gfx_DestroyTexture(SDL_Texture* Texture);

// A failure for the next Times calls of Create, Reset or Present of any
// device, so tests can see how the engine meets a failing device. D3D_OK
// clears it.
enum class TGfxFaultPoint { Create, Reset, Present };
void OB_Gfx_InjectFault(TGfxFaultPoint Point, HRESULT Code, int Times = 1);
