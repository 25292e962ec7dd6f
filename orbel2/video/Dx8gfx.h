// The device wrapper: the one graphics system of the process, the device
// made from it and the window the device draws into. It creates the device
// or resets the existing one for a new mode, pumps the window's messages and
// tears the device and its window down. Every failure raises ED3D8Error
// with a readable message (and SDL's own words for the cause, which it also
// writes to the log); the video system is its only caller and reaches it
// through GetD3D8.
#pragma once

#include "orbel2/video/OB_WindowMessages.h"
#include "orbel2/video/platform/OB_GfxDevice.h"
#include "orbel2/video/platform/OB_GfxWindow.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orbel2 {

enum class TD3D8Mode : uint8_t { dmFullScreen = 0, dmWindowed = 1, dmMonitorFullScreen = 2 };

// Not an engine exception on purpose: only the video system catches it, by
// type, and turns it into OB_EVideoError.
class ED3D8Error {
public:
    explicit ED3D8Error(std::string Msg, std::string Why = "") : Message(std::move(Msg)), Reason(std::move(Why)) {}
    // "DXError: " and the text of the result code.
    static ED3D8Error CreateHR(HRESULT ErrorCode, std::string Why = "");
    std::string Message;
    // The platform's own words for the cause, when it gave any.
    std::string Reason;
};

// The text of a result code; "Unknown Error" for codes it does not know.
std::string D3DErrorString(HRESULT ErrorCode);

class TD3D8 {
public:
    TD3D8();
    ~TD3D8();
    TD3D8(const TD3D8&) = delete;
    TD3D8& operator=(const TD3D8&) = delete;

    // Window nullptr: the wrapper makes (and owns) its own window. Creates
    // the device, or resets it when one exists for this adapter; Device is
    // set when a device is created. Returns whether the mode is full screen.
    bool InitDevice(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, TD3D8Mode Mode,
                    bool DepthBuffer, int32_t Adapter, TGfxDevice*& Device);
    // Whether a device could be set up for this mode: false when no
    // back-buffer format can be chosen or the size is not one a device can
    // have (OB_Gfx_BackBufferFits, with the largest texture of the device
    // when there is one). Changes nothing.
    bool CanSetMode(int32_t Width, int32_t Height, int32_t BitsPerPixel, TD3D8Mode Mode, bool DepthBuffer,
                    int32_t Adapter);
    // False when no back-buffer format can be chosen or the size is not one
    // a device can have (as CanSetMode).
    bool BuildPresentParams(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, bool FullScreen,
                            bool DepthBuffer, int32_t Adapter, D3DPRESENT_PARAMETERS& Params);
    SDL_Window* CreateAttachedWindow(int32_t Width, int32_t Height, bool Windowed);
    void ShowAttachedWindow(bool Show);
    void DestroyAttachedWindow();
    // Releases the device, then destroys an attached window (a renderer
    // must go before its window). Harmless when repeated.
    void CloseDevice();
    // Takes at most one message. Got: whether it took one. Returns false
    // when that message was WM_QUIT.
    bool PumpMessage(TMsg& Msg, bool& Got);
    void GetAdapterIdentifier(D3DADAPTER_IDENTIFIER8& Identifier) const;

    TGfxDevice* Device() const { return FDevice.get(); }
    // False after a reset that failed and could not give the device its
    // previous mode back either: it is there, but nothing can be drawn.
    bool DeviceUsable() const { return FDevice != nullptr && FDeviceUsable; }
    SDL_Window* Window() const { return FWindow; }
    bool OwnsWindow() const { return FOwnsWindow; }
    bool FullScreen() const { return FFullScreen; }
    const D3DPRESENT_PARAMETERS& PresentParams() const { return FPresentParams; }

    std::function<void(bool Visible)> FOnShow;

private:
    void HandleEvent(const TGfxEvent& Event);
    void PostMessage(uint32_t Message, uint32_t WParam, int32_t LParam);
    bool TakeMessage(TMsg& Msg);

    std::unique_ptr<TGfxDevice> FDevice;
    bool FDeviceUsable = false;
    SDL_Window* FWindow = nullptr;
    bool FOwnsWindow = false;
    int32_t FAdapter = 0;
    TGfxRect FWindowRect;
    bool FFullScreen = false;
    bool FQuitPosted = false;
    D3DPRESENT_PARAMETERS FPresentParams;

    // Messages made from one event wait here: a text event gives one
    // WM_CHAR per byte, a close gives WM_DESTROY and WM_QUIT.
    std::array<TMsg, 40> FPending{};
    size_t FPendingHead = 0;
    size_t FPendingCount = 0;

    static constexpr size_t MaxMonitors = 8;
    std::array<TGfxRect, MaxMonitors> FMonitors{};
    int32_t FMonitorCount = 0;
};

// The process-wide wrapper, created on the first call. A constructor error
// reaches the caller and keeps no instance, so the next call tries again.
TD3D8& GetD3D8();
// The wrapper if it exists, else nullptr.
TD3D8* FindD3D8();
// Destroys the wrapper (device, window, the platform's video); the next
// GetD3D8 creates it anew.
void DestroyD3D8();

}   // namespace orbel2
