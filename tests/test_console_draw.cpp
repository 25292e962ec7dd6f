#include "console/OB_Console.h"
#include "console/OB_ConsoleDraw.h"
#include "kernel/OB_Kernel.h"
#include "video/OB_Video.h"
#include "video/platform/OB_GfxDevice.h"
#include "TestSupport.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t White = 0xFFFFFFFF;
constexpr int Width = 640;
constexpr int Height = 480;
// A column that the background covers and no text of these tests reaches.
constexpr int FreeColumn = 630;

int Red(uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int Blue(uint32_t c) { return static_cast<int>(c & 0xFF); }

class ConsoleDisplay : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        OB_Kernel_Init();
        OB_Video_Open(nullptr, Width, Height, 32, false, true, 0);
        OB_Video_SetVirtualSize(800, 600, 0);
    }
    void TearDown() override
    {
        OB_Video_Close();
        OB_Kernel_Finalize();
        TTempDirTest::TearDown();
    }

    // One frame of the console over a white scene.
    void DrawFrame()
    {
        OB_Video_Clear(White);
        OB_Video_BeginScene();
        ConsoleDraw();
        OB_Video_EndScene();
        ASSERT_TRUE(OB_VideoInfo.Device->ReadPixels(0, 0, Width, Height, Pixels));
    }

    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }

    // Watch text is blue-tinted; nothing else on the screen is.
    bool IsWatchInk(int x, int y) const { return Blue(At(x, y)) > Red(At(x, y)) + 20; }
    int RightmostWatchInk() const
    {
        int right = -1;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (IsWatchInk(x, y))
                    right = std::max(right, x);
        return right;
    }
    bool WatchInkInRows(int top, int bottom) const
    {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < Width; ++x)
                if (IsWatchInk(x, y))
                    return true;
        return false;
    }
    // Text of the edit and output lines: brighter than the background in
    // the same row where no text reaches.
    bool LineInkInRows(int top, int bottom) const
    {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < FreeColumn; ++x)
                if (Red(At(x, y)) > Red(At(FreeColumn, y)) + 25)
                    return true;
        return false;
    }

    std::vector<uint32_t> Pixels;
};

} // namespace

TEST_F(ConsoleDisplay, ShownConsoleLaysOutBackgroundLinesAndWatches)
{
    for (int i = 0; i < 150; ++i)
        ConsolePrint("output line " + std::to_string(i));
    AddWatch("fps");
    AddWatch("consoleheight");
    SetConsoleVisible(true);
    DrawFrame();

    // Background: across the whole width, shaded from row 0 to row 239,
    // darker at the bottom; the scene below it untouched.
    EXPECT_LT(Red(At(0, 0)), 0xFF);
    EXPECT_LT(Red(At(Width - 1, 0)), 0xFF);
    EXPECT_LT(Red(At(FreeColumn, 0)), 0xFF);
    EXPECT_LT(Red(At(FreeColumn, 239)), Red(At(FreeColumn, 0)));
    EXPECT_EQ(At(FreeColumn, 241), White);
    EXPECT_EQ(At(FreeColumn, 479), White);

    // Edit line from row 221, the newest output line from row 202, and the
    // rows above filled with older lines up to the top.
    EXPECT_TRUE(LineInkInRows(221, 221 + 16));
    EXPECT_TRUE(LineInkInRows(202, 202 + 16));
    EXPECT_TRUE(LineInkInRows(0, 12));
    EXPECT_FALSE(LineInkInRows(241, Height));

    // Watches: right-aligned to x 608 from row 24 in steps of 19.
    const int right = RightmostWatchInk();
    EXPECT_LE(right, 607);
    EXPECT_GE(right, 605);
    EXPECT_FALSE(WatchInkInRows(0, 24));
    EXPECT_TRUE(WatchInkInRows(24, 43));
    EXPECT_TRUE(WatchInkInRows(43, 62));
    EXPECT_FALSE(WatchInkInRows(62, Height));
    EXPECT_TRUE(OB_VideoInfo.Device->AlphaBlendEnabled());
}

TEST_F(ConsoleDisplay, HiddenConsoleDrawsOnlyTheWatchesWithNoGapsAndNoStateChange)
{
    ConsolePrint("a line that must not show");
    static int32_t drawTest = 7;
    AddVariable("drawtest", TVariableType::vtInt, &drawTest);
    AddWatch("fps");
    AddWatch("consoleheight");
    AddWatch("drawtest");
    RemoveWatch("consoleheight");
    SetConsoleVisible(false);
    const bool blendBefore = OB_VideoInfo.Device->AlphaBlendEnabled();
    DrawFrame();

    EXPECT_EQ(OB_VideoInfo.Device->AlphaBlendEnabled(), blendBefore);
    EXPECT_EQ(At(FreeColumn, 0), White);
    EXPECT_EQ(At(FreeColumn, 239), White);
    EXPECT_FALSE(LineInkInRows(0, Height));
    EXPECT_LE(RightmostWatchInk(), 607);
    // The removed watch takes no row: what follows it moves up.
    EXPECT_TRUE(WatchInkInRows(24, 43));
    EXPECT_TRUE(WatchInkInRows(43, 62));
    EXPECT_FALSE(WatchInkInRows(62, Height));
}

TEST_F(ConsoleDisplay, ConsoleHeightMovesTheEditLine)
{
    ConsolePrint("newest");
    SetConsoleVisible(true);

    ConsoleInfo.Height = 1.0f;
    DrawFrame();
    EXPECT_LT(Red(At(FreeColumn, 479)), 0xFF);
    EXPECT_TRUE(LineInkInRows(461, 461 + 16));
    // Each line held takes one row above it, the oldest the highest.
    const int oldestRow = 461 - 19 * ConsoleLines()->Count();
    ASSERT_GT(oldestRow, 0);
    EXPECT_TRUE(LineInkInRows(442, 442 + 16));
    EXPECT_TRUE(LineInkInRows(oldestRow, oldestRow + 16));
    EXPECT_FALSE(LineInkInRows(0, oldestRow));

    // A console of no height puts everything above the screen.
    ConsoleInfo.Height = 0.0f;
    DrawFrame();
    EXPECT_EQ(At(FreeColumn, 0), White);
    EXPECT_FALSE(LineInkInRows(0, Height));

    // Even an empty edit line shows its prompt.
    ConsoleInfo.Height = 0.5f;
    DrawFrame();
    EXPECT_EQ(ConsoleEditLine(), "");
    EXPECT_TRUE(LineInkInRows(221, 221 + 16));
}
