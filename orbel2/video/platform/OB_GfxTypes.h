// The Direct3D-shaped words the platform layer speaks to the engine: result
// codes (negative on failure), render and texture-stage states, vertex and
// back-buffer formats, and the records of a mode and of the adapter.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Window;

namespace orbel2 {

using HRESULT = int32_t;

constexpr HRESULT MakeResult(uint32_t code)
{
    return static_cast<HRESULT>(code);
}

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

constexpr bool Failed(HRESULT hr)
{
    return hr < 0;
}

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
constexpr uint32_t OB_VERTEXFORMAT = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;   // 142 hex

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

}   // namespace orbel2
