// Placeholder until the video system lands: no device can be opened.
#include "video/OB_Video.h"

OB_TVideoInfo OB_VideoInfo;

void OB_Video_Open(SDL_Window*, int32_t, int32_t, int32_t, bool, bool, float)
{
    throw OB_EVideoError("No video device is open");
}
void OB_Video_Close() {}
bool OB_Video_PumpMessage(TMsg&, bool& Quit) { Quit = false; return false; }
bool OB_Video_HasFocus() { return false; }
void OB_Video_SetVirtualSize(float, float, float) {}
void OB_Video_SetView(float, float, float) {}
int64_t OB_Video_ToPixelX(float) { return 0; }
int64_t OB_Video_ToPixelY(float) { return 0; }
void OB_Video_SetVertexFormat() {}
void OB_Video_Clear(uint32_t) {}
void OB_Video_BeginScene() {}
void OB_Video_EndScene() {}
void OB_Video_Present(bool) {}
void OB_Video_GetInfoLines(std::vector<std::string>& Lines) { Lines.push_back("No video device is open"); }
uint64_t OB_Video_AvailableTextureMemory() { return 0; }
