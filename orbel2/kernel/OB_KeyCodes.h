// Mapping between SDL's keys and the Windows virtual-key codes that the
// engine speaks (VK_BACK 8, VK_RETURN 13, VK_LEFT 0x25, 'A'..'Z', ...).
#pragma once

#include <cstdint>

namespace orbel2 {

// Windows virtual-key codes the engine uses by name.
enum : uint16_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F11 = 0x7A,
    VK_F12 = 0x7B,
};

// The virtual-key code of an SDL keycode (SDL_Keycode); 0 when it has none.
uint16_t OB_KeycodeToVirtualKey(int32_t sdlKeycode);
// The SDL scancode (SDL_Scancode) of a virtual key; 0 (unknown) when none.
int OB_VirtualKeyToScancode(uint16_t virtualKey);
// Whether SDL's keyboard state holds the virtual key down now; false for a
// key SDL has no scancode for.
bool OB_SDLKeyDown(uint16_t virtualKey);

}   // namespace orbel2
