// The engine's three text fonts, which follow the graphics device through the
// message bus: created on MSG_VIDEODEVICEINITIALIZED, device resources let go
// on MSG_VIDEODEVICELOST and restored on MSG_VIDEODEVICERESET.
#pragma once

#include <cstdint>
#include <string>

enum TTextAlignFlag : uint8_t { taCenter = 0, taLeft = 1, taRight = 2, taVCenter = 3, taTop = 4, taBottom = 5 };
// A set of TTextAlignFlag: bit n stands for the flag of ordinal n.
using TTextAlign = uint8_t;
constexpr TTextAlign OB_Align(TTextAlignFlag flag) { return static_cast<TTextAlign>(1u << flag); }

void OB_Font_Init();
void OB_Font_Shutdown();
void OB_Font_HandleMessage(int32_t Msg, void* Param, int32_t Value, void* Data);
// Draws Text in one line at back-buffer pixel (X, Y) with font 0 "Arial",
// 1 "Courier" or 2 "Tahoma". A font that does not exist draws nothing.
void OB_Font_DrawText(const std::string& Text, int32_t X, int32_t Y, uint32_t Colour, uint8_t FontIndex,
                      TTextAlign Align);
