#include "orbel2/kernel/OB_KeyCodes.h"

#include <SDL.h>

#include <array>

namespace orbel2 {

namespace {

struct TKeyPair {
    uint16_t VirtualKey;
    SDL_Keycode Keycode;
    SDL_Scancode Scancode;
};

constexpr std::array<TKeyPair, 32> NamedKeys{{
    {VK_BACK, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE},
    {VK_TAB, SDLK_TAB, SDL_SCANCODE_TAB},
    {VK_RETURN, SDLK_RETURN, SDL_SCANCODE_RETURN},
    {VK_RETURN, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER},
    {VK_SHIFT, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},
    {VK_SHIFT, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT},
    {VK_CONTROL, SDLK_LCTRL, SDL_SCANCODE_LCTRL},
    {VK_CONTROL, SDLK_RCTRL, SDL_SCANCODE_RCTRL},
    {VK_MENU, SDLK_LALT, SDL_SCANCODE_LALT},
    {VK_MENU, SDLK_RALT, SDL_SCANCODE_RALT},
    {VK_PAUSE, SDLK_PAUSE, SDL_SCANCODE_PAUSE},
    {VK_CAPITAL, SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK},
    {VK_ESCAPE, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {VK_SPACE, SDLK_SPACE, SDL_SCANCODE_SPACE},
    {VK_PRIOR, SDLK_PAGEUP, SDL_SCANCODE_PAGEUP},
    {VK_NEXT, SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN},
    {VK_END, SDLK_END, SDL_SCANCODE_END},
    {VK_HOME, SDLK_HOME, SDL_SCANCODE_HOME},
    {VK_LEFT, SDLK_LEFT, SDL_SCANCODE_LEFT},
    {VK_UP, SDLK_UP, SDL_SCANCODE_UP},
    {VK_RIGHT, SDLK_RIGHT, SDL_SCANCODE_RIGHT},
    {VK_DOWN, SDLK_DOWN, SDL_SCANCODE_DOWN},
    {VK_INSERT, SDLK_INSERT, SDL_SCANCODE_INSERT},
    {VK_DELETE, SDLK_DELETE, SDL_SCANCODE_DELETE},
    {VK_F1, SDLK_F1, SDL_SCANCODE_F1},
    {VK_F1 + 1, SDLK_F2, SDL_SCANCODE_F2},
    {VK_F1 + 2, SDLK_F3, SDL_SCANCODE_F3},
    {VK_F1 + 3, SDLK_F4, SDL_SCANCODE_F4},
    {VK_F1 + 4, SDLK_F5, SDL_SCANCODE_F5},
    {VK_F11, SDLK_F11, SDL_SCANCODE_F11},
    {VK_F12, SDLK_F12, SDL_SCANCODE_F12},
    {VK_F1 + 9, SDLK_F10, SDL_SCANCODE_F10},
}};

}   // namespace

uint16_t OB_KeycodeToVirtualKey(int32_t sdlKeycode)
{
    if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z)
        return static_cast<uint16_t>('A' + (sdlKeycode - SDLK_a));
    if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9)
        return static_cast<uint16_t>('0' + (sdlKeycode - SDLK_0));
    for (const TKeyPair& pair : NamedKeys)
        if (pair.Keycode == sdlKeycode)
            return pair.VirtualKey;
    return 0;
}

int OB_VirtualKeyToScancode(uint16_t virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return SDL_SCANCODE_A + (virtualKey - 'A');
    if (virtualKey == '0')
        return SDL_SCANCODE_0;
    if (virtualKey >= '1' && virtualKey <= '9')
        return SDL_SCANCODE_1 + (virtualKey - '1');
    for (const TKeyPair& pair : NamedKeys)
        if (pair.VirtualKey == virtualKey)
            return pair.Scancode;
    return SDL_SCANCODE_UNKNOWN;
}

bool OB_SDLKeyDown(uint16_t virtualKey)
{
    const int scancode = OB_VirtualKeyToScancode(virtualKey);
    if (scancode == SDL_SCANCODE_UNKNOWN)
        return false;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    return state != nullptr && scancode < count && state[scancode] != 0;
}

}   // namespace orbel2
