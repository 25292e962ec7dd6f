#include "orbel2/video/platform/OB_GfxDevice.h"

#include "orbel2/kernel/OB_Assert.h"
#include "orbel2/video/platform/OB_GfxSoftware.h"
#include "orbel2/video/platform/OB_GfxWindow.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace orbel2 {

namespace {

// Which device made each live texture: a renderer frees its textures with
// it, so a texture outliving its device must not be freed again.
// Never destroyed: textures may be freed by other units' static objects at
// exit, after this unit's statics would be gone.
std::unordered_map<SDL_Texture*, const TGfxDevice*>& LiveTextures()
{
    static auto* live = new std::unordered_map<SDL_Texture*, const TGfxDevice*>;
    return *live;
}

struct TFault {
    HRESULT Code = D3D_OK;
    int Times = 0;
};
std::array<TFault, 3> InjectedFaults{};

HRESULT TakeFault(TGfxFaultPoint point)
{
    TFault& fault = InjectedFaults[static_cast<size_t>(point)];
    if (fault.Times == 0)
        return D3D_OK;
    --fault.Times;
    return fault.Code;
}

SDL_Color ToSdlColor(uint32_t argb)
{
    return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8), static_cast<Uint8>(argb),
                     static_cast<Uint8>(argb >> 24)};
}

// Larger back buffers are refused: the window system would fail in less
// helpful ways, or first hold gigabytes for seconds.
bool ValidSize(const D3DPRESENT_PARAMETERS& params)
{
    return OB_Gfx_BackBufferFits(params.BackBufferWidth, params.BackBufferHeight, 0, 0);
}

D3DMATRIX MultiplyMatrix(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX result{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[row][k] * b.m[k][col];
            result.m[row][col] = sum;
        }
    return result;
}

}   // namespace

void TGfxDevice::TTextureDestroyer::operator()(SDL_Texture* Texture) const
{
    SDL_DestroyTexture(Texture);
}

TGfxDevice::TGfxDevice(SDL_Window* Window, SDL_Renderer* Renderer)
    : FWindow(Window), FRenderer(Renderer), FView(IdentityMatrix()), FProjection(IdentityMatrix()),
      FViewProjection(IdentityMatrix())
{
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(Renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0)
        FSoftware = std::make_unique<TSoftwareBand>(Renderer, Window);
}

TGfxDevice::~TGfxDevice()
{
    auto& live = LiveTextures();
    for (auto it = live.begin(); it != live.end();)
        it = it->second == this ? live.erase(it) : std::next(it);
    SDL_SetRenderTarget(FRenderer, nullptr);
    // Textures before the renderer, which would free them with itself.
    FScaledBackBuffer.reset();
    FSoftware.reset();
    if (FRenderer != nullptr)
        SDL_DestroyRenderer(FRenderer);
}

HRESULT TGfxDevice::Create(SDL_Window* Window, const D3DPRESENT_PARAMETERS& Params, std::unique_ptr<TGfxDevice>& Device)
{
    Device.reset();
    if (const HRESULT fault = TakeFault(TGfxFaultPoint::Create); Failed(fault))
        return fault;
    if (Window == nullptr || !ValidSize(Params))
        return D3DERR_INVALIDCALL;
    // Any driver (the accelerated ones come first, SDL_RENDER_DRIVER is
    // honoured), and the software renderer when none of them works.
    SDL_Renderer* renderer = SDL_CreateRenderer(Window, -1, 0);
    if (renderer == nullptr)
        renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer == nullptr) {
        OB_Gfx_NoteError();
        return D3DERR_NOTAVAILABLE;
    }
    std::unique_ptr<TGfxDevice> device(new TGfxDevice(Window, renderer));
    if (const HRESULT hr = device->ApplyPresentParams(Params); Failed(hr))
        return hr;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    Device = std::move(device);
    return D3D_OK;
}

bool TGfxDevice::HoldsBackBuffer(uint32_t Width, uint32_t Height) const
{
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(FRenderer, &info) != 0)
        info = SDL_RendererInfo{};
    return OB_Gfx_BackBufferFits(Width, Height, info.max_texture_width, info.max_texture_height);
}

HRESULT TGfxDevice::ApplyPresentParams(const D3DPRESENT_PARAMETERS& Params)
{
    if (!HoldsBackBuffer(Params.BackBufferWidth, Params.BackBufferHeight))
        return D3DERR_INVALIDCALL;
    const int width = static_cast<int>(Params.BackBufferWidth);
    const int height = static_cast<int>(Params.BackBufferHeight);
    const bool windowed = Params.Windowed != 0;
    // Let go of the scaled back buffer before the window changes under it.
    SDL_SetRenderTarget(FRenderer, nullptr);
    // Without a window manager nobody would make the window full screen:
    // it covers its display before it asks to be full screen.
    if (!windowed)
        OB_Gfx_CoverDisplay(FWindow);
    if (SDL_SetWindowFullscreen(FWindow, windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        OB_Gfx_NoteError();
        return D3DERR_NOTAVAILABLE;
    }
    if (windowed) {
        FScaledBackBuffer.reset();
        SDL_SetWindowSize(FWindow, width, height);
    } else if (!UseScaledBackBuffer(width, height)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    // Windowed presents wait for the vertical retrace; full screen presents
    // at once (D3DPRESENT_INTERVAL_IMMEDIATE). A renderer that cannot do
    // either keeps what it has. Without a display there is no retrace, and
    // SDL would only imitate one by sleeping.
    const bool immediate =
        Params.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE || OB_Gfx_IsHeadless();
    SDL_RenderSetVSync(FRenderer, immediate ? 0 : 1);
    return D3D_OK;
}

// The back buffer of full screen: a texture of the size asked for, in the
// window's own pixel format so that reading it back and drawing bands into
// it convert nothing, smoothed when it is scaled to the screen.
bool TGfxDevice::UseScaledBackBuffer(int Width, int Height)
{
    Uint32 format = SDL_GetWindowPixelFormat(FWindow);
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888)
        format = SDL_PIXELFORMAT_ARGB8888;
    int w = 0;
    int h = 0;
    Uint32 current = 0;
    const bool keep = FScaledBackBuffer && SDL_QueryTexture(FScaledBackBuffer.get(), &current, nullptr, &w, &h) == 0 &&
        current == format && w == Width && h == Height;
    if (!keep) {
        FScaledBackBuffer.reset(SDL_CreateTexture(FRenderer, format, SDL_TEXTUREACCESS_TARGET, Width, Height));
        if (!FScaledBackBuffer) {
            OB_Gfx_NoteError();
            return false;
        }
        SDL_SetTextureBlendMode(FScaledBackBuffer.get(), SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(FScaledBackBuffer.get(), SDL_ScaleModeLinear);
    }
    if (SDL_SetRenderTarget(FRenderer, FScaledBackBuffer.get()) != 0) {
        OB_Gfx_NoteError();
        FScaledBackBuffer.reset();
        return false;
    }
    return true;
}

HRESULT TGfxDevice::Reset(const D3DPRESENT_PARAMETERS& Params)
{
    if (const HRESULT fault = TakeFault(TGfxFaultPoint::Reset); Failed(fault))
        return fault;
    FInScene = false;
    FlushPending();
    return ApplyPresentParams(Params);
}

HRESULT TGfxDevice::GetBackBufferSize(uint32_t& Width, uint32_t& Height) const
{
    int w = 0;
    int h = 0;
    if (SDL_GetRendererOutputSize(FRenderer, &w, &h) != 0) {
        OB_Gfx_NoteError();
        return D3DERR_INVALIDCALL;
    }
    Width = static_cast<uint32_t>(w);
    Height = static_cast<uint32_t>(h);
    return D3D_OK;
}

HRESULT TGfxDevice::Clear(uint32_t Colour)
{
    FlushPending();
    const SDL_Color c = ToSdlColor(Colour);
    SDL_SetRenderDrawColor(FRenderer, c.r, c.g, c.b, c.a);
    return SDL_RenderClear(FRenderer) == 0 ? D3D_OK : E_FAIL;
}

HRESULT TGfxDevice::BeginScene()
{
    if (FInScene)
        return D3DERR_INVALIDCALL;
    FInScene = true;
    return D3D_OK;
}

HRESULT TGfxDevice::EndScene()
{
    if (!FInScene)
        return D3DERR_INVALIDCALL;
    FInScene = false;
    FlushPending();
    return D3D_OK;
}

HRESULT TGfxDevice::Present()
{
    if (const HRESULT fault = TakeFault(TGfxFaultPoint::Present); Failed(fault))
        return fault;
    FlushPending();
    if (FScaledBackBuffer)
        PresentScaled();
    else
        SDL_RenderPresent(FRenderer);
    return D3D_OK;
}

// The back buffer scaled uniformly to the largest size the screen holds,
// centred; the rest of the screen is black.
void TGfxDevice::PresentScaled()
{
    int backWidth = 0;
    int backHeight = 0;
    SDL_QueryTexture(FScaledBackBuffer.get(), nullptr, nullptr, &backWidth, &backHeight);
    SDL_SetRenderTarget(FRenderer, nullptr);
    int screenWidth = 0;
    int screenHeight = 0;
    SDL_GetRendererOutputSize(FRenderer, &screenWidth, &screenHeight);
    SDL_SetRenderDrawColor(FRenderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(FRenderer);
    const SDL_Rect shown = OB_Gfx_FitRect(backWidth, backHeight, screenWidth, screenHeight);
    SDL_RenderCopy(FRenderer, FScaledBackBuffer.get(), nullptr, &shown);
    SDL_RenderPresent(FRenderer);
    SDL_SetRenderTarget(FRenderer, FScaledBackBuffer.get());
}

HRESULT TGfxDevice::SetRenderState(uint32_t State, uint32_t Value)
{
    switch (State) {
    case D3DRS_ALPHABLENDENABLE:
        FAlphaBlend = Value != 0;
        SDL_SetRenderDrawBlendMode(FRenderer, FAlphaBlend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
        return D3D_OK;
    case D3DRS_SRCBLEND:
        FSrcBlend = Value;
        return D3D_OK;
    case D3DRS_DESTBLEND:
        FDestBlend = Value;
        return D3D_OK;
    case D3DRS_LIGHTING:
    case D3DRS_CULLMODE:
    case D3DRS_ZENABLE:
        // A 2D renderer has no lighting, culls nothing and tests no depth:
        // the states the engine sets are the only ones it can have.
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT TGfxDevice::SetTextureStageState(uint32_t Stage, uint32_t Type, uint32_t Value)
{
    // SDL always multiplies texture colour and alpha by the vertex colour,
    // which is what the engine asks for.
    if (Stage != 0 || Type != D3DTSS_ALPHAOP || Value != D3DTOP_MODULATE)
        return D3DERR_UNSUPPORTEDALPHAOPERATION;
    return D3D_OK;
}

HRESULT TGfxDevice::SetTransform(uint32_t Type, const D3DMATRIX& Matrix)
{
    if (Type == D3DTS_VIEW)
        FView = Matrix;
    else if (Type == D3DTS_PROJECTION)
        FProjection = Matrix;
    else
        return D3DERR_INVALIDCALL;
    FViewProjection = MultiplyMatrix(FView, FProjection);
    return D3D_OK;
}

HRESULT TGfxDevice::SetVertexShader(uint32_t VertexFormat)
{
    if (VertexFormat != OB_VERTEXFORMAT)
        return D3DERR_INVALIDCALL;
    FVertexFormat = VertexFormat;
    return D3D_OK;
}

HRESULT TGfxDevice::SetTexture(uint32_t Stage, SDL_Texture* Texture)
{
    if (Stage != 0)
        return D3DERR_INVALIDCALL;
    FTexture = Texture;
    return D3D_OK;
}

void TGfxDevice::ApplyBlendMode(SDL_Texture* Texture) const
{
    if (Texture != nullptr)
        SDL_SetTextureBlendMode(Texture, FAlphaBlend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
}

bool TGfxDevice::TransformToPixel(float X, float Y, float Z, float& PixelX, float& PixelY) const
{
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(FRenderer, &width, &height);
    return ProjectToPixel(X, Y, Z, width, height, PixelX, PixelY);
}

bool TGfxDevice::ProjectToPixel(float X, float Y, float Z, int Width, int Height, float& PixelX, float& PixelY) const
{
    const auto& m = FViewProjection.m;
    const float cx = X * m[0][0] + Y * m[1][0] + Z * m[2][0] + m[3][0];
    const float cy = X * m[0][1] + Y * m[1][1] + Z * m[2][1] + m[3][1];
    const float cw = X * m[0][3] + Y * m[1][3] + Z * m[2][3] + m[3][3];
    // A point on or behind the eye plane has no place on screen.
    if (!(cw > 1e-6f))
        return false;
    PixelX = (cx / cw + 1.0f) * 0.5f * static_cast<float>(Width);
    PixelY = (1.0f - cy / cw) * 0.5f * static_cast<float>(Height);
    return true;
}

HRESULT TGfxDevice::DrawPrimitiveUP(uint32_t PrimitiveType, uint32_t PrimitiveCount, const TQuadVertex* Vertices)
{
    OB_ASSERT(Vertices != nullptr && PrimitiveCount >= 1 && PrimitiveCount <= MaxStripPrimitives);
    if (Vertices == nullptr || PrimitiveCount == 0 || PrimitiveCount > MaxStripPrimitives)
        return D3DERR_INVALIDCALL;
    if (FVertexFormat != OB_VERTEXFORMAT)
        return D3DERR_INVALIDCALL;
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(FRenderer, &width, &height);

    if (PrimitiveType == D3DPT_LINESTRIP) {
        FlushPending();
        for (uint32_t i = 0; i < PrimitiveCount; ++i) {
            float x0, y0, x1, y1;
            const TQuadVertex& a = Vertices[i];
            const TQuadVertex& b = Vertices[i + 1];
            if (!ProjectToPixel(a.X, a.Y, a.Z, width, height, x0, y0) ||
                !ProjectToPixel(b.X, b.Y, b.Z, width, height, x1, y1))
                continue;
            const SDL_Color c = ToSdlColor(a.Diffuse);
            SDL_SetRenderDrawColor(FRenderer, c.r, c.g, c.b, c.a);
            SDL_RenderDrawLineF(FRenderer, x0, y0, x1, y1);
        }
        return D3D_OK;
    }
    if (PrimitiveType != D3DPT_TRIANGLESTRIP)
        return D3DERR_INVALIDCALL;

    const uint32_t vertexCount = PrimitiveCount + 2;
    std::array<SDL_Vertex, MaxStripPrimitives + 2> points;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const TQuadVertex& v = Vertices[i];
        if (!ProjectToPixel(v.X, v.Y, v.Z, width, height, points[i].position.x, points[i].position.y))
            return D3D_OK;   // part of the strip is behind the eye: nothing sensible to draw
        points[i].color = ToSdlColor(v.Diffuse);
        points[i].tex_coord = SDL_FPoint{v.U, v.V};
    }
    // Strip triangle i is (i, i+1, i+2), every second one with two corners
    // swapped so all keep the strip's winding: a quad gives 0,1,2 and 1,3,2.
    std::array<int, MaxStripPrimitives * 3> indices;
    for (uint32_t i = 0; i < PrimitiveCount; ++i) {
        const int first = static_cast<int>(i);
        const bool odd = (i % 2) != 0;
        indices[i * 3] = first;
        indices[i * 3 + 1] = odd ? first + 2 : first + 1;
        indices[i * 3 + 2] = odd ? first + 1 : first + 2;
    }
    // The software shortcuts put what waits in memory first themselves.
    if (PrimitiveCount == 2 && FTexture == nullptr && FSoftware &&
        FSoftware->DrawAlignedQuad(points.data(), FAlphaBlend))
        return D3D_OK;
    FlushPending();
    ApplyBlendMode(FTexture);
    // Blending an opaque untextured shape changes nothing, but the software
    // renderer would still fill it into a scratch surface and blend that in.
    const bool opaque = FTexture == nullptr && FAlphaBlend &&
        std::all_of(points.begin(), points.begin() + vertexCount,
                    [](const SDL_Vertex& p) { return p.color.a == SDL_ALPHA_OPAQUE; });
    if (opaque)
        SDL_SetRenderDrawBlendMode(FRenderer, SDL_BLENDMODE_NONE);
    const int result = SDL_RenderGeometry(FRenderer, FTexture, points.data(), static_cast<int>(vertexCount),
                                          indices.data(), static_cast<int>(PrimitiveCount * 3));
    if (opaque)
        SDL_SetRenderDrawBlendMode(FRenderer, SDL_BLENDMODE_BLEND);
    return result == 0 ? D3D_OK : E_FAIL;
}

void TGfxDevice::FlushPending()
{
    if (FSoftware)
        FSoftware->Flush();
}

bool TGfxDevice::BlendGlyph(const SDL_Surface& Sheet, const SDL_Rect& Source, int X, int Y, uint32_t Colour)
{
    return FSoftware && FSoftware->BlendGlyph(Sheet, Source, X, Y, Colour);
}

bool TGfxDevice::ReadPixels(int X, int Y, int Width, int Height, std::vector<uint32_t>& Argb)
{
    if (Width <= 0 || Height <= 0)
        return false;
    FlushPending();
    Argb.assign(static_cast<size_t>(Width) * static_cast<size_t>(Height), 0);
    const SDL_Rect rect{X, Y, Width, Height};
    return SDL_RenderReadPixels(FRenderer, &rect, SDL_PIXELFORMAT_ARGB8888, Argb.data(), Width * 4) == 0;
}

SDL_Texture* TGfxDevice::CreateTextureFromSurface(SDL_Surface* Surface)
{
    if (Surface == nullptr)
        return nullptr;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(FRenderer, Surface);
    if (texture == nullptr) {
        OB_Gfx_NoteError();
        return nullptr;
    }
    LiveTextures()[texture] = this;
    return texture;
}

void OB_Gfx_GetAdapterIdentifier(const TGfxDevice* Device, D3DADAPTER_IDENTIFIER8& Identifier)
{
    SDL_RendererInfo info{};
    const bool known = Device != nullptr ? SDL_GetRendererInfo(Device->Renderer(), &info) == 0
                                         : SDL_GetRenderDriverInfo(0, &info) == 0;
    Identifier.Description = known && info.name != nullptr ? info.name : "";
    const char* driver = SDL_GetCurrentVideoDriver();
    Identifier.Driver = driver != nullptr ? driver : "";
    SDL_version version{};
    SDL_GetVersion(&version);
    Identifier.DriverVersion =
        (uint64_t(version.major) << 48) | (uint64_t(version.minor) << 32) | (uint64_t(version.patch) << 16);
    Identifier.VendorId = 0;
    Identifier.DeviceId = 0;
}

void OB_Gfx_DestroyTexture(SDL_Texture* Texture)
{
    auto& live = LiveTextures();
    const auto it = live.find(Texture);
    if (it == live.end())
        return;
    live.erase(it);
    SDL_DestroyTexture(Texture);
}

void OB_Gfx_InjectFault(TGfxFaultPoint Point, HRESULT Code, int Times)
{
    InjectedFaults[static_cast<size_t>(Point)] = TFault{Code, Failed(Code) ? Times : 0};
}

}   // namespace orbel2
