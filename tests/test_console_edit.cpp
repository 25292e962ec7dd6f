#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleCommands.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/kernel/OB_KeyCodes.h"

#include <gtest/gtest.h>

using namespace orbel2;

namespace {

void Type(const std::string& Text)
{
    for (const char ch : Text)
        ConsoleChar(ch);
}

void Keys(uint16_t Key, int Times = 1)
{
    for (int n = 0; n < Times; ++n)
        ConsoleKeyDown(Key);
}

}   // namespace

TEST(ConsoleEdit, HiddenConsoleTakesNothingAndTabCompletesOnlyAUniqueCommandWord)
{
    ConsoleInit();
    EXPECT_FALSE(ConsoleChar('v'));
    EXPECT_FALSE(ConsoleKeyDown(VK_RETURN));
    SetConsoleVisible(true);
    Type("\t\x80vid");   // bytes that are not printable are dropped
    Keys(VK_TAB);
    EXPECT_EQ(ConsoleEditLine(), "vid");
    EXPECT_EQ(ConsoleLines()->Get(0), "Matches: vid_size  vid_info  ");

    Keys(VK_BACK, 3);
    Type("se x");
    Keys(VK_TAB);
    EXPECT_EQ(ConsoleEditLine(), "set ");

    // No match: nothing changes or prints.
    Keys(VK_RETURN);
    Type("zz");
    const int32_t count = ConsoleLines()->Count();
    Keys(VK_TAB);
    EXPECT_EQ(ConsoleEditLine(), "zz");
    EXPECT_EQ(ConsoleLines()->Count(), count);
}

TEST(ConsoleEdit, HistoryBrowsesBackTwentyLinesAndDownReturnsToAnEmptyLine)
{
    ConsoleInit();
    SetConsoleVisible(true);
    for (int n = 1; n <= 25; ++n)
        ExecuteLine("line " + std::to_string(n));
    Keys(VK_UP, 30);
    EXPECT_EQ(ConsoleHistoryIndex(), 19);
    EXPECT_EQ(ConsoleEditLine(), "line 6");
    Keys(VK_DOWN, 20);
    EXPECT_EQ(ConsoleEditLine(), "");
}

TEST(ConsoleEdit, AnEmptyEnterEndsBrowsingSoUpRecallsTheNewestLine)
{
    ConsoleInit();
    SetConsoleVisible(true);
    ExecuteLine("older");
    ExecuteLine("newest");
    Keys(VK_UP, 2);
    EXPECT_EQ(ConsoleEditLine(), "older");
    Keys(VK_BACK, 5);
    Keys(VK_RETURN);
    Keys(VK_UP);
    EXPECT_EQ(ConsoleEditLine(), "newest");
}
