// The video system: the engine's face of the graphics device. Opens and
// re-opens the video mode, keeps the shared information record OB_VideoInfo,
// announces device loss, reset and creation on the message bus, sets the
// camera that maps the virtual 2D space onto the back buffer, and offers the
// per-frame operations and the message pump of the session loop.
//
// Rule: OB_VideoInfo.Device and .Window are valid from a successful open to
// OB_Video_Close, which clears them; a failed open leaves the previous mode
// (device, window, sizes) in place.
#pragma once

#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/video/OB_WindowMessages.h"

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

namespace orbel2 {

class TGfxDevice;   // the graphics device of video/platform

struct D3DSURFACE_DESC {
    uint32_t Format = 0;
    uint32_t Type = 0;
    uint32_t Usage = 0;
    uint32_t Pool = 0;
    uint32_t Size = 0;
    uint32_t MultiSampleType = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
};

struct OB_TVideoInfo {
    TGfxDevice* Device = nullptr;
    D3DSURFACE_DESC BackBufferDesc;
    float Width = 0;   // virtual size
    float Height = 0;
    float Aspect = 0;   // 0: derived from Width / Height
    SDL_Window* Window = nullptr;
    int32_t FPS = 0;
    double FrameTime = 0;
    void* BackBuffer = nullptr;
    bool FullScreen = false;
    bool Opened = false;
};

extern OB_TVideoInfo OB_VideoInfo;

class OB_EVideoError : public OB_EGeneric {
public:
    explicit OB_EVideoError(const std::string& Message, std::string Why = "")
        : OB_EGeneric(Message), FReason(std::move(Why))
    {}
    // What the platform said of the cause ("no display found ..."), when it
    // said anything; the message itself keeps the engine's own words.
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// Window nullptr: the device makes its own window. Raises OB_EVideoError
// ("OB_Video_Open: " and the reason) when the mode cannot be set; sizes
// must be 1 to 16384 pixels a side, at most 256 MiB at 32 bits (8192 x
// 8192) and within the renderer's largest texture.
void OB_Video_Open(SDL_Window* Window, int32_t Width, int32_t Height, int32_t BitsPerPixel, bool FullScreen,
                   bool DepthBuffer, float Aspect);
// Releases the device and its window; harmless when repeated.
void OB_Video_Close();
// The window's title, which task bars show ("Orbel2"), and its X11 class
// (WM_CLASS), which desktops match with the StartupWMClass of the program's
// desktop entry ("orbel2"). Given before OB_Video_Open; a title given later
// retitles the open window at once. Until then the window has no title.
void OB_Video_SetWindowTitle(const std::string& Title, const std::string& X11Class);
// Takes at most one pending message; true when it took one. Quit is set when
// that message was WM_QUIT.
bool OB_Video_PumpMessage(TMsg& Msg, bool& Quit);
// Whether the device window has the keyboard focus (always, under drivers
// that have no keyboard focus at all, such as the dummy driver).
bool OB_Video_HasFocus();
// The scene's coordinate space (x to the right, y downward) that fills the
// back buffer whatever its size; Aspect 0 takes Width / Height.
void OB_Video_SetVirtualSize(float Width, float Height, float Aspect);
// 0 in an argument takes the virtual size's value. In a view with no
// extent (no virtual size yet, or a zero, negative or infinite one, or an
// aspect OB_Video_AspectUsable refuses) nothing drawn in virtual space is
// seen.
void OB_Video_SetView(float Width, float Height, float Aspect);
// Whether a view can have this aspect (width / height): from 1/16384 to
// 16384, the shapes of the back buffers a device can have.
bool OB_Video_AspectUsable(float Aspect);
// View units to back-buffer pixels in the view set now, halves to even;
// 0 while the view has no extent.
int64_t OB_Video_ToPixelX(float X);
int64_t OB_Video_ToPixelY(float Y);
void OB_Video_SetVertexFormat();
// A frame: clear to an ARGB colour, begin the scene, draw, end it, present.
void OB_Video_Clear(uint32_t Colour);
void OB_Video_BeginScene();
void OB_Video_EndScene();
// A failed present (or none, with no device) sends MSGID_FATALERROR; the
// frame timer runs when asked either way.
void OB_Video_Present(bool UpdateTimer);
// Appends the eight lines "vid_info" prints: driver, renderer, version.
void OB_Video_GetInfoLines(std::vector<std::string>& Lines);
// Ends the video system's life: the device, its window and the platform's
// video are let go, and the information record and the view are zero
// again, as before the first open. The kernel's finalisation calls it.
void OB_Video_Finalize();
// Texture memory the device reports as available; 0 when it cannot tell.
uint64_t OB_Video_AvailableTextureMemory();

}   // namespace orbel2
