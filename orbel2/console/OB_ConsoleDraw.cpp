#include "orbel2/console/OB_ConsoleDraw.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/kernel/OB_Assert.h"
#include "orbel2/video/OB_Font.h"
#include "orbel2/video/OB_Primitive.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <algorithm>
#include <string>

namespace orbel2 {

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

// A fraction of the screen as drawn: held to 0 to 1, not a number as 0.
float ScreenFraction(float Value)
{
    return Value > 0 ? std::min(Value, 1.0f) : 0.0f;
}

// Rows of text are worked out in 64 bits from any line height; a row is
// handed to the font only when part of its cell lies on the back buffer,
// so the font's own arithmetic never meets a row far off it.
bool RowSeen(int64_t Row, int64_t Cell)
{
    return Row + Cell > 0 && Row < static_cast<int64_t>(OB_VideoInfo.BackBufferDesc.Height);
}

// Whether rows that go on by Step from Row can never reach the back buffer.
bool RowsGoneBy(int64_t Row, int64_t Step, int64_t Cell)
{
    return (Step > 0 && Row >= static_cast<int64_t>(OB_VideoInfo.BackBufferDesc.Height)) ||
        (Step < 0 && Row + Cell <= 0);
}

void DrawWatches()
{
    const int32_t x = static_cast<int32_t>(OB_Video_ToPixelX(WatchColumn));
    int64_t y = OB_Video_ToPixelY(FirstWatchRow);
    const int64_t step = ConsoleInfo.LineHeight;
    const int64_t cell = OB_Font_CellHeight(WatchFont);
    const std::vector<TVariableInfo>& variables = ConsoleVariables();
    for (int32_t index : ConsoleWatches()) {
        if (index < 0)
            continue;   // a removed watch takes no row
        OB_ASSERT(static_cast<size_t>(index) < variables.size());
        if (static_cast<size_t>(index) >= variables.size())
            continue;
        if (RowsGoneBy(y, step, cell))
            break;
        if (RowSeen(y, cell)) {
            const TVariableInfo& variable = variables[static_cast<size_t>(index)];
            TextBuffer.assign(variable.Name);
            TextBuffer.append(" = ");
            TextBuffer.append(VariableValueText(variable));
            OB_Font_DrawText(TextBuffer, x, static_cast<int32_t>(y), WatchColour, WatchFont, WatchAlign);
        }
        y += step;
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
    const int64_t step = -static_cast<int64_t>(ConsoleInfo.LineHeight);
    const int64_t cell = OB_Font_CellHeight(LineFont);
    int64_t y = OB_Video_ToPixelY(ScreenFraction(ConsoleInfo.Height)) + step;
    if (RowSeen(y, cell)) {
        TextBuffer.assign("> ");
        TextBuffer.append(ConsoleEditLine());
        OB_Font_DrawText(TextBuffer, LineLeft, static_cast<int32_t>(y), ConsoleInfo.PromptColour, LineFont,
                         LineAlign);
    }
    const TStringStack* lines = ConsoleLines();
    if (lines == nullptr)
        return;
    // Each older line sits a line higher; once one lies wholly beyond the
    // screen, so do all the rest.
    for (int32_t n = ConsoleScrollOffset(); n < lines->Count(); ++n) {
        y += step;
        if (RowsGoneBy(y, step, cell))
            break;
        if (RowSeen(y, cell))
            OB_Font_DrawText(lines->Get(n), LineLeft, static_cast<int32_t>(y), ConsoleInfo.TextColour, LineFont,
                             LineAlign);
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
    OB_Quad_SetCorners(ConsoleQuad, 0.0f, 0.0f, ScreenFraction(ConsoleInfo.Width), ScreenFraction(ConsoleInfo.Height),
                       0.0f, 0.0f, 0.0f);
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

}   // namespace orbel2
