#include "TestSupport.h"
#include "orbel2/console/OB_ConsoleDraw.h"

using namespace orbel2;

namespace {

constexpr int FreeColumn = 630;   // under the background, beyond every text

int Red(uint32_t c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}
int Blue(uint32_t c)
{
    return static_cast<int>(c & 0xFF);
}

// The console drawn at 640 x 480 over a white scene.
class ConsoleDisplay : public THeadlessEngineTest {
protected:
    void DrawFrame()
    {
        OB_Video_Clear(0xFFFFFFFF);
        OB_Video_BeginScene();
        ConsoleDraw();
        OB_Video_EndScene();
        Pixels = ReadScreen();
    }
    uint32_t At(int x, int y) const { return Pixels[size_t(y * 640 + x)]; }

    // The rows and right-most column of the watch text, the only blue-tinted
    // thing on the screen.
    struct TBox {
        int Top = 480, Bottom = -1, Right = -1;
    };
    TBox WatchInk() const
    {
        TBox box;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (Blue(At(x, y)) > Red(At(x, y)) + 20)
                    box = {std::min(box.Top, y), std::max(box.Bottom, y), std::max(box.Right, x)};
        return box;
    }
    // Watches take rows of 19 from row 24.
    bool TwoWatchRows() const
    {
        const TBox watches = WatchInk();
        return watches.Top >= 24 && watches.Top < 43 && watches.Bottom >= 43 && watches.Bottom < 62;
    }
    // Line text is brighter than the background of its row.
    bool LineInk(int top, int bottom) const
    {
        for (int y = std::max(top, 0); y < std::min(bottom, 480); ++y)
            for (int x = 0; x < FreeColumn; ++x)
                if (Red(At(x, y)) > Red(At(FreeColumn, y)) + 25)
                    return true;
        return false;
    }

    std::vector<uint32_t> Pixels;
};

}   // namespace

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
    EXPECT_LT(Red(At(FreeColumn, 239)), Red(At(FreeColumn, 0)));
    EXPECT_EQ(At(FreeColumn, 241), 0xFFFFFFu);
    // Edit line at row 221, newest output line at 202, older ones up to the top.
    EXPECT_TRUE(LineInk(221, 221 + 16) && LineInk(202, 202 + 16) && LineInk(0, 12));
    EXPECT_FALSE(LineInk(241, 480));
    // Watches end at x 608.
    EXPECT_TRUE(WatchInk().Right >= 605 && WatchInk().Right <= 607) << WatchInk().Right;
    EXPECT_TRUE(TwoWatchRows());
}

TEST_F(ConsoleDisplay, HiddenConsoleDrawsOnlyTheWatchesWithNoGapsAndNoStateChange)
{
    ConsolePrint("a line that must not show");
    static int32_t drawTest = 7;
    AddVariable("drawtest", &drawTest);
    AddWatch("fps");
    AddWatch("consoleheight");
    AddWatch("drawtest");
    RemoveWatch("consoleheight");
    SetConsoleVisible(false);
    const bool blendBefore = OB_VideoInfo.Device->AlphaBlendEnabled();
    DrawFrame();

    EXPECT_EQ(OB_VideoInfo.Device->AlphaBlendEnabled(), blendBefore);
    EXPECT_EQ(At(FreeColumn, 0), 0xFFFFFFu);
    EXPECT_FALSE(LineInk(0, 480));
    // The removed watch takes no row: the one after it moves up.
    EXPECT_TRUE(TwoWatchRows());
}

TEST_F(ConsoleDisplay, ConsoleHeightMovesTheEditLine)
{
    SetConsoleVisible(true);
    ConsoleInfo.Height = 1.0f;
    DrawFrame();
    EXPECT_LT(Red(At(FreeColumn, 479)), 0xFF);
    EXPECT_TRUE(LineInk(461, 461 + 16));
    // A console of no height puts everything above the screen.
    ConsoleInfo.Height = 0.0f;
    DrawFrame();
    EXPECT_EQ(At(FreeColumn, 0), 0xFFFFFFu);
    EXPECT_FALSE(LineInk(0, 480));
}

// Whatever code writes into the console's sizes, its rows are worked out
// without overflow, and it is drawn as if its height were held to the
// screen: higher than the screen as the whole screen, below 0 or not a
// number as no console. A line height that puts every row off the screen
// leaves the background and the first watch.
TEST_F(ConsoleDisplay, AnyHeightOrLineHeightIsDrawnSafely)
{
    for (int i = 0; i < 150; ++i)
        ConsolePrint("output line " + std::to_string(i));
    AddWatch("fps");   // twice: the second row moves with the line height
    AddWatch("fps");
    SetConsoleVisible(true);
    const auto drawnAs = [this](float height) {
        ConsoleInfo.Height = height;
        DrawFrame();
        return Pixels;
    };
    const std::vector<uint32_t> whole = drawnAs(1.0f);
    for (float height : {67108864.0f, 268435456.0f, 1.5f, 3.4e38f, INFINITY})
        EXPECT_EQ(drawnAs(height), whole) << height;
    const std::vector<uint32_t> none = drawnAs(0.0f);
    for (float height : {-1.0f, -67108864.0f, -3.4e38f, -INFINITY, NAN})
        EXPECT_EQ(drawnAs(height), none) << height;

    ConsoleInfo.Height = 0.5f;
    ConsoleInfo.LineHeight = 100000;
    DrawFrame();
    const std::vector<uint32_t> rowsOff = Pixels;
    EXPECT_FALSE(LineInk(0, 240));
    for (int32_t lineHeight : {INT32_MAX, INT32_MIN, 1 << 30, -(1 << 30), -100000}) {
        ConsoleInfo.LineHeight = lineHeight;
        DrawFrame();
        EXPECT_EQ(Pixels, rowsOff) << lineHeight;
    }
}
