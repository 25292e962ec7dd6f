#include "video/platform/OB_GfxDevice.h"

#include "console/OB_Logfile.h"
#include "kernel/OB_Kernel.h"
#include "video/OB_Primitive.h"
#include "video/platform/OB_GfxWindow.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_map>

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

// Sizes beyond this are refused: no display or renderer of today takes them,
// and the window system would fail in less helpful ways.
constexpr uint32_t MaxBackBufferSide = 16384;

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

bool ValidSize(const D3DPRESENT_PARAMETERS& params)
{
    return params.BackBufferWidth > 0 && params.BackBufferHeight > 0 &&
           params.BackBufferWidth <= MaxBackBufferSide && params.BackBufferHeight <= MaxBackBufferSide;
}


D3DVECTOR Subtract(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return MakeVector3D(a.x - b.x, a.y - b.y, a.z - b.z);
}

D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return MakeVector3D(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DVECTOR Normalize(const D3DVECTOR& v)
{
    const float length = std::sqrt(Dot(v, v));
    if (length == 0.0f)
        return v;
    return MakeVector3D(v.x / length, v.y / length, v.z / length);
}

} // namespace

D3DMATRIX IdentityMatrix()
{
    D3DMATRIX result{};
    for (int i = 0; i < 4; ++i)
        result.m[i][i] = 1.0f;
    return result;
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

// Left-handed look-at: the eye's axes as the columns of the rotation, the
// eye position moved to the origin in the bottom row.
D3DMATRIX OB_MatrixLookAtLH(const D3DVECTOR& Eye, const D3DVECTOR& At, const D3DVECTOR& Up)
{
    const D3DVECTOR zaxis = Normalize(Subtract(At, Eye));
    const D3DVECTOR xaxis = Normalize(Cross(Up, zaxis));
    const D3DVECTOR yaxis = Cross(zaxis, xaxis);
    D3DMATRIX m{};
    m.m[0][0] = xaxis.x; m.m[0][1] = yaxis.x; m.m[0][2] = zaxis.x;
    m.m[1][0] = xaxis.y; m.m[1][1] = yaxis.y; m.m[1][2] = zaxis.y;
    m.m[2][0] = xaxis.z; m.m[2][1] = yaxis.z; m.m[2][2] = zaxis.z;
    m.m[3][0] = -Dot(xaxis, Eye);
    m.m[3][1] = -Dot(yaxis, Eye);
    m.m[3][2] = -Dot(zaxis, Eye);
    m.m[3][3] = 1.0f;
    return m;
}

// Left-handed perspective: depth maps from [ZNear, ZFar] to [0, 1], and w
// takes the view-space z for the divide.
D3DMATRIX OB_MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar)
{
    const float yScale = 1.0f / std::tan(FovY / 2.0f);
    const float xScale = yScale / Aspect;
    D3DMATRIX m{};
    m.m[0][0] = xScale;
    m.m[1][1] = yScale;
    m.m[2][2] = ZFar / (ZFar - ZNear);
    m.m[2][3] = 1.0f;
    m.m[3][2] = -ZNear * ZFar / (ZFar - ZNear);
    return m;
}

void TGfxDevice::TTextureDestroyer::operator()(SDL_Texture* Texture) const
{
    SDL_DestroyTexture(Texture);
}

TGfxDevice::TGfxDevice(SDL_Window* Window, SDL_Renderer* Renderer)
    : FWindow(Window), FRenderer(Renderer), FView(IdentityMatrix()), FProjection(IdentityMatrix()),
      FViewProjection(IdentityMatrix())
{
    SDL_RendererInfo info{};
    FSoftware = SDL_GetRendererInfo(Renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0;
}

TGfxDevice::~TGfxDevice()
{
    auto& live = LiveTextures();
    for (auto it = live.begin(); it != live.end();)
        it = it->second == this ? live.erase(it) : std::next(it);
    if (FBandPending)
        SDL_UnlockTexture(FBand.get());
    SDL_SetRenderTarget(FRenderer, nullptr);
    FScaledBackBuffer.reset();   // textures before the renderer, which would free them with itself
    FBand.reset();
    if (FRenderer != nullptr)
        SDL_DestroyRenderer(FRenderer);
}

HRESULT TGfxDevice::Create(SDL_Window* Window, const D3DPRESENT_PARAMETERS& Params,
                           std::unique_ptr<TGfxDevice>& Device)
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
        OB_Gfx_LogError();
        return D3DERR_NOTAVAILABLE;
    }
    std::unique_ptr<TGfxDevice> device(new TGfxDevice(Window, renderer));
    if (const HRESULT hr = device->ApplyPresentParams(Params); Failed(hr))
        return hr;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    Device = std::move(device);
    return D3D_OK;
}

HRESULT TGfxDevice::ApplyPresentParams(const D3DPRESENT_PARAMETERS& Params)
{
    if (!ValidSize(Params))
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
        OB_Gfx_LogError();
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
            OB_Gfx_LogError();
            return false;
        }
        SDL_SetTextureBlendMode(FScaledBackBuffer.get(), SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(FScaledBackBuffer.get(), SDL_ScaleModeLinear);
    }
    if (SDL_SetRenderTarget(FRenderer, FScaledBackBuffer.get()) != 0) {
        OB_Gfx_LogError();
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
        OB_Gfx_LogError();
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
    const auto& m = FViewProjection.m;
    const float cx = X * m[0][0] + Y * m[1][0] + Z * m[2][0] + m[3][0];
    const float cy = X * m[0][1] + Y * m[1][1] + Z * m[2][1] + m[3][1];
    const float cw = X * m[0][3] + Y * m[1][3] + Z * m[2][3] + m[3][3];
    // A point on or behind the eye plane has no place on screen.
    if (!(cw > 1e-6f))
        return false;
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(FRenderer, &width, &height);
    PixelX = (cx / cw + 1.0f) * 0.5f * static_cast<float>(width);
    PixelY = (1.0f - cy / cw) * 0.5f * static_cast<float>(height);
    return true;
}

HRESULT TGfxDevice::DrawPrimitiveUP(uint32_t PrimitiveType, uint32_t PrimitiveCount, const TQuadVertex* Vertices)
{
    if (Vertices == nullptr || PrimitiveCount == 0 || PrimitiveCount > MaxStripPrimitives)
        return D3DERR_INVALIDCALL;
    if (FVertexFormat != OB_VERTEXFORMAT)
        return D3DERR_INVALIDCALL;
    FlushPending();

    if (PrimitiveType == D3DPT_LINESTRIP) {
        for (uint32_t i = 0; i < PrimitiveCount; ++i) {
            float x0, y0, x1, y1;
            const TQuadVertex& a = Vertices[i];
            const TQuadVertex& b = Vertices[i + 1];
            if (!TransformToPixel(a.X, a.Y, a.Z, x0, y0) || !TransformToPixel(b.X, b.Y, b.Z, x1, y1))
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
        if (!TransformToPixel(v.X, v.Y, v.Z, points[i].position.x, points[i].position.y))
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
    if (PrimitiveCount == 2 && FTexture == nullptr && FSoftware && DrawAlignedQuad(points.data()))
        return D3D_OK;
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

// The software renderer puts a vertex on the whole pixel its coordinates
// truncate to, and fills a rectangle from its top edge down to the row above
// its bottom edge and from its left edge to the column before its right
// edge, each pixel in the colour interpolated at its centre. A quad whose
// corners truncate to such a rectangle, whose top two vertices share one
// colour and whose bottom two another, is therefore a band of rows each of
// one colour: it is drawn as a rectangle fill when all four colours agree,
// else row by row. False leaves the quad to the triangle path.
bool TGfxDevice::DrawAlignedQuad(const SDL_Vertex* Points)
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

    if (SameColour(top, bottom)) {
        SDL_SetRenderDrawColor(FRenderer, top.r, top.g, top.b, top.a);
        return SDL_RenderFillRect(FRenderer, &seen) == 0;
    }
    return FillBand(seen, lower - upper, seen.y - upper, ToArgb(top), ToArgb(bottom));
}

// The renderer's own blend of a graded band goes through its general
// per-pixel-alpha blit, several times slower than this: the band is read
// back, blended here a row colour at a time, and put back with one plain
// copy through a texture kept for the purpose.
bool TGfxDevice::FillBand(const SDL_Rect& Seen, int FullHeight, int FirstRow, uint32_t Top, uint32_t Bottom)
{
    const uint32_t format = SDL_GetWindowPixelFormat(FWindow);
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888)
        return false;
    SDL_Texture* band = BandTexture(format, Seen.w, Seen.h);
    if (band == nullptr)
        return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(band, nullptr, &pixels, &pitch) != 0)
        return false;
    const bool read = !FAlphaBlend || SDL_RenderReadPixels(FRenderer, &Seen, format, pixels, pitch) == 0;
    if (read) {
        for (int row = 0; row < Seen.h; ++row) {
            auto* line = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(row) * pitch);
            const uint32_t colour = GradientColour(Top, Bottom, FirstRow + row, FullHeight);
            if (FAlphaBlend)
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
    FBandX = Seen.x;
    FBandY = Seen.y;
    FBandPixels = static_cast<uint8_t*>(pixels);
    FBandPitch = pitch;
    return true;
}

void TGfxDevice::FlushPending()
{
    if (!FBandPending)
        return;
    FBandPending = false;
    SDL_UnlockTexture(FBand.get());
    SDL_SetTextureBlendMode(FBand.get(), SDL_BLENDMODE_NONE);
    const SDL_Rect rect{FBandX, FBandY, FBandWidth, FBandHeight};
    SDL_RenderCopy(FRenderer, FBand.get(), nullptr, &rect);
}

namespace {

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
        const uint32_t redBlue =
            ((sourceRedBlue * alpha >> 8) & LowBytes) + (((d & LowBytes) * keep >> 8) & LowBytes);
        const uint32_t alphaGreen =
            ((sourceAlphaGreen * alpha >> 8) & LowBytes) + ((((d >> 8) & LowBytes) * keep >> 8) & LowBytes);
        const uint32_t blended = redBlue | alphaGreen << 8;
        Pixels[i] = alpha == 255 ? opaqueColour : (alpha == 0 ? d : blended);
    }
}

} // namespace

bool TGfxDevice::BlendGlyph(const SDL_Surface& Sheet, const SDL_Rect& Source, int X, int Y, uint32_t Colour)
{
    if (!FBandPending || X < FBandX || Y < FBandY || X + Source.w > FBandX + FBandWidth ||
        Y + Source.h > FBandY + FBandHeight)
        return false;
    for (int row = 0; row < Source.h; ++row) {
        const auto* coverage = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Sheet.pixels) +
                                                                  (Source.y + row) * Sheet.pitch) + Source.x;
        auto* target = reinterpret_cast<uint32_t*>(FBandPixels + (Y - FBandY + row) * FBandPitch) + (X - FBandX);
        BlendCoverageRow(target, coverage, Source.w, Colour);
    }
    return true;
}

SDL_Texture* TGfxDevice::BandTexture(uint32_t Format, int Width, int Height)
{
    if (FBand && FBandFormat == Format && FBandWidth == Width && FBandHeight == Height)
        return FBand.get();
    FBand.reset(SDL_CreateTexture(FRenderer, Format, SDL_TEXTUREACCESS_STREAMING, Width, Height));
    FBandFormat = Format;
    FBandWidth = Width;
    FBandHeight = Height;
    return FBand.get();
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
        OB_Gfx_LogError();
        return nullptr;
    }
    LiveTextures()[texture] = this;
    return texture;
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

SDL_Rect OB_Gfx_FitRect(int Width, int Height, int ScreenWidth, int ScreenHeight)
{
    if (Width <= 0 || Height <= 0 || ScreenWidth <= 0 || ScreenHeight <= 0)
        return SDL_Rect{0, 0, 0, 0};
    // Whichever side fills the screen first sets the scale; the other side
    // is rounded to the nearest pixel.
    const int64_t byWidth = int64_t(ScreenWidth) * Height;
    const int64_t byHeight = int64_t(ScreenHeight) * Width;
    int w = ScreenWidth;
    int h = ScreenHeight;
    if (byWidth <= byHeight)
        h = static_cast<int>((byWidth + Width / 2) / Width);
    else
        w = static_cast<int>((byHeight + Height / 2) / Height);
    return SDL_Rect{(ScreenWidth - w) / 2, (ScreenHeight - h) / 2, w, h};
}

void OB_Gfx_InjectFault(TGfxFaultPoint Point, HRESULT Code, int Times)
{
    InjectedFaults[static_cast<size_t>(Point)] = TFault{Code, Failed(Code) ? Times : 0};
}
