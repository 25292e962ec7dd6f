// Every console variable of the demo set to the extreme values "set" can
// give it, a frame drawn after each: the console, the watches of every
// variable and the live graph are drawn, and nothing overflows.
#include "TestSupport.h"

#include <cmath>
#include <limits>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

constexpr double Any = std::numeric_limits<double>::infinity();

// What "set" may leave in a variable: numbers beyond Low to High are held.
struct TExtremeRow {
    const char* Name;
    double Low;
    double High;
};

// One row for each variable the demo registers.
constexpr TExtremeRow Rows[] = {
    {"consoleheight", 0.0, 1.0},   // a fraction of the screen
    {"fps", -Any, Any},   // only shown
    {"numupdates", -Any, Any},
    {"playspeed", -Any, Any},
    {"T", -Any, Any},
    {"maxfps", -Any, Any},
    {"interpolate", -Any, Any},
    {"graph", -Any, Any},
    {"playpause", -Any, Any},
    {"physicsworkers", 1.0, 64.0},   // threads of the collision pass
};

constexpr const char* ExtremeWords[] = {"0", "-1", "2147483648", "-2147483648", "1e30", "-1e30", "3.4e38"};

double StoredValue(const TVariableInfo& variable)
{
    switch (variable.VarType) {
    case TVariableType::vtUInt:
        return *static_cast<const uint32_t*>(variable.Address);
    case TVariableType::vtInt:
        return *static_cast<const int32_t*>(variable.Address);
    case TVariableType::vtFloat:
        return *static_cast<const float*>(variable.Address);
    case TVariableType::vtDouble:
        return *static_cast<const double*>(variable.Address);
    default:
        return std::nan("");
    }
}

const TVariableInfo& VariableNamed(const std::string& name)
{
    for (const TVariableInfo& variable : ConsoleVariables())
        if (variable.Name == name)
            return variable;
    throw std::out_of_range("no variable " + name);
}

// Whether the edit line's prompt shows at rows 221 to 236 of 640 x 480.
bool EditLineDrawn()
{
    const std::vector<uint32_t> pixels = ReadScreen();
    for (size_t y = 221; y < 237; ++y)
        for (size_t x = 0; x < 40; ++x)
            if ((pixels.at(y * 640 + x) & 0xFFu) > 0x80u)
                return true;
    return false;
}

using ExtremeValues = TDemoSessionTest;

}   // namespace

TEST_F(ExtremeValues, EveryVariableTakesEveryExtremeAndAFrameIsDrawn)
{
    std::set<std::string> named;
    for (const TExtremeRow& row : Rows)
        named.insert(row.Name);
    for (const TVariableInfo& variable : ConsoleVariables())
        EXPECT_TRUE(named.contains(variable.Name)) << variable.Name << " has no row";

    for (const TExtremeRow& row : Rows)
        ExecuteLine(std::string("watch ") + row.Name);
    ExecuteLine("graph 1");
    for (const TExtremeRow& row : Rows) {
        const TVariableInfo& variable = VariableNamed(row.Name);
        for (const char* word : ExtremeWords) {
            ExecuteLine(std::string("set ") + row.Name + " " + word);
            const double value = StoredValue(variable);
            EXPECT_TRUE(value >= row.Low && value <= row.High) << row.Name << " " << word << ": " << value;
            RunFrame(Session, 0.02);
        }
    }
    // The console drawn over a world that still draws.
    ExecuteLine("set playspeed 1");
    ExecuteLine("set consoleheight 0.5");
    RunFrame(Session, 0.02);
    EXPECT_TRUE(EditLineDrawn());
}

// The settings a game sets from code take the same extremes, and NaN and
// ±inf as well: the play speed refuses what is not finite, the rest take
// any value, and frames are drawn after each.
TEST_F(ExtremeValues, TheSettersTakeEveryExtremeAndAFrameIsDrawn)
{
    constexpr float Infinity = std::numeric_limits<float>::infinity();
    Session.SetGraphShown(true);
    for (const float speed : {std::nanf(""), Infinity, -Infinity, 3.4e38f, -3.4e38f, 0.0f, 1.0f}) {
        EXPECT_EQ(Session.SetPlaySpeed(speed), std::isfinite(speed)) << speed;
        EXPECT_TRUE(std::isfinite(Session.PlaySpeed()));
        RunFrame(Session, 0.02);
        EXPECT_GE(Session.Accumulator(), -TMainSession::MaxDebt);
    }
    for (const int32_t cap : {0, -1, INT32_MIN, INT32_MAX, 1000000, 0}) {
        Session.SetMaxFPS(cap);
        Session.SetInterpolate(cap % 2 != 0);
        RunFrame(Session, 0.02);
    }
    Session.SetGraphShown(false);
    RunFrame(Session, 0.02);
    EXPECT_TRUE(EditLineDrawn());
}

// The console's height is a fraction of the screen: beyond it, held at the
// screen's edge, as the C++ field is drawn.
TEST_F(ExtremeValues, ConsoleHeightIsHeldToTheScreen)
{
    for (const char* word : {"67108864", "268435456", "1.5"}) {
        ExecuteLine(std::string("set consoleheight ") + word);
        EXPECT_EQ(ConsoleInfo.Height, 1.0f) << word;
    }
    ExecuteLine("set consoleheight -0.25");
    EXPECT_EQ(ConsoleInfo.Height, 0.0f);
    ExecuteLine("set consoleheight 0.25");
    EXPECT_EQ(ConsoleInfo.Height, 0.25f);
}

// vid_size with the extremes for its sizes and its aspect: refused with its
// usage or the device's error, the mode drawing on; aspect 0 takes the
// virtual size's.
TEST_F(ExtremeValues, VidSizeRefusesExtremeSizesAndAspects)
{
    for (const char* word : ExtremeWords) {
        for (const std::string& line : {std::string("vid_size ") + word + " " + word,
                                       std::string("vid_size 800 600 0 ") + word}) {
            ExecuteLine(line);
            const bool accepted = line == "vid_size 800 600 0 0";
            EXPECT_EQ(LastLine().starts_with("Error: "), !accepted) << line << ": " << LastLine();
            EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, accepted ? 800u : 640u) << line;
            RunFrame(Session, 0.02);
            ExecuteLine("vid_size 640 480");
        }
    }
    EXPECT_EQ(OB_VideoInfo.Aspect, 0.0f);
    RunFrame(Session, 0.02);
    EXPECT_TRUE(EditLineDrawn());
}
