#include "console/OB_ConsoleDraw.h"

#include "console/OB_Console.h"
#include "kernel/OB_Assert.h"
#include "video/OB_Font.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"

#include <string>

namespace {

constexpr uint32_t WatchColour = 0xFFAFAFFF;
constexpr float WatchColumn = 0.95f;
constexpr float FirstWatchRow = 0.05f;
constexpr int32_t LineLeft = 5;
constexpr uint8_t WatchFont = 1;
constexpr uint8_t LineFont = 0;
constexpr TTextAlign WatchAlign = OB_Align(taRight);
constexpr TTextAlign LineAlign = OB_Align(taLeft) | OB_Align(taTop);
// Black, lighter at the top than at the bottom.
constexpr uint32_t BackgroundTop = 0x44000000;
constexpr uint32_t BackgroundBottom = 0xDD000000;

TQuad ConsoleQuad;
// Reused from frame to frame so that drawing allocates nothing once the
// texts have reached their longest.
std::string TextBuffer;

void DrawWatches()
{
    const int32_t x = static_cast<int32_t>(OB_Video_ToPixelX(WatchColumn));
    int32_t y = static_cast<int32_t>(OB_Video_ToPixelY(FirstWatchRow));
    const std::vector<TVariableInfo>& variables = ConsoleVariables();
    for (int32_t index : ConsoleWatches()) {
        if (index < 0)
            continue;   // a removed watch takes no row
        OB_ASSERT(static_cast<size_t>(index) < variables.size());
        if (static_cast<size_t>(index) >= variables.size())
            continue;
        const TVariableInfo& variable = variables[static_cast<size_t>(index)];
        TextBuffer.assign(variable.Name);
        TextBuffer.append(" = ");
        TextBuffer.append(VariableValueText(variable));
        OB_Font_DrawText(TextBuffer, x, y, WatchColour, WatchFont, WatchAlign);
        y += ConsoleInfo.LineHeight;
    }
}

void SetBlendStates(TGfxDevice& device)
{
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void DrawLines()
{
    int32_t y = static_cast<int32_t>(OB_Video_ToPixelY(ConsoleInfo.Height)) - ConsoleInfo.LineHeight;
    TextBuffer.assign("> ");
    TextBuffer.append(ConsoleEditLine());
    OB_Font_DrawText(TextBuffer, LineLeft, y, ConsoleInfo.PromptColour, LineFont, LineAlign);
    const TStringStack* lines = ConsoleLines();
    if (lines == nullptr)
        return;
    // Each older line sits higher; once one lies wholly above the screen,
    // so do all the rest.
    const int32_t cell = OB_Font_CellHeight(LineFont);
    for (int32_t n = ConsoleScrollOffset(); n < lines->Count(); ++n) {
        y -= ConsoleInfo.LineHeight;
        if (ConsoleInfo.LineHeight > 0 && y + cell <= 0)
            break;
        OB_Font_DrawText(lines->Get(n), LineLeft, y, ConsoleInfo.TextColour, LineFont, LineAlign);
    }
}

}   // namespace

void ConsoleDrawInit()
{
    OB_Quad_Init(ConsoleQuad, 0.0f);
    ConsoleQuad.Vertices[0].Diffuse = BackgroundTop;
    ConsoleQuad.Vertices[1].Diffuse = BackgroundTop;
    ConsoleQuad.Vertices[2].Diffuse = BackgroundBottom;
    ConsoleQuad.Vertices[3].Diffuse = BackgroundBottom;
}

void ConsoleDraw()
{
    OB_Quad_SetCorners(ConsoleQuad, 0.0f, 0.0f, ConsoleInfo.Width, ConsoleInfo.Height, 0.0f, 0.0f, 0.0f);
    // The unit square stretched over the whole back buffer: aspect 1 is
    // given, not taken from the scene's view, so that the background spans
    // the full width whatever the scene's aspect.
    OB_Video_SetView(1.0f, 1.0f, 1.0f);
    DrawWatches();
    if (!ConsoleInfo.Visible || OB_VideoInfo.Device == nullptr) {
        OB_Video_SetView(0.0f, 0.0f, 0.0f);
        return;
    }
    SetBlendStates(*OB_VideoInfo.Device);
    OB_Quad_Draw(ConsoleQuad, nullptr);
    DrawLines();
    OB_Video_SetView(0.0f, 0.0f, 0.0f);
}
