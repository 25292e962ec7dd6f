#include "console/OB_Console.h"
#include "video/platform/OB_KeyMap.h"

#include <gtest/gtest.h>

namespace {

void Type(const std::string& Text)
{
    for (const char ch : Text)
        ConsoleChar(ch);
}

void Enter(const std::string& Text)
{
    Type(Text);
    ConsoleKeyDown(VK_RETURN);
}

} // namespace

TEST(ConsoleEdit, HiddenConsoleTakesNothingAndTypingKeepsPrintableBytes)
{
    ConsolePrint("before init is dropped");
    ScrollConsole(5);
    EXPECT_EQ(ConsoleScrollOffset(), 0);
    ConsoleInit();
    EXPECT_FALSE(ConsoleChar('a'));
    EXPECT_FALSE(ConsoleKeyDown(VK_RETURN));
    EXPECT_EQ(ConsoleEditLine(), "");

    ToggleConsole();
    EXPECT_TRUE(ConsoleKeyDown(VK_BACK));
    EXPECT_TRUE(ConsoleChar('a'));
    for (const char ch : {'\t', '\r', '\x1f', '\x80', '\xff'})
        ConsoleChar(ch);
    ConsoleChar('\x7f');
    EXPECT_EQ(ConsoleEditLine(), "a\x7f");
    ConsoleKeyDown(VK_BACK);
    ConsoleKeyDown(VK_HOME);
    ConsoleKeyDown(VK_LEFT);
    EXPECT_EQ(ConsoleEditLine(), "a");

    // Hiding keeps the edit line until the console is shown again.
    SetConsoleVisible(false);
    EXPECT_FALSE(ConsoleKeyDown(VK_BACK));
    SetConsoleVisible(true);
    EXPECT_EQ(ConsoleEditLine(), "a");
    ConsoleKeyDown(VK_BACK);
    const int32_t lines = ConsoleLines()->Count();
    ConsoleKeyDown(VK_RETURN);
    EXPECT_EQ(ConsoleLines()->Count(), lines);
    EXPECT_EQ(ConsoleHistory()->Count(), 0);
}

TEST(ConsoleEdit, TabCompletesOnlyAUniqueCommandWord)
{
    ConsoleInit();
    SetConsoleVisible(true);
    Type("vid");
    ConsoleKeyDown(VK_TAB);
    EXPECT_EQ(ConsoleEditLine(), "vid");
    EXPECT_EQ(ConsoleLines()->Get(0), "Matches: vid_size  vid_info  ");

    ConsoleKeyDown(VK_BACK);
    ConsoleKeyDown(VK_BACK);
    ConsoleKeyDown(VK_BACK);
    Type("se x");
    ConsoleKeyDown(VK_TAB);
    EXPECT_EQ(ConsoleEditLine(), "set ");

    for (const std::string& line : {std::string("zz"), std::string(" he"), std::string("helpme")}) {
        ConsoleKeyDown(VK_RETURN);
        Type(line);
        const int32_t count = ConsoleLines()->Count();
        const std::string newest = ConsoleLines()->Get(0);
        ConsoleKeyDown(VK_TAB);
        EXPECT_EQ(ConsoleEditLine(), line);
        EXPECT_EQ(ConsoleLines()->Get(0), newest);
        EXPECT_EQ(ConsoleLines()->Count(), count);
    }
}

TEST(ConsoleEdit, HistoryBrowsesBackTwentyLinesAndDownReturnsToAnEmptyLine)
{
    ConsoleInit();
    SetConsoleVisible(true);
    Type("typed");
    ConsoleKeyDown(VK_DOWN);
    EXPECT_EQ(ConsoleEditLine(), "typed");   // empty history: nothing happens
    for (int n = 0; n < 5; ++n)
        ConsoleKeyDown(VK_BACK);

    Enter("one");
    Enter("two");
    Enter("three");
    ConsoleKeyDown(VK_UP);
    EXPECT_EQ(ConsoleEditLine(), "three");
    ConsoleKeyDown(VK_UP);
    ConsoleKeyDown(VK_UP);
    ConsoleKeyDown(VK_UP);
    EXPECT_EQ(ConsoleEditLine(), "one");
    EXPECT_EQ(ConsoleHistoryIndex(), 2);
    ConsoleKeyDown(VK_DOWN);
    EXPECT_EQ(ConsoleEditLine(), "two");
    ConsoleKeyDown(VK_DOWN);
    ConsoleKeyDown(VK_DOWN);
    EXPECT_EQ(ConsoleEditLine(), "");
    Type("draft");
    ConsoleKeyDown(VK_DOWN);
    EXPECT_EQ(ConsoleEditLine(), "");

    for (int n = 4; n <= 25; ++n)
        Enter("line " + std::to_string(n));
    for (int n = 0; n < 30; ++n)
        ConsoleKeyDown(VK_UP);
    EXPECT_EQ(ConsoleHistoryIndex(), 19);
    EXPECT_EQ(ConsoleEditLine(), "line 6");
    Enter("");   // executing the recalled line ends browsing
    EXPECT_EQ(ConsoleHistoryIndex(), -1);
    EXPECT_EQ(ConsoleHistory()->Get(0), "line 6");
}

TEST(ConsoleEdit, ScrollingStaysWithinTheLinesHeld)
{
    ConsoleInit();
    SetConsoleVisible(true);
    for (int n = 0; n < 4; ++n)
        ConsolePrint("out");
    for (int n = 0; n < 10; ++n)
        ConsoleKeyDown(VK_PRIOR);
    EXPECT_EQ(ConsoleScrollOffset(), 4);
    ConsolePrint("newer");   // new output does not move the view
    EXPECT_EQ(ConsoleScrollOffset(), 4);
    ScrollConsole(INT32_MAX);
    EXPECT_EQ(ConsoleScrollOffset(), 5);
    for (int n = 0; n < 10; ++n)
        ConsoleKeyDown(VK_NEXT);
    EXPECT_EQ(ConsoleScrollOffset(), 0);
    ScrollConsole(INT32_MIN);
    EXPECT_EQ(ConsoleScrollOffset(), 0);
}
