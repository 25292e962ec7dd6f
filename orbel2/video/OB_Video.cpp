#include "orbel2/video/OB_Video.h"

#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_FrameTimer.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/physics/D3DValues.h"
#include "orbel2/video/Dx8gfx.h"
#include "orbel2/video/OB_Matrices.h"
#include "orbel2/video/OB_PlatformErrors.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace orbel2 {

OB_TVideoInfo OB_VideoInfo;

namespace {

float ViewWidth = 0.0f;
float ViewHeight = 0.0f;
float ViewAspect = 0.0f;
// Whether a device was ever opened: the creation is announced once, even
// when a closed device is opened again.
bool DeviceAnnounced = false;

}   // namespace

namespace {

// A mode no device can have is refused while the present one still draws,
// before its loss is announced: nothing is lost, nothing to restore.
void RefuseImpossibleMode(int32_t Width, int32_t Height, int32_t BitsPerPixel, TD3D8Mode Mode, bool DepthBuffer)
{
    TD3D8* d3d = FindD3D8();
    if (d3d != nullptr && d3d->Device() != nullptr &&
        !d3d->CanSetMode(Width, Height, BitsPerPixel, Mode, DepthBuffer, 0))
        throw ED3D8Error("Error creating device parameters");
}

// After a failed open that left the previous device drawing in its previous
// mode, whatever let go of the device on its loss takes it back.
void AnnounceSurvivingDevice()
{
    TD3D8* d3d = FindD3D8();
    if (d3d == nullptr || !d3d->DeviceUsable() || OB_VideoInfo.Device != d3d->Device())
        return;
    OB_VideoInfo.BackBuffer = OB_VideoInfo.Device->Renderer();
    OB_SendMessage(MSG_VIDEODEVICERESET, nullptr, 0);
}

}   // namespace

void OB_Video_SetWindowTitle(const std::string& Title, const std::string& X11Class)
{
    OB_Gfx_SetWindowIdentity(OB_VideoInfo.Window, Title, X11Class);
}

void OB_Video_Open(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, bool FullScreen,
                   bool DepthBuffer, float Aspect)
{
    LogWriteLine("(Re)Opening video device: " + std::to_string(Width) + "x" + std::to_string(Height) + "x" +
                 std::to_string(BitsPerPixel));
    bool lossAnnounced = false;
    try {
        const TD3D8Mode mode = FullScreen ? TD3D8Mode::dmFullScreen : TD3D8Mode::dmWindowed;
        RefuseImpossibleMode(Width, Height, BitsPerPixel, mode, DepthBuffer);
        const bool hadDevice = OB_VideoInfo.Device != nullptr || DeviceAnnounced;
        OB_VideoInfo.BackBuffer = nullptr;
        lossAnnounced = true;
        OB_SendMessage(MSG_VIDEODEVICELOST, nullptr, 0);

        TD3D8& d3d = GetD3D8();
        TGfxDevice* created = nullptr;
        d3d.InitDevice(Window, Width, Height, BitsPerPixel, mode, DepthBuffer, 0, created);
        d3d.ShowAttachedWindow(true);

        TGfxDevice* device = d3d.Device();
        uint32_t pixelsWide = 0;
        uint32_t pixelsHigh = 0;
        if (const HRESULT hr = device->GetBackBufferSize(pixelsWide, pixelsHigh); Failed(hr))
            throw ED3D8Error::CreateHR(hr, OB_LogPlatformError());
        // The renderer's own target stands for the back buffer.
        OB_VideoInfo.BackBuffer = device->Renderer();
        OB_VideoInfo.BackBufferDesc = D3DSURFACE_DESC{};
        OB_VideoInfo.BackBufferDesc.Format = d3d.PresentParams().BackBufferFormat;
        OB_VideoInfo.BackBufferDesc.Type = D3DRTYPE_SURFACE;
        OB_VideoInfo.BackBufferDesc.Usage = D3DUSAGE_RENDERTARGET;
        OB_VideoInfo.BackBufferDesc.Size = pixelsWide * pixelsHigh * 4;
        OB_VideoInfo.BackBufferDesc.Width = pixelsWide;
        OB_VideoInfo.BackBufferDesc.Height = pixelsHigh;
        OB_VideoInfo.Device = device;

        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);

        OB_VideoInfo.Window = d3d.Window();
        OB_VideoInfo.FrameTime = 0;
        OB_VideoInfo.FPS = 0;
        OB_Kernel_ClearFrameStatistics();
        OB_VideoInfo.Opened = true;
        OB_VideoInfo.Aspect = Aspect;

        OB_Video_SetView(0, 0, 0);
        OB_Video_SetVertexFormat();
        OB_Video_Clear(0);
        OB_VideoInfo.FullScreen = FullScreen;

        DeviceAnnounced = true;
        if (!hadDevice)
            OB_SendMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0);
        OB_SendMessage(MSG_VIDEODEVICERESET, nullptr, 0);
    } catch (const ED3D8Error& error) {
        LogWriteLine("Error opening video device: " + error.Message);
        if (lossAnnounced)
            AnnounceSurvivingDevice();
        throw OB_EVideoError("OB_Video_Open: " + error.Message, error.Reason);
    }
}

void OB_Video_Close()
{
    if (TD3D8* d3d = FindD3D8())
        d3d->CloseDevice();
    // The device and its window are gone: nothing may reach them through
    // the record any more.
    OB_VideoInfo.Device = nullptr;
    OB_VideoInfo.BackBuffer = nullptr;
    OB_VideoInfo.Window = nullptr;
}

bool OB_Video_PumpMessage(TMsg& Msg, bool& Quit)
{
    Quit = false;
    TD3D8* d3d = FindD3D8();
    if (d3d == nullptr)
        return false;
    bool got = false;
    Quit = !d3d->PumpMessage(Msg, got);
    return got;
}

bool OB_Video_HasFocus()
{
    return OB_Gfx_HasKeyboardFocus(OB_VideoInfo.Window);
}

void OB_Video_SetVirtualSize(float Width, float Height, float Aspect)
{
    OB_VideoInfo.Width = Width;
    OB_VideoInfo.Height = Height;
    OB_VideoInfo.Aspect = Aspect != 0 ? Aspect : Width / Height;
    OB_Video_SetView(0, 0, 0);
}

void OB_Video_SetView(float Width, float Height, float Aspect)
{
    if (Width == 0)
        Width = OB_VideoInfo.Width;
    if (Height == 0)
        Height = OB_VideoInfo.Height;
    if (Aspect == 0)
        Aspect = OB_VideoInfo.Aspect;
    ViewWidth = Width;
    ViewHeight = Height;
    ViewAspect = Aspect != 0 ? Aspect : ViewWidth / ViewHeight;

    TGfxDevice* device = OB_VideoInfo.Device;
    if (device == nullptr)
        return;
    // A view with no extent (no virtual size set yet, or one of no size,
    // negative or not finite, or of an aspect no back buffer has) has no
    // camera: nothing drawn in it is seen.
    // A projection of zeros puts every point at w = 0, which the device
    // does not draw, instead of filling the matrices with infinities and NaNs.
    const bool usable = std::isfinite(ViewWidth) && std::isfinite(ViewHeight) && ViewWidth > 0 && ViewHeight > 0 &&
        OB_Video_AspectUsable(ViewAspect);
    if (!usable) {
        device->SetTransform(D3DTS_VIEW, IdentityMatrix());
        device->SetTransform(D3DTS_PROJECTION, D3DMATRIX{});
        return;
    }
    const float fov = 3.1415927f / 4.0f;
    // From this distance the vertical field of view covers exactly the
    // view's height; Up along -y makes y grow downward on screen.
    const float distance = (ViewHeight / 2.0f) / std::tan(fov / 2.0f);
    const D3DVECTOR eye = MakeVector3D(ViewWidth / 2.0f, ViewHeight / 2.0f, distance);
    const D3DVECTOR at = MakeVector3D(ViewWidth / 2.0f, ViewHeight / 2.0f, 0.0f);
    const D3DVECTOR up = MakeVector3D(0.0f, -1.0f, 0.0f);
    device->SetTransform(D3DTS_VIEW, OB_MatrixLookAtLH(eye, at, up));
    device->SetTransform(D3DTS_PROJECTION, OB_MatrixPerspectiveFovLH(fov, ViewAspect, 0.1f, ViewWidth * 2.0f));
}

bool OB_Video_AspectUsable(float Aspect)
{
    constexpr float Widest = 16384.0f;
    return Aspect >= 1.0f / Widest && Aspect <= Widest;
}

namespace {

// Round half to even (the default rounding mode); a view with no extent or
// a result beyond 64 bits gives 0 instead of an undefined conversion.
int64_t ToPixel(uint32_t Pixels, float Value, float ViewSize)
{
    if (ViewSize == 0)
        return 0;
    const double exact = static_cast<double>(Pixels) * static_cast<double>(Value) / static_cast<double>(ViewSize);
    const double rounded = std::nearbyint(exact);
    if (!(std::fabs(rounded) < 9.2e18))
        return 0;
    return static_cast<int64_t>(rounded);
}

}   // namespace

int64_t OB_Video_ToPixelX(float X)
{
    return ToPixel(OB_VideoInfo.BackBufferDesc.Width, X, ViewWidth);
}

int64_t OB_Video_ToPixelY(float Y)
{
    return ToPixel(OB_VideoInfo.BackBufferDesc.Height, Y, ViewHeight);
}

void OB_Video_SetVertexFormat()
{
    if (TGfxDevice* device = OB_VideoInfo.Device)
        device->SetVertexShader(OB_VERTEXFORMAT);
}

void OB_Video_Clear(uint32_t Colour)
{
    if (TGfxDevice* device = OB_VideoInfo.Device)
        device->Clear(Colour);
}

void OB_Video_BeginScene()
{
    if (TGfxDevice* device = OB_VideoInfo.Device)
        device->BeginScene();
}

void OB_Video_EndScene()
{
    if (TGfxDevice* device = OB_VideoInfo.Device)
        device->EndScene();
}

void OB_Video_Present(bool UpdateTimer)
{
    TGfxDevice* device = OB_VideoInfo.Device;
    // No device means no frame reached the screen: that is a failed present.
    const HRESULT hr = device != nullptr ? device->Present() : D3DERR_INVALIDCALL;
    if (Failed(hr))
        OB_SendMessage(MSGID_FATALERROR, nullptr, 0);
    if (!UpdateTimer)
        return;
    OB_Kernel_UpdateTimer();
    OB_VideoInfo.FPS = OB_Kernel_FPS();
    OB_VideoInfo.FrameTime = OB_Kernel_FrameTime();
}

void OB_Video_GetInfoLines(std::vector<std::string>& Lines)
{
    D3DADAPTER_IDENTIFIER8 id;
    OB_Gfx_GetAdapterIdentifier(OB_VideoInfo.Device, id);
    const uint32_t high = static_cast<uint32_t>(id.DriverVersion >> 32);
    const uint32_t low = static_cast<uint32_t>(id.DriverVersion);
    char version[80];
    std::snprintf(version, sizeof(version), "Version    : %d.%d.%d.%d", static_cast<int>(high >> 16),
                  static_cast<int>(high & 0xFFFF), static_cast<int>(low >> 16), static_cast<int>(low & 0xFFFF));
    Lines.push_back("");
    Lines.push_back("------------- Video System Info :");
    Lines.push_back("");
    Lines.push_back("Driver Name: " + id.Description);
    Lines.push_back("Driver     : " + id.Driver);
    Lines.push_back(version);
    Lines.push_back("VendorID   : " + std::to_string(id.VendorId));
    Lines.push_back("DeviceID   : " + std::to_string(id.DeviceId));
}

uint64_t OB_Video_AvailableTextureMemory()
{
    // SDL's renderers do not report it.
    return 0;
}

void OB_Video_Finalize()
{
    DestroyD3D8();
    OB_VideoInfo = OB_TVideoInfo{};
    ViewWidth = 0.0f;
    ViewHeight = 0.0f;
    ViewAspect = 0.0f;
    DeviceAnnounced = false;
}

}   // namespace orbel2
