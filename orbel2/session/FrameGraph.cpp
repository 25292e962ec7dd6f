#include "orbel2/session/FrameGraph.h"

#include "orbel2/kernel/OB_Assert.h"
#include "orbel2/video/OB_Font.h"
#include "orbel2/video/OB_Video.h"
#include "orbel2/video/platform/OB_GfxDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orbel2 {

namespace {

constexpr int32_t Margin = 4;
constexpr int32_t MaxColumnWidth = 4;
constexpr int32_t MarkRows = 2;
constexpr uint8_t GraphFont = 0;
constexpr TTextAlign LabelAlign = OB_Align(taRight) | OB_Align(taVCenter);
constexpr TTextAlign TextAlign = OB_Align(taLeft) | OB_Align(taTop);

struct TScaleLine {
    double Seconds;
    const char* Label;
};
constexpr TScaleLine ScaleLines[] = {{1.0 / 60.0, "1/60 s"}, {0.1, "0.1 s"}};

int32_t LabelWidth()
{
    int32_t width = 0;
    for (const TScaleLine& line : ScaleLines)
        width = std::max(width, OB_Font_TextWidth(line.Label, GraphFont));
    return width;
}

}   // namespace

std::string FrameFiguresText(const TFrameFigures& Figures)
{
    std::string line;
    FormatFrameFigures(Figures, line);
    return line;
}

void FormatFrameFigures(const TFrameFigures& Figures, std::string& Line)
{
    char text[160];
    const int length = std::snprintf(text, sizeof text, "%.1f fps   %.1f steps/s   mean %.1f ms, worst %.1f ms",
                                     Figures.FramesPerSecond, Figures.StepsPerSecond, Figures.MeanFrameTime * 1000.0,
                                     Figures.WorstFrameTime * 1000.0);
    Line.assign(text, static_cast<size_t>(std::clamp(length, 0, static_cast<int>(sizeof text) - 1)));
}

TGraphLayout FrameGraphLayout(int32_t Width, int32_t Height, int32_t TextHeight, int32_t LabelWidth)
{
    TGraphLayout layout;
    layout.TextLeft = Margin + 1;
    layout.TextTop = Height - Margin - TextHeight;
    layout.Base = layout.TextTop - 3;
    layout.LabelRight = Margin + LabelWidth;
    layout.Left = layout.LabelRight + Margin;
    layout.ColumnWidth = std::clamp((Width - Margin - layout.Left) / TFrameGraph::Capacity, 1, MaxColumnWidth);
    return layout;
}

int32_t FrameColumnHeight(double FrameTime)
{
    if (!(FrameTime > 0))
        return 0;
    const double seconds = std::min(FrameTime, static_cast<double>(GraphHeight) / GraphPixelsPerSecond);
    return std::min(GraphHeight, static_cast<int32_t>(std::lround(seconds * GraphPixelsPerSecond)));
}

TFrameGraph::TFrameGraph()
{
    OB_Quad_Init(FQuad, 0.0f);
}

void TFrameGraph::AddFrame(const TFrameSample& Sample)
{
    FNewest = (FNewest + 1) % Capacity;
    FSamples[static_cast<size_t>(FNewest)] = Sample;
    FCount = std::min(FCount + 1, Capacity);
}

void TFrameGraph::Clear()
{
    FNewest = -1;
    FCount = 0;
}

const TFrameSample& TFrameGraph::Sample(int32_t Age) const
{
    OB_ASSERT(Age >= 0 && Age < FCount);
    const int32_t age = std::clamp(Age, 0, Capacity - 1);
    return FSamples[static_cast<size_t>((FNewest - age + Capacity) % Capacity)];
}

TFrameFigures TFrameGraph::Figures() const
{
    TFrameFigures figures;
    figures.Frames = FCount;
    if (FCount == 0)
        return figures;
    double time = 0;
    double progress = 0;
    for (int32_t age = 0; age < FCount; ++age) {
        const TFrameSample& sample = Sample(age);
        time += sample.FrameTime;
        progress += sample.Progress;
        figures.WorstFrameTime = std::max(figures.WorstFrameTime, sample.FrameTime);
    }
    figures.MeanFrameTime = time / FCount;
    if (time > 0) {
        figures.FramesPerSecond = FCount / time;
        figures.StepsPerSecond = progress / time;
    }
    return figures;
}

void TFrameGraph::Draw()
{
    TGfxDevice* device = OB_VideoInfo.Device;
    if (device == nullptr)
        return;
    const auto width = static_cast<int32_t>(OB_VideoInfo.BackBufferDesc.Width);
    const auto height = static_cast<int32_t>(OB_VideoInfo.BackBufferDesc.Height);
    if (width <= 0 || height <= 0)
        return;
    const TGraphLayout layout = FrameGraphLayout(width, height, OB_Font_CellHeight(GraphFont), LabelWidth());

    // One view unit per back-buffer pixel. Every shape is opaque: drawn
    // without blending, an upright quad is one rectangle fill.
    OB_Video_SetView(static_cast<float>(width), static_cast<float>(height),
                     static_cast<float>(width) / static_cast<float>(height));
    const bool blending = device->AlphaBlendEnabled();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    DrawColumns(layout);
    DrawScale(layout);
    DrawStepMarks(layout);
    DrawTextBar(layout);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blending ? 1 : 0);
    OB_Video_SetView(0.0f, 0.0f, 0.0f);

    FormatFrameFigures(Figures(), FLine);   // no allocation once the line has its storage
    OB_Font_DrawText(FLine, layout.TextLeft, layout.TextTop, GraphTextColour, GraphFont, TextAlign);
    for (const TScaleLine& line : ScaleLines)
        OB_Font_DrawText(line.Label, layout.LabelRight, layout.Base - FrameColumnHeight(line.Seconds), GraphLabelColour,
                         GraphFont, LabelAlign);
}

// A dark bar across the screen behind the line of figures keeps it readable
// over anything the scene puts there. Shaded from top to bottom, it is a
// band that the software renderer keeps in memory until the next shape, so
// that the figures drawn next are blended into it there.
void TFrameGraph::DrawTextBar(const TGraphLayout& Layout)
{
    const auto width = static_cast<int32_t>(OB_VideoInfo.BackBufferDesc.Width);
    const auto height = static_cast<int32_t>(OB_VideoInfo.BackBufferDesc.Height);
    PlaceRect(0, Layout.TextTop - 1, width, height);
    FQuad.Vertices[0].Diffuse = GraphBarTopColour;
    FQuad.Vertices[1].Diffuse = GraphBarTopColour;
    FQuad.Vertices[2].Diffuse = GraphBarBottomColour;
    FQuad.Vertices[3].Diffuse = GraphBarBottomColour;
    OB_Quad_Draw(FQuad, nullptr);
}

// Neighbouring columns of one height and colour are filled as one
// rectangle: a steady frame rate costs a handful of fills, not 200.
void TFrameGraph::DrawColumns(const TGraphLayout& Layout)
{
    int32_t runStart = 0;
    int32_t runHeight = 0;
    uint32_t runColour = 0;
    const int32_t first = Capacity - FCount;
    for (int32_t column = first; column <= Capacity; ++column) {
        int32_t height = 0;
        uint32_t colour = 0;
        if (column < Capacity) {
            const TFrameSample& sample = Sample(Capacity - 1 - column);
            height = FrameColumnHeight(sample.FrameTime);
            colour = sample.Rewound ? GraphRewoundColour : sample.Capped ? GraphCappedColour : GraphColumnColour;
        }
        if (column == first || height != runHeight || colour != runColour) {
            if (column > first && runHeight > 0)
                FillRect(Layout.Left + runStart * Layout.ColumnWidth, Layout.Base - runHeight,
                         Layout.Left + column * Layout.ColumnWidth, Layout.Base, runColour);
            runStart = column;
            runHeight = height;
            runColour = colour;
        }
    }
}

// Mark k of a frame sits where k steps' worth of time reaches on the
// scale, so a column's top and its highest mark meet while the world keeps
// pace with real time. Marks at one height on neighbouring columns are
// filled as one rectangle.
void TFrameGraph::DrawStepMarks(const TGraphLayout& Layout)
{
    const int32_t first = Capacity - FCount;
    for (int32_t mark = 1; mark * GraphStepPixels <= GraphHeight; ++mark) {
        const int32_t top = Layout.Base - mark * GraphStepPixels;
        int32_t runStart = -1;
        for (int32_t column = first; column <= Capacity; ++column) {
            const bool marked = column < Capacity && Sample(Capacity - 1 - column).Steps >= static_cast<uint32_t>(mark);
            if (marked && runStart < 0)
                runStart = column;
            if (!marked && runStart >= 0) {
                FillRect(Layout.Left + runStart * Layout.ColumnWidth, top, Layout.Left + column * Layout.ColumnWidth,
                         top + MarkRows, GraphMarkColour);
                runStart = -1;
            }
        }
    }
}

void TFrameGraph::DrawScale(const TGraphLayout& Layout)
{
    const int32_t right = Layout.Left + Capacity * Layout.ColumnWidth;
    for (const TScaleLine& line : ScaleLines) {
        const int32_t row = Layout.Base - FrameColumnHeight(line.Seconds);
        FillRect(Layout.Left, row, right, row + 1, GraphScaleColour);
    }
}

// The rectangle of pixels [Left, Right) x [Top, Bottom).
void TFrameGraph::FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, uint32_t Colour)
{
    PlaceRect(Left, Top, Right, Bottom);
    OB_Quad_SetColor(FQuad, Colour);
    OB_Quad_Draw(FQuad, nullptr);
}

// The quad's corners on pixel centres, where the truncation of a corner to
// its pixel and the fill rules of a triangle rasteriser agree.
void TFrameGraph::PlaceRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom)
{
    const float left = static_cast<float>(Left) + 0.5f;
    const float right = static_cast<float>(Right) + 0.5f;
    const float top = static_cast<float>(Top) + 0.5f;
    const float bottom = static_cast<float>(Bottom) + 0.5f;
    const float x[4] = {left, right, left, right};
    const float y[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i) {
        FQuad.Vertices[i].X = x[i];
        FQuad.Vertices[i].Y = y[i];
    }
}

}   // namespace orbel2
