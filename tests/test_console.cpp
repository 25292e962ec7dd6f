#include "TestSupport.h"
#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleCommands.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/video/OB_Video.h"

using namespace orbel2;

namespace {

using Lines = std::vector<std::string>;
const std::string Mark = "\x01mark";

// The lines one typed line prints, its echo first.
Lines Typed(const std::string& Line)
{
    ConsolePrint(Mark);
    ExecuteLine(Line);
    Lines lines;
    for (int32_t n = 0; ConsoleLines()->Get(n) != Mark; ++n)
        lines.insert(lines.begin(), ConsoleLines()->Get(n));
    return lines;
}

}   // namespace

TEST(Console, LanguageSplitsWordsAndReportsUnknownRefusedAndFailingCommands)
{
    ConsoleInit();
    EXPECT_EQ(ConsoleLines()->Get(0), "Orbel2 At your service!");
    EXPECT_EQ(Typed("  set\tfps  5"), (Lines{"  set\tfps  5"}));
    EXPECT_EQ(Typed("get fps"), (Lines{"get fps", "fps = 5"}));
    EXPECT_EQ(Typed("get fps "), (Lines{"get fps ", "Error: get {variable} - Get a variables value"}));
    EXPECT_EQ(Typed("HELP"), (Lines{"HELP", "Unknown command: HELP"}));
    EXPECT_EQ(Typed(""), Lines{});
    EXPECT_EQ(ConsoleHistory()->Count(), 4);

    AddCommand(
        "refuse", "", [](const std::vector<std::string>&, int32_t, void*) { return false; }, nullptr);
    EXPECT_EQ(Typed("refuse 'a b'"), (Lines{"refuse 'a b'", "Error: refuse "}));
    // An error raised inside a command becomes one line; the console goes on.
    AddCommand(
        "boom", "",
        [](const std::vector<std::string>&, int32_t, void*) -> bool {
            throw OB_EVideoError("No video device is open");
        },
        nullptr);
    EXPECT_EQ(Typed("boom"), (Lines{"boom", "Error: No video device is open"}));
    EXPECT_EQ(Typed("get fps").back(), "fps = 5");
}

TEST(Console, StrangeLinesLeaveTheConsoleUsable)
{
    ConsoleInit();
    const std::string blanks(10000, ' ');
    EXPECT_EQ(Typed(blanks), (Lines{blanks, "Unknown command: "}));
    const std::string control("\x01\x02\x7f\r\n", 5);
    EXPECT_EQ(Typed(control).back(), "Unknown command: " + control);
    // Numbers beyond the type's range, short or a million digits long, are 0.
    for (const std::string& big : {std::string(1000000, '9'), std::string("99999999999")}) {
        Typed("set fps 12");
        Typed("set fps " + big);
        EXPECT_EQ(Typed("get fps").back(), "fps = 0") << big.size();
    }
}

TEST(Console, NumbersFollowTheGrammarAndUintTextReadsBack)
{
    const std::pair<const char*, uint32_t> integers[] = {{"  -12", static_cast<uint32_t>(-12)},
                                                         {"2147483648", 0},
                                                         {"$FFFFFFFF", 0xFFFFFFFF},
                                                         {"$100000000", 0},
                                                         {"0x1f", 31},
                                                         {"$", 0},
                                                         {"12abc", 0},
                                                         {"1.5", 0}};
    for (const auto& [word, bits] : integers)
        EXPECT_EQ(ConsoleReadInteger(word), bits) << word;

    const std::pair<const char*, double> numbers[] = {{"  +1.5e2", 150}, {"-.5", -0.5}, {"inf", 0}, {"nan", 0},
                                                      {"0x1p3", 0},      {"12abc", 0},  {"1e+", 0}, {"1e400", 0}};
    for (const auto& [word, value] : numbers)
        EXPECT_EQ(ConsoleReadNumber(word), value) << word;
    EXPECT_EQ(ConsoleReadNumber("0." + std::string(1000000, '0') + "5e1000000"), 0.5);

    uint32_t value = 0x80000000u;
    const TVariableInfo variable{"u", &value, TVariableType::vtUInt};
    EXPECT_EQ(ConsoleReadInteger(VariableValueText(variable)), value);
    value = 31;
    EXPECT_EQ(VariableValueText(variable), "$0000001F");
}

TEST(Console, SetAndGetGoThroughTheAddressAndStringsKeepTheirCapacity)
{
    ConsoleInit();
    uint32_t u = 0;
    float f = 0, twin = 0;
    char s[6] = "old";   // room for five characters
    AddVariable("u", &u);
    AddVariable("f", &f);
    AddVariable("f", &twin);
    AddVariable("s", s);

    Typed("set u $FFFFFFFF");
    Typed("set f 0.1");
    EXPECT_EQ(Typed("get u").back(), "u = $FFFFFFFF");
    EXPECT_EQ(Typed("get f"), (Lines{"get f", "f = 0.100000001490116", "f = 0.100000001490116"}));
    // Read once to the nearest float: just above halfway between 1 and the
    // next float up is the next float up, though the nearest double to it
    // lies exactly halfway and would then round down to 1.
    Typed("set f 1.0000000596046448");
    EXPECT_EQ(Typed("get f").back(), "f = 1.00000011920929");
    Typed("set f 3.5e38");   // beyond the float range
    EXPECT_EQ(Typed("get f").back(), "f = 0");

    // A string buffer is never written past its capacity.
    Typed("set s abcde");
    EXPECT_STREQ(s, "abcde");
    EXPECT_EQ(Typed("set s abcdef").back(), "Error: set {variable} {value} - Set a variables value");
    EXPECT_STREQ(s, "abcde");
}

TEST_F(TTempDirTest, ConsoleHelpVarsAndWatchesListInRegistrationOrder)
{
    LogInit();
    ConsoleInit();
    const std::string rule(47, '-');
    EXPECT_EQ(Typed("help me"),
              (Lines{"help me", "Registered Commands:", rule, "write Write a message to the logfile",
                     "help - List of registered commands", "set {variable} {value} - Set a variables value",
                     "get {variable} - Get a variables value", "vars - Show list of variables",
                     "vid_size {width} {height} [full=0/1] - Change video mode", "vid_info Displays video info",
                     "watch [variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch",
                     "res lists resources in system"}));
    EXPECT_EQ(Typed("vars"), (Lines{"vars", "Registered variables:", rule, "consoleheight (FLOAT)", "fps (INT)"}));

    for (const char* line : {"watch fps", "watch consoleheight 1", "watch fps", "watch fps 0", "watch consoleheight"})
        Typed(line);
    EXPECT_EQ(ConsoleWatches(), (std::vector<int32_t>{-1, 0, -1, 0}));
    EXPECT_EQ(Typed("watch").back(),
              "Error: watch [variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch");
    LogShutdown();
}

TEST(Console, KernelMessagesAreEchoedAndOutputIsBounded)
{
    ConsoleInit();
    std::string reason = "Cannot create font Arial";
    OB_SendMessage(MSG_DUMMYOBJECT, &reason, 0);
    EXPECT_EQ(ConsoleLines()->Get(0), "Kernel message: MSG_DUMMYOBJECT (Cannot create font Arial)");

    for (int n = 0; n < 250; ++n)
        ConsolePrint("line " + std::to_string(n));
    EXPECT_EQ(ConsoleLines()->Count(), 100);
    EXPECT_EQ(ConsoleLines()->Get(99), "line 150");
}

// An index outside the ring is a programming error: it stops the program
// where assertions are on (debug and sanitizer builds) and still fails
// safely, with an exception, where they are off.
TEST(ConsoleDeathTest, AnIndexOutsideTheRingStopsLoudlyOrFailsSafely)
{
    TStringStack ring(3);
    ring.Push("only");
#if defined(ORBEL2_ASSERTS)
    EXPECT_DEATH(ring.Get(1), "assertion failed: N >= 0 && N < Count");
#else
    EXPECT_THROW(ring.Get(1), std::out_of_range);
#endif
    EXPECT_EQ(ring.Get(0), "only");
}
