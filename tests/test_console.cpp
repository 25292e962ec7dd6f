#include "console/OB_Console.h"
#include "console/OB_Logfile.h"
#include "kernel/OB_Messages.h"
#include "video/OB_Video.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>

namespace {

const std::string Mark = "\x01mark";

// The lines printed since the last Mark, oldest first.
std::vector<std::string> SinceMark()
{
    std::vector<std::string> lines;
    const TStringStack& output = *ConsoleLines();
    for (int32_t n = 0; n < output.Count() && output.Get(n) != Mark; ++n)
        lines.insert(lines.begin(), output.Get(n));
    return lines;
}

// The lines one typed line prints, its echo first.
std::vector<std::string> Typed(const std::string& Line)
{
    ConsolePrint(Mark);
    ExecuteLine(Line);
    return SinceMark();
}

using Lines = std::vector<std::string>;

} // namespace

TEST(Console, LanguageSplitsWordsAndReportsUnknownAndRefusedCommands)
{
    ConsoleInit();
    EXPECT_EQ(ConsoleLines()->Get(0), "Orbel2 At your service!");
    EXPECT_EQ(Typed("  get  fps"), (Lines{"  get  fps", "fps = 0"}));
    EXPECT_EQ(Typed("set\tfps  5"), (Lines{"set\tfps  5"}));
    EXPECT_EQ(OB_VideoInfo.FPS, 5);
    EXPECT_EQ(Typed("get fps "), (Lines{"get fps ", "Error: get {variable} - Get a variables value"}));
    EXPECT_EQ(Typed("HELP"), (Lines{"HELP", "Unknown command: HELP"}));
    EXPECT_EQ(Typed("set x 1"), (Lines{"set x 1"}));
    const int32_t historyBefore = ConsoleHistory()->Count();
    EXPECT_EQ(Typed(""), Lines{});
    EXPECT_EQ(ConsoleHistory()->Count(), historyBefore);
    EXPECT_FALSE(ExecuteCommand("nosuch", {}));

    // A command with an empty help text: its refusal line ends in one blank.
    AddCommand("refuse", "", [](const std::vector<std::string>&, int32_t, void*) { return false; }, nullptr);
    EXPECT_EQ(Typed("refuse 'a b'"), (Lines{"refuse 'a b'", "Error: refuse "}));
}

TEST(Console, StrangeLinesLeaveTheConsoleUsable)
{
    ConsoleInit();
    const std::string blanks(10000, ' ');
    EXPECT_EQ(Typed(blanks), (Lines{blanks, "Unknown command: "}));
    const std::string control = std::string("\x01\x02\x7f\r\n", 5);
    EXPECT_EQ(Typed(control).back(), "Unknown command: " + control);

    // A million characters of words: split in linear time, every word passed.
    std::string huge = "count";
    for (int i = 0; i < 500000; ++i)
        huge += " x";
    int32_t seen = 0;
    AddCommand("count", "", [](const std::vector<std::string>&, int32_t n, void* d) {
        *static_cast<int32_t*>(d) = n;
        return true;
    }, &seen);
    ExecuteLine(huge);
    EXPECT_EQ(seen, 500000);
    EXPECT_EQ(Typed("set fps 99999999999"), (Lines{"set fps 99999999999"}));
    EXPECT_EQ(Typed("get fps"), (Lines{"get fps", "fps = 0"}));
}

TEST(Console, ErrorsRaisedByCommandsBecomeConsoleLines)
{
    ConsoleInit();
    AddCommand("boom", "", [](const std::vector<std::string>&, int32_t, void*) -> bool {
        throw OB_EVideoError("No video device is open");
    }, nullptr);
    AddCommand("io", "", [](const std::vector<std::string>&, int32_t, void*) -> bool {
        throw EInOutError("Cannot create file run1");
    }, nullptr);
    EXPECT_EQ(Typed("boom"), (Lines{"boom", "Error: No video device is open"}));
    EXPECT_EQ(Typed("io"), (Lines{"io", "Error: Cannot create file run1"}));
    EXPECT_TRUE(ExecuteCommand("boom", {}));
    EXPECT_EQ(Typed("vid_size 640"),
              (Lines{"vid_size 640", "Error: vid_size {width} {height} [full=0/1] - Change video mode"}));
    EXPECT_EQ(Typed("get fps"), (Lines{"get fps", "fps = 0"}));
}

TEST(Console, IntegersFollowTheGrammarAndRoundTripEveryUintText)
{
    EXPECT_EQ(ConsoleReadInteger("  -12"), static_cast<uint32_t>(-12));
    EXPECT_EQ(ConsoleReadInteger("+7"), 7u);
    EXPECT_EQ(ConsoleReadInteger("2147483647"), 2147483647u);
    EXPECT_EQ(ConsoleReadInteger("-2147483648"), 0x80000000u);
    EXPECT_EQ(ConsoleReadInteger("2147483648"), 0u);
    EXPECT_EQ(ConsoleReadInteger("4294967295"), 0u);
    EXPECT_EQ(ConsoleReadInteger("$FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ConsoleReadInteger("$100000000"), 0u);
    EXPECT_EQ(ConsoleReadInteger("0x1f"), 31u);
    EXPECT_EQ(ConsoleReadInteger("X1F"), 31u);
    EXPECT_EQ(ConsoleReadInteger("x1f"), 31u);
    EXPECT_EQ(ConsoleReadInteger("0X00000000001F"), 31u);
    for (const char* bad : {"", "-", "$", "0x", "12abc", "1 2", "abc", "1.5", "--1", "$G"})
        EXPECT_EQ(ConsoleReadInteger(bad), 0u) << bad;
    EXPECT_EQ(ConsoleReadInteger(std::string(1000000, '9')), 0u);

    uint32_t value = 0;
    TVariableInfo variable{"u", &value, TVariableType::vtUInt};
    for (uint32_t bits : {0u, 31u, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        value = bits;
        const std::string text = VariableValueText(variable);
        EXPECT_EQ(ConsoleReadInteger(text), bits) << text;
    }
    value = 31;
    EXPECT_EQ(VariableValueText(variable), "$0000001F");
}

TEST(Console, DecimalNumbersRejectWordsTheLibraryWouldAccept)
{
    EXPECT_EQ(ConsoleReadNumber("  0.25"), 0.25);
    EXPECT_EQ(ConsoleReadNumber("+1.5e2"), 150.0);
    EXPECT_EQ(ConsoleReadNumber("-.5"), -0.5);
    EXPECT_EQ(ConsoleReadNumber("5."), 5.0);
    EXPECT_EQ(ConsoleReadNumber("3E-2"), 0.03);
    for (const char* bad : {"inf", "nan", "0x1p3", "12abc", "1e", "1e+", ".", "-", "", "1.2.3", "1e5x", "1e400"})
        EXPECT_EQ(ConsoleReadNumber(bad), 0.0) << bad;
    EXPECT_EQ(ConsoleReadNumber(std::string(1000000, '7')), 0.0);
    EXPECT_EQ(ConsoleReadNumber("0." + std::string(1000000, '0') + "5e1000000"), 0.5);
}

TEST(Console, SetAndGetStoreEveryTypeThroughItsAddress)
{
    ConsoleInit();
    uint32_t u = 0;
    int32_t i = 0;
    float f = 0, twin = 0;
    double d = 0;
    char s[6] = "old";
    bool b = true;
    AddVariable("u", TVariableType::vtUInt, &u);
    AddVariable("i", TVariableType::vtInt, &i);
    AddVariable("f", TVariableType::vtFloat, &f);
    AddVariable("f", TVariableType::vtFloat, &twin);
    AddVariable("d", TVariableType::vtDouble, &d);
    AddVariable("s", TVariableType::vtString, s, sizeof s);
    AddVariable("b", TVariableType::vtBoolean, &b);

    Typed("set u $FFFFFFFF");
    Typed("set i -42");
    Typed("set f 0.1");
    Typed("set d 0.25");
    EXPECT_EQ(u, 0xFFFFFFFFu);
    EXPECT_EQ(Typed("get u"), (Lines{"get u", "u = $FFFFFFFF"}));
    EXPECT_EQ(Typed("get i"), (Lines{"get i", "i = -42"}));
    EXPECT_EQ(Typed("get f"), (Lines{"get f", "f = 0.100000001490116", "f = 0.100000001490116"}));
    EXPECT_EQ(Typed("get d"), (Lines{"get d", "d = 0.25"}));
    EXPECT_EQ(Typed("get b"), (Lines{"get b", "b = "}));
    Typed("set b 0");
    EXPECT_TRUE(b);

    // Float range: 3e38 is stored, a value beyond the float range reads as 0.
    Typed("set f 3e38");
    EXPECT_EQ(f, 3e38f);
    Typed("set f 3.4028235e38");
    EXPECT_EQ(f, FLT_MAX);
    Typed("set f 1e39");
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(twin, 0.0f);

    // A string buffer is never written past its capacity.
    Typed("set s abcde");
    EXPECT_STREQ(s, "abcde");
    EXPECT_EQ(Typed("set s abcdef"), (Lines{"set s abcdef", "Error: set {variable} {value} - Set a variables value"}));
    EXPECT_STREQ(s, "abcde");
    std::memcpy(s, "xy\0zw", 6);
    EXPECT_EQ(Typed("get s"), (Lines{"get s", "s = xy"}));

    Typed("set consoleheight 0.25");
    EXPECT_EQ(ConsoleInfo.Height, 0.25f);
    EXPECT_EQ(Typed("get consoleheight"), (Lines{"get consoleheight", "consoleheight = 0.25"}));
}

TEST_F(TTempDirTest, ConsoleHelpVarsAndWatchesListInRegistrationOrder)
{
    LogInit();
    ConsoleInit();
    const std::string rule(47, '-');
    EXPECT_EQ(Typed("help me"), (Lines{"help me", "Registered Commands:", rule,
                                     "write Write a message to the logfile",
                                     "help - List of registered commands",
                                     "set {variable} {value} - Set a variables value",
                                     "get {variable} - Get a variables value",
                                     "vars - Show list of variables",
                                     "vid_size {width} {height} [full=0/1] - Change video mode",
                                     "vid_info Displays video info",
                                     "watch [variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch",
                                     "res lists resources in system"}));
    EXPECT_EQ(Typed("vars"),
              (Lines{"vars", "Registered variables:", rule, "consoleheight (FLOAT)", "fps (INT)"}));

    Typed("watch fps");
    Typed("watch consoleheight 1");
    Typed("watch fps");
    EXPECT_EQ(ConsoleWatches(), (std::vector<int32_t>{1, 0, 1}));
    Typed("watch fps 0");
    Typed("watch consoleheight");
    EXPECT_EQ(ConsoleWatches(), (std::vector<int32_t>{-1, 0, -1, 0}));
    EXPECT_EQ(Typed("watch").back(),
              "Error: watch [variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch");
    LogShutdown();
}

TEST(Console, KernelMessagesAreEchoedAndOutputIsBounded)
{
    ConsoleInit();
    std::string reason = "Cannot create font Arial";
    OB_SendMessage(MSG_VIDEODEVICELOST, nullptr, 0);
    OB_SendMessage(MSG_DUMMYOBJECT, &reason, 0);
    OB_SendMessage(0x201, nullptr, 0);
    EXPECT_EQ(ConsoleLines()->Get(1), "Kernel message: MSG_VIDEODEVICELOST");
    EXPECT_EQ(ConsoleLines()->Get(0), "Kernel message: MSG_DUMMYOBJECT (Cannot create font Arial)");

    for (int n = 0; n < 250; ++n)
        ConsolePrint("line " + std::to_string(n));
    EXPECT_EQ(ConsoleLines()->Count(), 100);
    EXPECT_EQ(ConsoleLines()->Get(0), "line 249");
    EXPECT_EQ(ConsoleLines()->Get(99), "line 150");
    EXPECT_THROW(ConsoleLines()->Get(100), std::out_of_range);

    ConsoleShutdown();
    EXPECT_EQ(ConsoleLines(), nullptr);
    ConsolePrint("after shutdown");
    ExecuteLine("help");
    OB_SendMessage(MSG_VIDEODEVICERESET, nullptr, 0);
}
