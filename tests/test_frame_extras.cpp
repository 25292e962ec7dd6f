#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "tests/physics/PhysicsTestSupport.h"
#include "orbel2/physics/WorldHash.h"
#include "orbel2/session/FramePacer.h"
#include "orbel2/session/StepPoses.h"
#include "orbel2/video/OB_Font.h"

#include <bit>
#include <cmath>
#include <map>
#include <numbers>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

// The screen as 640 x 480 pixels, alpha dropped.
struct TScreen {
    std::vector<uint32_t> Pixels = ReadScreen();
    uint32_t At(int x, int y) const { return Pixels.at(size_t(y) * 640 + size_t(x)); }
    // Columns of the player's red, averaged: its centre across the screen
    // (the middle of pixel x is x + 0.5).
    double RedCentreX() const
    {
        double sum = 0;
        int count = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (At(x, y) == 0xFF0000u) {
                    sum += x;
                    ++count;
                }
        return count > 0 ? sum / count + 0.5 : -1;
    }
};

// The demo session started on the headless engine with the fake clock.
class FrameExtras : public TDemoSessionTest {};

}   // namespace

// ---------------------------------------------------------------------------
// The frame cap, with the fake clock: the frame's own work moves the clock,
// and so does the cap's sleep.

TEST_F(FrameExtras, FrameCapBeginsFramesNoCloserThanItsPeriodAndZeroNeverWaits)
{
    // The work of each frame in microseconds: quick, slow and slower than
    // the cap's period, whose next frame must begin at once.
    const int64_t work[] = {0, 3000, 120000, 0, 99999, 100000, 250000, 10, 0, 40000};
    const auto run = [&](const char* line, int64_t period) {
        ExecuteLine(line);
        const int sleeps = Fake.Platform.Sleeps;
        int64_t began = Fake.Platform.Counter;
        for (int round = 0; round < 2; ++round)
            for (const int64_t micro : work) {
                Fake.Platform.Counter += micro;
                Session.Update();
                const int64_t next = Fake.Platform.Counter;
                EXPECT_EQ(next - began, period == 0 ? micro : std::max(micro, period)) << line << " after " << micro;
                began = next;
            }
        return Fake.Platform.Sleeps - sleeps;
    };
    EXPECT_EQ(run("set maxfps 0", 0), 0);
    EXPECT_EQ(run("set maxfps -5", 0), 0);
    EXPECT_GT(run("set maxfps 10", 100000), 0);
    EXPECT_GT(run("set maxfps 7", 142858), 0);   // 1/7 s rounded up to whole microseconds
    EXPECT_EQ(run("set maxfps 0", 0), 0);
}

namespace {

// The engine with the fake clock and no session: each test makes its own,
// one at a time.
class SessionsOneAtATime : public THeadlessEngineTest {
protected:
    TFakePlatformScope Fake;
};

}   // namespace

TEST_F(SessionsOneAtATime, ARunAtTenFramesASecondStepsAsAtSixtyAndReplaysBitForBitAt144)
{
    // Each session runs alone, paced only by the cap: its frame times are
    // whole periods. Keys change every ten steps, so that a frame of five
    // steps never straddles a change.
    const auto keysForStep = [](uint32_t step) {
        const uint32_t r = (step / 10) * 2654435761u;
        std::set<uint16_t> keys;
        for (uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            if ((r >> (20 + key - VK_LEFT)) & 1)
                keys.insert(key);
        return keys;
    };
    constexpr uint32_t Steps = 400;
    using Lines = std::vector<std::string>;
    const auto drive = [&](const Lines& settings, const std::string& file, bool play) {
        TMainSession session;
        session.Start();
        for (const std::string& line : settings)
            ExecuteLine(line);
        ExecuteLine((play ? "play " : "record ") + file);
        EXPECT_EQ(session.Mode(), play ? TPlaybackMode::pmPlay : TPlaybackMode::pmRecord);
        const bool tenAFrame = settings.front() == "set maxfps 10";
        std::map<uint32_t, std::vector<uint32_t>> bits;
        int frames = 0;
        while (session.StepCount() < Steps) {
            Fake.Platform.KeysDown = keysForStep(session.StepCount());
            const uint32_t before = session.StepCount();
            session.Update();
            bits[session.StepCount()] = WorldBits(session);
            if (tenAFrame && before > 0) {
                EXPECT_EQ(session.StepCount() - before, 5u) << "a tenth of a second is five steps";
            }
            ++frames;
        }
        session.Stop();
        return std::pair{bits, frames};
    };
    // Interpolated and graphed at 10, neither at 60.
    const auto [ten, tenFrames] = drive({"set maxfps 10", "set interpolate 1", "graph 1"}, "ten", false);
    const auto [sixty, sixtyFrames] = drive({"set maxfps 60"}, "sixty", false);
    EXPECT_EQ(ten.at(Steps), sixty.at(Steps));
    EXPECT_EQ(ReadWholeFile("ten").substr(0, 12 + 8 * Steps), ReadWholeFile("sixty").substr(0, 12 + 8 * Steps));
    EXPECT_LT(tenFrames * 5, sixtyFrames);

    // The replay, with the keys still changing, interpolated and graphed.
    const auto [replay, replayFrames] = drive({"set maxfps 144", "set interpolate 1", "graph 1"}, "ten", true);
    for (const auto& [step, world] : replay)
        if (ten.count(step) != 0) {
            ASSERT_EQ(world, ten.at(step)) << "at step " << step;
        }
    EXPECT_GT(replayFrames, 2 * sixtyFrames);

    // The sessions took their variables and command with them.
    for (const char* line : {"get maxfps", "get interpolate", "get graph"}) {
        ExecuteLine(line);
        EXPECT_EQ(LastLine(), line);
    }
    ExecuteLine("graph 1");
    EXPECT_EQ(LastLine(), "Unknown command: graph");
}

// ---------------------------------------------------------------------------
// Interpolated drawing.

TEST(StepPoses, BetweenTwoStepsLinearlyAndTheShortWayRoundElseAsTheBodyIs)
{
    const TPose from{{10, -4}, 3.0f};
    const TPose to{{20, 6}, -3.0f};   // a small turn across pi, not most of a whole one
    const TPose half = InterpolatePose(from, to, 0.5f);
    EXPECT_FLOAT_EQ(half.Position.x, 15);
    EXPECT_FLOAT_EQ(half.Position.y, 1);
    EXPECT_NEAR(std::remainder(half.Angle - std::numbers::pi_v<float>, 2 * std::numbers::pi_v<float>), 0, 1e-5);
    for (const float alpha : {0.0f, -1.0f, std::nanf("")})
        EXPECT_EQ(InterpolatePose(from, to, alpha).Angle, from.Angle);

    TBody body;
    body.SetBox(10, 10);
    const std::vector<TBody*> bodies{&body};
    TStepPoses poses;
    EXPECT_EQ(poses.DrawPose(body, 0.5f).Position.x, 0.0f);   // no step yet: as it is
    poses.BeforeStep(bodies);
    body.State.Position = {2, 0};
    body.State.Angle = 0.5f;
    poses.AfterStep(bodies);
    const TVector2D tip = poses.DrawPoint(body, {4, 0}, 0.5f);
    EXPECT_NEAR(tip.x, 1 + 4 * std::cos(0.25f), 1e-5);
    EXPECT_NEAR(tip.y, 4 * std::sin(0.25f), 1e-5);
    // At 1, the state now to the bit.
    const TVector2D now = poses.DrawPoint(body, {4, 0}, 1.0f);
    const TVector2D exact = body.WorldPoint({4, 0});
    EXPECT_EQ(std::bit_cast<uint64_t>(now), std::bit_cast<uint64_t>(exact));
    body.State.Position = {50, 2};   // put there by something other than a step
    EXPECT_EQ(poses.DrawPose(body, 0.5f).Position.x, 50.0f);
}

TEST_F(FrameExtras, InterpolationDrawsThePlayerBetweenItsLastTwoStepsOnlyWhenOn)
{
    SetConsoleVisible(false);
    TBodyState& player = Session.Scene().Player.State;
    player.Position = {400, 300};
    player.Velocity = {2500, 0};   // about 50 units a step, 40 pixels
    ExecuteLine("set interpolate 1");
    RunFrame(Session, 0.03);   // one step, and half a step left over
    ASSERT_NEAR(Session.Accumulator(), 0.01, 1e-6);
    const float stepped = player.Position.x;
    ASSERT_GT(stepped - 400, 40);
    const double halfway = (400 + stepped) / 2 * 0.8;
    EXPECT_NEAR(TScreen().RedCentreX(), halfway, 1.0);

    ExecuteLine("set interpolate 0");
    Session.Render();
    EXPECT_NEAR(TScreen().RedCentreX(), stepped * 0.8, 1.0);

    // A frame with no step leaves the drawing where it was: the leftover
    // and the two states are unchanged.
    ExecuteLine("set interpolate 1");
    ExecuteLine("set playspeed 0");
    RunFrame(Session, 0.5);
    EXPECT_NEAR(TScreen().RedCentreX(), halfway, 1.0);
}

TEST_F(FrameExtras, InterpolationAndTheGraphLeaveTheDeterminismConstant)
{
    // The physics tests' recorded run, played back as a recording: one
    // input word per step, held for eight steps, from the same sequence.
    constexpr int Steps = 20000;
    std::string recording = Words(0, 0, 0);
    TTestRandom random(0x0B0E12u);
    uint32_t input = 0;
    for (uint32_t step = 0; step < Steps; ++step) {
        if (step % 8 == 0) {
            const uint32_t r = random.Next();
            input = (r & 0xFu) | ((r >> 8) % 3 == 0 ? 0u : INPUT_UP);
        }
        recording += Words(step, input);
    }
    WriteWholeFile("demo", recording);

    // At 50 frames a second every frame is one step: the world is hashed
    // after each, as the physics tests hash it.
    SetConsoleVisible(false);
    for (const char* line : {"set interpolate 1", "graph 1", "set maxfps 50", "play demo"})
        ExecuteLine(line);
    Session.Update();
    Session.Update();
    ASSERT_EQ(Session.StepCount(), 0u);
    uint64_t hash = WorldHashStart;
    while (Session.StepCount() < Steps) {
        const uint32_t before = Session.StepCount();
        Session.Update();
        ASSERT_EQ(Session.StepCount(), before + 1);
        hash = HashWorld(Session.Scene().Physics.Bodies, hash);
    }
    EXPECT_EQ(hash, 0xFC3CD19D07ADD753ull) << std::hex << hash;
}

// ---------------------------------------------------------------------------
// The live graph.

namespace {

// The graph's strip drawn by the session at 640 x 480.
struct TGraphPixels {
    TScreen Screen;
    TGraphLayout Layout = FrameGraphLayout(640, 480, OB_Font_CellHeight(0),
                                           std::max(OB_Font_TextWidth("1/60 s", 0), OB_Font_TextWidth("0.1 s", 0)));
    // The middle pixel of the column of the frame Age frames old, Rows
    // above the base.
    uint32_t Column(int age, int rows) const
    {
        const int x = Layout.Left + (TFrameGraph::Capacity - 1 - age) * Layout.ColumnWidth + Layout.ColumnWidth / 2;
        return Screen.At(x, Layout.Base - rows);
    }
};

constexpr uint32_t Rgb(uint32_t argb)
{
    return argb & 0xFFFFFFu;
}

}   // namespace

TEST_F(FrameExtras, GraphDrawsAColumnPerFrameWithAMarkPerStepAndCappedFramesInTheirColour)
{
    ExecuteLine("graph 1");
    RunFrame(Session, 0.05);   // two steps, a hundredth of a second left over
    ExecuteLine("set playspeed 0");
    RunFrame(Session, 0.05);   // frozen: no step
    ExecuteLine("set playspeed 1e9");
    RunFrame(Session, 0.5);   // the step cap: 5,000 steps and the rest dropped
    ExecuteLine("set playspeed 1");
    RunFrame(Session, 0.016);   // under a step: none
    const TGraphPixels graph;
    // 640 x 480: two-pixel columns, the strip under the console's half, the
    // widest figures inside the window.
    ASSERT_EQ(graph.Layout.ColumnWidth, 2);
    EXPECT_GE(graph.Layout.Base - GraphHeight - OB_Font_CellHeight(0), 240);
    EXPECT_LE(graph.Layout.TextLeft + OB_Font_TextWidth(FrameFiguresText({200, 999.9, 999.9, 1, 1}), 0), 640);

    // Rows above the base: a 0.05 s column is 25 rows; its marks are the
    // two rows that end 10 and 20 rows up; the scale line at 1/60 s is row
    // 8; the capped frame's column is cut at 60.
    const uint32_t green = Rgb(GraphColumnColour), mark = Rgb(GraphMarkColour), amber = Rgb(GraphCappedColour),
                   scale = Rgb(GraphScaleColour);
    using TRows = std::vector<std::pair<int, uint32_t>>;
    const std::pair<int, TRows> columns[] = {
        {3, {{1, green}, {7, green}, {8, scale}, {9, mark}, {10, mark}, {11, green}, {19, mark}, {25, green}, {26, 0}}},
        {2, {{1, green}, {9, green}, {10, green}, {20, green}, {25, green}, {26, 0}}},
        {1, {{1, amber}, {8, scale}, {10, mark}, {15, amber}, {50, mark}, {60, mark}, {61, 0}}},
        {0, {{1, green}, {7, green}, {8, scale}, {9, 0}, {10, 0}}},
        {4, {{1, 0}, {10, 0}}},   // before the graph was shown
    };
    for (const auto& [age, rows] : columns)
        for (const auto& [row, colour] : rows)
            EXPECT_EQ(graph.Column(age, row), colour) << "frame " << age << " old, row " << row;
    EXPECT_EQ(Session.Extras().Graph().Sample(1).Steps, TMainSession::MaxStepsPerFrame);
    EXPECT_TRUE(Session.Extras().Graph().Sample(1).Capped);

    // The line of figures is drawn under the columns.
    int lit = 0;
    for (int y = graph.Layout.TextTop; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            lit += graph.Screen.At(x, y) == Rgb(GraphTextColour);
    EXPECT_GT(lit, 100);

    ExecuteLine("graph 0");
    RunFrame(Session, 0.05);
    EXPECT_EQ(TGraphPixels().Column(0, 1), 0u);
}

TEST_F(FrameExtras, GraphFiguresCoverTheLast200Frames)
{
    const auto line = [&] { return Session.Extras().Graph().FiguresLine(); };
    ExecuteLine("set graph 1");
    Session.Render();
    EXPECT_EQ(line(), "0.0 fps   0.0 steps/s   mean 0.0 ms, worst 0.0 ms");
    for (int i = 0; i < 100; ++i)
        RunFrame(Session, 1.0 / 60);
    for (int i = 0; i < 100; ++i)
        RunFrame(Session, 0.05);
    EXPECT_EQ(line(), "30.0 fps   50.0 steps/s   mean 33.3 ms, worst 50.0 ms");
    // Half speed for the last quarter of the window: the first quarter has
    // left it.
    ExecuteLine("set playspeed 0.5");
    for (int i = 0; i < 50; ++i)
        RunFrame(Session, 0.1);
    EXPECT_EQ(line(), "18.5 fps   38.5 steps/s   mean 54.2 ms, worst 100.0 ms");
    EXPECT_EQ(Session.Extras().Graph().Count(), 200);

    // Shown again, the graph starts afresh.
    ExecuteLine("graph 0");
    RunFrame(Session, 0.2);
    ExecuteLine("graph 1");
    RunFrame(Session, 0.04);
    EXPECT_EQ(line(), "25.0 fps   25.0 steps/s   mean 40.0 ms, worst 40.0 ms");
}

// ---------------------------------------------------------------------------
// The console interface: after the demo's own commands and variables.

TEST_F(FrameExtras, HelpAndVarsListTheAdditionsAfterTheDemosOwn)
{
    const auto output = [](const std::string& line) {
        const int32_t before = ConsoleLines()->Count() == 100 ? 0 : ConsoleLines()->Count();
        ExecuteLine(line);
        std::vector<std::string> lines;
        for (int32_t n = ConsoleLines()->Count() - before - 1; n >= 0; --n)
            lines.push_back(ConsoleLines()->Get(n));
        return lines;
    };
    const std::string rule(47, '-');
    EXPECT_EQ(output("help"),
              (std::vector<std::string>{
                  "help", "Registered Commands:", rule, "write Write a message to the logfile",
                  "help - List of registered commands", "set {variable} {value} - Set a variables value",
                  "get {variable} - Get a variables value", "vars - Show list of variables",
                  "vid_size {width} {height} [full=0/1] - Change video mode", "vid_info Displays video info",
                  "watch [variable] {0} - Watch a variable. Specify 0 as 2nd arg to remove watch",
                  "res lists resources in system", "record ", "play ",
                  "graph {1/0} - Show or hide the graph of frames and steps", "save {file} - Save the world",
                  "load {file} - Load a saved world", "hash - Show the step count and the world's hash",
                  "rewind {seconds} - Step the world back"}));
    EXPECT_EQ(output("vars"),
              (std::vector<std::string>{"vars", "Registered variables:", rule, "consoleheight (FLOAT)", "fps (INT)",
                                        "numupdates (INT)", "playspeed (FLOAT)", "T (DOUBLE)", "maxfps (INT)",
                                        "interpolate (INT)", "graph (INT)", "playpause (INT)",
                                        "physicsworkers (INT)"}));

    const std::pair<std::string, std::string> lines[] = {
        {"graph", "Error: graph {1/0} - Show or hide the graph of frames and steps"},
        {"graph 1 2", "Error: graph {1/0} - Show or hide the graph of frames and steps"},
        {"get maxfps", "maxfps = 0"},
        {"get interpolate", "interpolate = 0"},
        {"get graph", "graph = 0"},
        {"graph 5", "graph 5"},
        {"get graph", "graph = 1"},
        {"graph x", "graph x"},
        {"get graph", "graph = 0"},
    };
    for (const auto& [line, last] : lines) {
        ExecuteLine(line);
        EXPECT_EQ(LastLine(), last) << line;
    }
}
