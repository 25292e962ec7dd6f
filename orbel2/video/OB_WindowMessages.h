// Window messages as the engine sees them: the records the device window's
// queue hands to the session loop, with the Windows message numbers the
// engine keeps.
#pragma once

#include <cstdint>

namespace orbel2 {

constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_CHAR = 0x0102;

struct TMsg {
    uint32_t message = 0;
    uint32_t wParam = 0;   // WM_KEYDOWN: virtual-key code; WM_CHAR: the byte
    int32_t lParam = 0;
};

}   // namespace orbel2
