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
constexpr int FreeColumn = 630;   // under the background, beyond every text

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

    // Watch text is the only blue-tinted thing on the screen; line text is
    // brighter than the background of its row.
    bool WatchInk(int x, int y) const { return Blue(At(x, y)) > Red(At(x, y)) + 20; }
    bool LineInk(int x, int y) const { return x < FreeColumn && Red(At(x, y)) > Red(At(FreeColumn, y)) + 25; }
    template <typename TTest>
    bool InkInRows(int top, int bottom, TTest test) const
    {
        for (int y = std::max(top, 0); y < std::min(bottom, Height); ++y)
            for (int x = 0; x < Width; ++x)
                if ((this->*test)(x, y))
                    return true;
        return false;
    }
    bool WatchRows(int top, int bottom) const { return InkInRows(top, bottom, &ConsoleDisplay::WatchInk); }
    bool LineRows(int top, int bottom) const { return InkInRows(top, bottom, &ConsoleDisplay::LineInk); }
    int RightmostWatchInk() const
    {
        int right = -1;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (WatchInk(x, y))
                    right = std::max(right, x);
        return right;
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

    // Background: the whole width from row 0 to 239, darker at the bottom.
    EXPECT_LT(Red(At(0, 0)), 0xFF);
    EXPECT_LT(Red(At(FreeColumn, 0)), 0xFF);
    EXPECT_LT(Red(At(FreeColumn, 239)), Red(At(FreeColumn, 0)));
    EXPECT_EQ(At(FreeColumn, 241), White);
    // Edit line at row 221, newest output line at 202, older ones up to the top.
    EXPECT_TRUE(LineRows(221, 221 + 16));
    EXPECT_TRUE(LineRows(202, 202 + 16));
    EXPECT_TRUE(LineRows(0, 12));
    EXPECT_FALSE(LineRows(241, Height));
    // Watches end at x 608, from row 24 in steps of 19.
    EXPECT_GE(RightmostWatchInk(), 605);
    EXPECT_LE(RightmostWatchInk(), 607);
    EXPECT_FALSE(WatchRows(0, 24));
    EXPECT_TRUE(WatchRows(24, 43) && WatchRows(43, 62));
    EXPECT_FALSE(WatchRows(62, Height));
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
    EXPECT_FALSE(LineRows(0, Height));
    // The removed watch takes no row: the one after it moves up.
    EXPECT_TRUE(WatchRows(24, 43) && WatchRows(43, 62));
    EXPECT_FALSE(WatchRows(62, Height));
}

TEST_F(ConsoleDisplay, ConsoleHeightMovesTheEditLine)
{
    SetConsoleVisible(true);
    ConsoleInfo.Height = 1.0f;
    DrawFrame();
    EXPECT_LT(Red(At(FreeColumn, 479)), 0xFF);
    EXPECT_TRUE(LineRows(461, 461 + 16));
    // Each line held takes one row above it, the oldest the highest.
    const int oldestRow = 461 - 19 * ConsoleLines()->Count();
    ASSERT_GT(oldestRow, 0);
    EXPECT_TRUE(LineRows(oldestRow, oldestRow + 16));
    EXPECT_FALSE(LineRows(0, oldestRow));

    // A console of no height puts everything above the screen.
    ConsoleInfo.Height = 0.0f;
    DrawFrame();
    EXPECT_EQ(At(FreeColumn, 0), White);
    EXPECT_FALSE(LineRows(0, Height));
}
