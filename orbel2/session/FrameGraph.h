// The live graph of frames and steps ("graph 1"): a strip along the bottom
// of the screen with one column per frame for the last 200 frames, its
// height the frame's time, a mark on it for each fixed step the frame ran,
// scale lines at 1/60 s and 0.1 s, and under it one line of figures over
// those frames: frames per second, steps per second, mean and worst frame
// time. It is drawn with the engine's quads and fonts after the scene and
// before the console, in back-buffer pixels, so it keeps its size in every
// video mode (full screen shows the 800 x 600 back buffer scaled up).
#pragma once

#include "orbel2/video/OB_Primitive.h"

#include <array>
#include <cstdint>
#include <string>

namespace orbel2 {

struct TFrameSample {
    double FrameTime = 0;   // seconds the frame simulated (before play speed)
    uint32_t Steps = 0;   // fixed steps it ran
    bool Capped = false;   // it hit the per-frame step cap and dropped time
    bool Rewound = false;   // its steps went backwards (the rewind key)
    // Steps' worth of simulated time the frame paid for: the steps it ran
    // plus the change in the part of the next step already paid for.
    double Progress = 0;
};

// Over the frames in the window; all 0 while it is empty.
struct TFrameFigures {
    int32_t Frames = 0;
    double FramesPerSecond = 0;
    double StepsPerSecond = 0;   // 50 at play speed 1, whatever the frame rate
    double MeanFrameTime = 0;   // seconds
    double WorstFrameTime = 0;
};

// "60.0 fps   50.0 steps/s   mean 16.7 ms, worst 17.1 ms": the frame times
// are the mean and the worst.
std::string FrameFiguresText(const TFrameFigures& Figures);
// The same line written into Line, reusing its storage.
void FormatFrameFigures(const TFrameFigures& Figures, std::string& Line);

// Where the strip's parts lie on a back buffer, in pixels. Column c (0 the
// oldest, Capacity - 1 the newest) spans [Left + c ColumnWidth, + ColumnWidth);
// a height of h pixels fills the rows [Base - h, Base).
struct TGraphLayout {
    int32_t Left = 0;
    int32_t ColumnWidth = 1;
    int32_t Base = 0;
    int32_t LabelRight = 0;   // scale labels end here
    int32_t TextLeft = 0;   // the line of figures
    int32_t TextTop = 0;
};
TGraphLayout FrameGraphLayout(int32_t Width, int32_t Height, int32_t TextHeight, int32_t LabelWidth);

// Pixels of the frame-time scale: 0.1 s is 50 pixels, a step of 0.02 s 10.
constexpr double GraphPixelsPerSecond = 500;
constexpr int32_t GraphHeight = 60;   // 0.12 s; longer frames are cut there
constexpr int32_t GraphStepPixels = 10;
// Height of a frame's column; 0 for no time or not a number.
int32_t FrameColumnHeight(double FrameTime);

constexpr uint32_t GraphColumnColour = 0xFF40A040;
constexpr uint32_t GraphCappedColour = 0xFFFFA000;   // frames that hit the step cap
constexpr uint32_t GraphRewoundColour = 0xFF40A0FF;   // frames that stepped the world back
constexpr uint32_t GraphMarkColour = 0xFFFFE040;   // one 2-pixel mark per step
constexpr uint32_t GraphScaleColour = 0xFF707070;
constexpr uint32_t GraphLabelColour = 0xFFA0A0A0;
constexpr uint32_t GraphTextColour = 0xFFDDDDDD;
constexpr uint32_t GraphBarTopColour = 0xFF282828;   // the bar behind the figures
constexpr uint32_t GraphBarBottomColour = 0xFF141414;

class TFrameGraph {
public:
    static constexpr int32_t Capacity = 200;

    TFrameGraph();

    void AddFrame(const TFrameSample& Sample);
    void Clear();
    int32_t Count() const { return FCount; }
    // Age 0 is the newest frame; 0 <= Age < Count().
    const TFrameSample& Sample(int32_t Age) const;
    TFrameFigures Figures() const;
    // The line of figures as the last Draw drew it.
    const std::string& FiguresLine() const { return FLine; }

    // Draws the strip on the open device, inside the frame's scene.
    void Draw();

private:
    void DrawColumns(const TGraphLayout& Layout);
    void DrawStepMarks(const TGraphLayout& Layout);
    void DrawScale(const TGraphLayout& Layout);
    void DrawTextBar(const TGraphLayout& Layout);
    void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, uint32_t Colour);
    void PlaceRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);

    std::array<TFrameSample, Capacity> FSamples{};
    int32_t FNewest = -1;
    int32_t FCount = 0;
    TQuad FQuad;
    std::string FLine;
};

}   // namespace orbel2
