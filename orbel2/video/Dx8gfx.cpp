#include "orbel2/video/Dx8gfx.h"

#include "orbel2/video/OB_PlatformErrors.h"

#include <utility>

namespace orbel2 {

namespace {

constexpr const char* WindowClassName = "D3D8 WINDOW";

std::unique_ptr<TD3D8> Instance;

struct TErrorText {
    HRESULT Code;
    const char* Text;
};

constexpr TErrorText ErrorTexts[] = {
    {D3D_OK, "No error occurred."},
    {E_FAIL, "An undetermined error occurred inside the Direct3D subsystem."},
    {E_OUTOFMEMORY, "Direct3D could not allocate sufficient memory to complete the call."},
    {E_INVALIDARG, "An invalid parameter was passed to the returning function"},
    {D3DERR_OUTOFVIDEOMEMORY, "Direct3D does not have enough display memory to perform the operation."},
    {D3DERR_WRONGTEXTUREFORMAT, "The pixel format of the texture surface is not valid."},
    {D3DERR_UNSUPPORTEDCOLOROPERATION,
     "The device does not support a specified texture-blending operation for color values."},
    {D3DERR_UNSUPPORTEDCOLORARG, "The device does not support a specified texture-blending argument for color values."},
    {D3DERR_UNSUPPORTEDALPHAOPERATION,
     "The device does not support a specified texture-blending operation for the alpha channel."},
    {D3DERR_UNSUPPORTEDALPHAARG,
     "The device does not support a specified texture-blending argument for the alpha channel."},
    {D3DERR_TOOMANYOPERATIONS, "The application is requesting more texture-filtering operations than the device"},
    {D3DERR_CONFLICTINGTEXTUREFILTER, "The current texture filters cannot be used together."},
    {D3DERR_UNSUPPORTEDFACTORVALUE, "The device does not support the specified texture factor value."},
    {D3DERR_CONFLICTINGRENDERSTATE, "The currently set render states cannot be used together."},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support the specified texture filter."},
    {D3DERR_CONFLICTINGTEXTUREPALETTE,
     "The current textures cannot be used simultaneously. This generally occurs when a multitexture device requires "
     "that all palletized textures simultaneously enabled also share the same palette."},
    {D3DERR_DRIVERINTERNALERROR, "Internal driver error."},
    {D3DERR_NOTFOUND, "The requested item was not found."},
    {D3DERR_MOREDATA, "There is more data available than the specified buffer size can hold."},
    {D3DERR_DEVICELOST, "The device is lost and cannot be restored at the current time, so rendering is not possible."},
    {D3DERR_DEVICENOTRESET, "The device cannot be reset."},
    {D3DERR_NOTAVAILABLE, "This device does not support the queried technique."},
    {D3DERR_INVALIDDEVICE, "The requested device type is not valid."},
    {D3DERR_INVALIDCALL, "The method call is invalid. For example, a method's parameter may have an invalid value."},
};

// A back buffer the device (when there is one) can hold.
bool SizeAllowed(int32_t Width, int32_t Height, const TGfxDevice* Device)
{
    if (Width <= 0 || Height <= 0)
        return false;
    const auto width = static_cast<uint32_t>(Width);
    const auto height = static_cast<uint32_t>(Height);
    return Device != nullptr ? Device->HoldsBackBuffer(width, height) : OB_Gfx_BackBufferFits(width, height, 0, 0);
}

}   // namespace

std::string D3DErrorString(HRESULT ErrorCode)
{
    for (const TErrorText& entry : ErrorTexts)
        if (entry.Code == ErrorCode)
            return entry.Text;
    return "Unknown Error";
}

ED3D8Error ED3D8Error::CreateHR(HRESULT ErrorCode, std::string Why)
{
    return ED3D8Error("DXError: " + D3DErrorString(ErrorCode), std::move(Why));
}

TD3D8::TD3D8()
{
    if (Failed(OB_Gfx_InitVideo(WindowClassName)))
        throw ED3D8Error("Cannot create DirectX 8.1 device", OB_LogPlatformError());
    // Only the first monitors are kept; the others cannot be chosen.
    const int32_t displays = OB_Gfx_DisplayCount();
    for (int32_t i = 0; i < displays && FMonitorCount < static_cast<int32_t>(MaxMonitors); ++i)
        if (OB_Gfx_DisplayBounds(i, FMonitors[static_cast<size_t>(FMonitorCount)]))
            ++FMonitorCount;
}

TD3D8::~TD3D8()
{
    CloseDevice();
    OB_Gfx_QuitVideo();
}

SDL_Window* TD3D8::CreateAttachedWindow(int32_t Width, int32_t Height, bool Windowed)
{
    SDL_Window* window = OB_Gfx_CreateWindow(Width, Height, Windowed);
    if (window == nullptr)
        throw ED3D8Error("Error creating attached window", OB_LogPlatformError());
    return window;
}

bool TD3D8::BuildPresentParams(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, bool FullScreen,
                               bool DepthBuffer, int32_t Adapter, D3DPRESENT_PARAMETERS& Params)
{
    Params = D3DPRESENT_PARAMETERS{};
    if (!SizeAllowed(Width, Height, FDevice.get()))
        return false;
    if (FullScreen) {
        switch (BitsPerPixel) {
        case 15:
            Params.BackBufferFormat = D3DFMT_X1R5G5B5;
            break;
        case 16:
            Params.BackBufferFormat = D3DFMT_R5G6B5;
            break;
        case 24:
        case 32:
            Params.BackBufferFormat = D3DFMT_X8R8G8B8;
            break;
        default:
            return false;
        }
    } else {
        D3DDISPLAYMODE desktop;
        if (Failed(OB_Gfx_GetAdapterDisplayMode(Adapter, desktop))) {
            OB_LogPlatformError();
            return false;
        }
        Params.BackBufferFormat = desktop.Format;
    }
    Params.BackBufferWidth = static_cast<uint32_t>(Width);
    Params.BackBufferHeight = static_cast<uint32_t>(Height);
    Params.SwapEffect = D3DSWAPEFFECT_FLIP;
    Params.hDeviceWindow = Window;
    Params.Windowed = FullScreen ? 0 : 0xFFFFFFFFu;
    Params.EnableAutoDepthStencil = DepthBuffer ? 0xFFFFFFFFu : 0;
    Params.AutoDepthStencilFormat = DepthBuffer ? D3DFMT_D16 : 0;
    Params.FullScreen_PresentationInterval = FullScreen ? D3DPRESENT_INTERVAL_IMMEDIATE : 0;
    return true;
}

bool TD3D8::InitDevice(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, TD3D8Mode Mode,
                       bool DepthBuffer, int32_t Adapter, TGfxDevice*& Device)
{
    // A size no device can have is refused before anything changes, so the
    // current mode stays as it is.
    if (!SizeAllowed(Width, Height, FDevice.get()))
        throw ED3D8Error("Error creating device parameters");

    const bool recreate = !(Adapter == FAdapter && FDevice != nullptr);
    if (recreate) {
        DestroyAttachedWindow();
        FOwnsWindow = Window == nullptr;
        if (FOwnsWindow)
            Window = CreateAttachedWindow(Width, Height, Mode == TD3D8Mode::dmWindowed);
        FWindow = Window;
    }
    if (Mode == TD3D8Mode::dmMonitorFullScreen && FWindow != nullptr && Adapter >= 0 && Adapter < FMonitorCount)
        OB_Gfx_PlaceOver(FWindow, FMonitors[static_cast<size_t>(Adapter)]);
    if (FOwnsWindow && Mode == TD3D8Mode::dmWindowed)
        OB_Gfx_PlaceWindowed(FWindow, Width, Height);

    D3DPRESENT_PARAMETERS params;
    const bool built = BuildPresentParams(Window, Width, Height, BitsPerPixel, Mode == TD3D8Mode::dmFullScreen,
                                          DepthBuffer, Adapter, params);
    if (!built)
        throw ED3D8Error("Error creating device parameters");

    const D3DPRESENT_PARAMETERS previous = FPresentParams;
    FPresentParams = params;

    if (recreate) {
        FDevice.reset();
        const HRESULT hr = TGfxDevice::Create(FWindow, params, FDevice);
        Device = FDevice.get();
        if (Failed(hr))
            throw ED3D8Error::CreateHR(hr, OB_LogPlatformError());
        OB_Gfx_StartTextInput();
    } else if (const HRESULT hr = FDevice->Reset(params); Failed(hr)) {
        const std::string why = OB_LogPlatformError();
        // The device stays; it keeps drawing if it can have its old mode back.
        FDeviceUsable = !Failed(FDevice->Reset(previous));
        OB_LogPlatformError();
        throw ED3D8Error::CreateHR(hr, why);
    }
    FDeviceUsable = true;
    FAdapter = Adapter;
    FFullScreen = Mode == TD3D8Mode::dmFullScreen;
    return FFullScreen;
}

bool TD3D8::CanSetMode(int32_t Width, int32_t Height, int32_t BitsPerPixel, TD3D8Mode Mode, bool DepthBuffer,
                       int32_t Adapter)
{
    D3DPRESENT_PARAMETERS params;
    return BuildPresentParams(FWindow, Width, Height, BitsPerPixel, Mode == TD3D8Mode::dmFullScreen, DepthBuffer,
                              Adapter, params);
}

void TD3D8::ShowAttachedWindow(bool Show)
{
    if (Show && FOwnsWindow && FWindow == nullptr) {
        FWindow = CreateAttachedWindow(640, 480, true);
        OB_Gfx_PlaceOver(FWindow, FWindowRect);
    }
    OB_Gfx_ShowWindow(FWindow, Show);
}

void TD3D8::DestroyAttachedWindow()
{
    if (!FOwnsWindow || FWindow == nullptr)
        return;
    FWindowRect = OB_Gfx_GetWindowRect(FWindow);
    OB_Gfx_DestroyWindow(FWindow);
    FWindow = nullptr;
}

void TD3D8::CloseDevice()
{
    FDevice.reset();
    DestroyAttachedWindow();
    FPendingCount = 0;
    FQuitPosted = false;
}

void TD3D8::PostMessage(uint32_t Message, uint32_t WParam, int32_t LParam)
{
    if (FPendingCount == FPending.size())
        return;
    FPending[(FPendingHead + FPendingCount) % FPending.size()] = TMsg{Message, WParam, LParam};
    ++FPendingCount;
}

bool TD3D8::TakeMessage(TMsg& Msg)
{
    if (FPendingCount == 0)
        return false;
    Msg = FPending[FPendingHead];
    FPendingHead = (FPendingHead + 1) % FPending.size();
    --FPendingCount;
    return true;
}

void TD3D8::HandleEvent(const TGfxEvent& Event)
{
    switch (Event.Kind) {
    case TGfxEventKind::KeyDown:
        // Keys the engine has no code for are not its business.
        if (Event.VirtualKey != 0)
            PostMessage(WM_KEYDOWN, Event.VirtualKey, Event.Repeat ? 0x40000001 : 1);
        break;
    case TGfxEventKind::Text:
        // One character per byte; bytes of characters beyond ASCII are
        // dropped, a byte-per-character console could not show them.
        for (const char* p = Event.Text; *p != '\0'; ++p)
            if (static_cast<unsigned char>(*p) < 128)
                PostMessage(WM_CHAR, static_cast<unsigned char>(*p), 1);
        break;
    case TGfxEventKind::Close:
        // Closing the window ends the program as destroying it would: the
        // window goes out of sight at once, but stays until CloseDevice
        // because the renderer still draws into it.
        if (FQuitPosted)
            break;
        FQuitPosted = true;
        FWindowRect = OB_Gfx_GetWindowRect(FWindow);
        OB_Gfx_ShowWindow(FWindow, false);
        if (FOnShow)
            FOnShow(false);
        PostMessage(WM_DESTROY, 0, 0);
        PostMessage(WM_QUIT, 0, 0);
        break;
    case TGfxEventKind::Shown:
    case TGfxEventKind::Hidden:
        if (FOnShow)
            FOnShow(Event.Kind == TGfxEventKind::Shown);
        break;
    case TGfxEventKind::Other:
        break;
    }
}

bool TD3D8::PumpMessage(TMsg& Msg, bool& Got)
{
    Got = TakeMessage(Msg);
    TGfxEvent event;
    while (!Got && OB_Gfx_PollEvent(event)) {
        HandleEvent(event);
        Got = TakeMessage(Msg);
    }
    if (!Got)
        return true;
    return Msg.message != WM_QUIT;
}

void TD3D8::GetAdapterIdentifier(D3DADAPTER_IDENTIFIER8& Identifier) const
{
    OB_Gfx_GetAdapterIdentifier(FDevice.get(), Identifier);
}

void DestroyD3D8()
{
    Instance.reset();
}

TD3D8& GetD3D8()
{
    if (!Instance)
        Instance = std::make_unique<TD3D8>();
    return *Instance;
}

TD3D8* FindD3D8()
{
    return Instance.get();
}

}   // namespace orbel2
