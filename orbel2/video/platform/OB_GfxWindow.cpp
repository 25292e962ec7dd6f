#include "orbel2/video/platform/OB_GfxWindow.h"

#include "orbel2/kernel/OB_KeyCodes.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace orbel2 {

namespace {

uint32_t FormatOfPixels(Uint32 format)
{
    switch (SDL_BITSPERPIXEL(format)) {
    case 15:
        return D3DFMT_X1R5G5B5;
    case 16:
        return D3DFMT_R5G6B5;
    default:
        return D3DFMT_X8R8G8B8;
    }
}

}   // namespace

namespace {

// SDL's words for the platform's last failure, kept until the layer above
// takes them.
std::string LastError;

}   // namespace

void OB_Gfx_NoteError()
{
    LastError = SDL_GetError();
}

std::string OB_Gfx_TakeError()
{
    return std::exchange(LastError, std::string());
}

namespace {

// Set in the environment, and not empty.
bool HasEnvironment(const char* Name)
{
    const char* value = SDL_getenv(Name);
    return value != nullptr && value[0] != '\0';
}

// Why there is no display, and what a person can do about it.
void SetNoDisplayError(const std::string& Why)
{
    SDL_SetError("no display found (%s): run it under a virtual X server (xvfb-run -a orbel2), or with no display "
                 "at all (SDL_VIDEODRIVER=dummy orbel2)",
                 Why.c_str());
}

// SDL is left to choose among its drivers only when the user named one or a
// Wayland display is there; with only an X display it goes straight to X,
// since probing drivers that have nothing to connect to makes some of them
// print complaints of their own.
bool ChooseDisplayDriver()
{
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
    return true;   // Windows and the browser have one display each: SDL finds it
#endif
    if (HasEnvironment("SDL_VIDEODRIVER") || HasEnvironment("WAYLAND_DISPLAY"))
        return true;
    if (!HasEnvironment("DISPLAY")) {
        SetNoDisplayError("neither DISPLAY nor WAYLAND_DISPLAY is set");
        return false;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    return true;
}

}   // namespace

namespace {

std::string WindowTitle;
std::string X11Class;

// SDL 2.26 reads the X11 class from the environment when its video starts;
// later versions also take it as a hint. A class the user set is left alone.
void SetX11Class(const char* WindowClassName)
{
    static const bool setByUser = HasEnvironment("SDL_VIDEO_X11_WMCLASS");
    if (setByUser)
        return;
    const char* name = X11Class.empty() ? WindowClassName : X11Class.c_str();
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", name, 1);
    SDL_SetHint("SDL_VIDEO_X11_WMCLASS", name);
}

}   // namespace

void OB_Gfx_SetWindowIdentity(SDL_Window* Window, const std::string& Title, const std::string& Class)
{
    WindowTitle = Title;
    X11Class = Class;
    if (Window != nullptr)
        SDL_SetWindowTitle(Window, WindowTitle.c_str());
}

HRESULT OB_Gfx_InitVideo(const char* WindowClassName)
{
    SetX11Class(WindowClassName);
    if (!ChooseDisplayDriver()) {
        OB_Gfx_NoteError();
        return E_FAIL;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (!HasEnvironment("SDL_VIDEODRIVER") && !HasEnvironment("WAYLAND_DISPLAY"))
            SetNoDisplayError(std::string("cannot open display \"") + SDL_getenv("DISPLAY") + "\": " + SDL_GetError());
        OB_Gfx_NoteError();
        return E_FAIL;
    }
    // With no display SDL may fall back to drawing off screen, which would
    // leave the program running invisibly. Only a user who asks for such a
    // driver (SDL_VIDEODRIVER=dummy, as the tests do) gets one.
    if (OB_Gfx_IsHeadless() && !HasEnvironment("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SetNoDisplayError("only an off-screen driver is available");
        OB_Gfx_NoteError();
        return E_FAIL;
    }
    return D3D_OK;
}

void OB_Gfx_QuitVideo()
{
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Window* OB_Gfx_CreateWindow(int32_t Width, int32_t Height, bool Windowed)
{
    const Uint32 flags = Windowed ? (SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS) : SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* window = SDL_CreateWindow(WindowTitle.c_str(), 0, 0, Width, Height, flags);
    if (window == nullptr)
        OB_Gfx_NoteError();
    return window;
}

void OB_Gfx_DestroyWindow(SDL_Window* Window)
{
    if (Window != nullptr)
        SDL_DestroyWindow(Window);
}

void OB_Gfx_PlaceWindowed(SDL_Window* Window, int32_t Width, int32_t Height)
{
    SDL_SetWindowFullscreen(Window, 0);
    SDL_SetWindowBordered(Window, SDL_TRUE);
    SDL_SetWindowSize(Window, Width, Height);
    SDL_SetWindowPosition(Window, 0, 0);
    SDL_ShowWindow(Window);
}

void OB_Gfx_PlaceOver(SDL_Window* Window, const TGfxRect& Rect)
{
    SDL_SetWindowFullscreen(Window, 0);
    SDL_SetWindowBordered(Window, SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(Window, SDL_TRUE);
    SDL_SetWindowSize(Window, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top);
    SDL_SetWindowPosition(Window, Rect.Left, Rect.Top);
}

void OB_Gfx_CoverDisplay(SDL_Window* Window)
{
    SDL_Rect bounds{};
    if ((SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN) != 0 ||
        SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(Window), 0), &bounds) != 0)
        return;
    SDL_SetWindowBordered(Window, SDL_FALSE);
    SDL_SetWindowPosition(Window, bounds.x, bounds.y);
    SDL_SetWindowSize(Window, bounds.w, bounds.h);
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

bool OB_Gfx_BackBufferFits(int64_t Width, int64_t Height, int64_t MaxTextureWidth, int64_t MaxTextureHeight)
{
    constexpr int64_t MaxSide = 16384;
    constexpr int64_t MaxBytes = int64_t{256} << 20;
    if (Width <= 0 || Height <= 0 || Width > MaxSide || Height > MaxSide || Width * Height * 4 > MaxBytes)
        return false;
    return (MaxTextureWidth <= 0 || Width <= MaxTextureWidth) && (MaxTextureHeight <= 0 || Height <= MaxTextureHeight);
}

void OB_Gfx_ShowWindow(SDL_Window* Window, bool Show)
{
    if (Window == nullptr)
        return;
    if (Show)
        SDL_ShowWindow(Window);
    else
        SDL_HideWindow(Window);
}

TGfxRect OB_Gfx_GetWindowRect(SDL_Window* Window)
{
    TGfxRect rect;
    if (Window == nullptr)
        return rect;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(Window, &x, &y);
    SDL_GetWindowSize(Window, &w, &h);
    rect = TGfxRect{x, y, x + w, y + h};
    return rect;
}

int32_t OB_Gfx_DisplayCount()
{
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 0;
}

bool OB_Gfx_DisplayBounds(int32_t Display, TGfxRect& Rect)
{
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(Display, &bounds) != 0)
        return false;
    Rect = TGfxRect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    return true;
}

HRESULT OB_Gfx_GetAdapterDisplayMode(int32_t Adapter, D3DDISPLAYMODE& Mode)
{
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(Adapter, &desktop) != 0) {
        OB_Gfx_NoteError();
        return D3DERR_INVALIDCALL;
    }
    Mode.Width = static_cast<uint32_t>(desktop.w);
    Mode.Height = static_cast<uint32_t>(desktop.h);
    Mode.RefreshRate = static_cast<uint32_t>(desktop.refresh_rate);
    Mode.Format = FormatOfPixels(desktop.format);
    return D3D_OK;
}

bool OB_Gfx_PollEvent(TGfxEvent& Event)
{
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0)
        return false;
    Event = TGfxEvent{};
    switch (event.type) {
    case SDL_KEYDOWN:
        Event.Kind = TGfxEventKind::KeyDown;
        Event.VirtualKey = OB_KeycodeToVirtualKey(event.key.keysym.sym);
        Event.Repeat = event.key.repeat != 0;
        break;
    case SDL_TEXTINPUT:
        Event.Kind = TGfxEventKind::Text;
        std::memcpy(Event.Text, event.text.text, sizeof(Event.Text));
        Event.Text[sizeof(Event.Text) - 1] = '\0';
        break;
    case SDL_QUIT:
        Event.Kind = TGfxEventKind::Close;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            Event.Kind = TGfxEventKind::Close;
        else if (event.window.event == SDL_WINDOWEVENT_SHOWN)
            Event.Kind = TGfxEventKind::Shown;
        else if (event.window.event == SDL_WINDOWEVENT_HIDDEN)
            Event.Kind = TGfxEventKind::Hidden;
        break;
    default:
        break;
    }
    return true;
}

void OB_Gfx_StartTextInput()
{
    SDL_StartTextInput();
}

bool OB_Gfx_IsHeadless()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

bool OB_Gfx_HasKeyboardFocus(SDL_Window* Window)
{
    if (OB_Gfx_IsHeadless())
        return true;
    return Window != nullptr && SDL_GetKeyboardFocus() == Window;
}

}   // namespace orbel2
