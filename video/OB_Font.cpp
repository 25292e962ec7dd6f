// Placeholder until the fonts land.
#include "video/OB_Font.h"

void OB_Font_Init() {}
void OB_Font_Shutdown() {}
void OB_Font_HandleMessage(int32_t, void*, int32_t, void*) {}
void OB_Font_DrawText(const std::string&, int32_t, int32_t, uint32_t, uint8_t, TTextAlign) {}
