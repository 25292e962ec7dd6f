#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"

#include <bit>
#include <cmath>
#include <map>
#include <stdexcept>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

class MainSession : public TDemoSessionsTest {};

std::string Header(float x, float y, float angle)
{
    return Words(x, y, angle);
}
std::string Record(uint32_t step, uint32_t input)
{
    return Words(step, input);
}

}   // namespace

TEST_F(MainSession, StartBuildsTheSceneAndItsConsoleInterface)
{
    TMainSession& session = NewSession();
    EXPECT_TRUE(ConsoleInfo.Visible);
    ASSERT_EQ(session.Scene().Physics.Bodies.size(), 22u);
    EXPECT_EQ(LastLine(), "press <home> to hide this console");
    EXPECT_EQ(ConsoleLines()->Get(3), "Fixed time \"canonical\" game loop demo");
    ExecuteLine("get playspeed");
    EXPECT_EQ(LastLine(), "playspeed = 1");
    for (const std::string command : {"record", "play"}) {
        ExecuteLine(command);
        EXPECT_EQ(ConsoleLines()->Get(1), "need file");
        EXPECT_EQ(LastLine(), "Error: " + command + " ");
    }
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
}

TEST_F(MainSession, AccumulatorRunsWholeStepsAndCarriesTheRest)
{
    // Without recording or playback the step counter stands still.
    TMainSession& idle = NewSession();
    RunFrame(idle, 0.5);
    EXPECT_EQ(idle.StepCount(), 0u);

    // Play speed, frame times, then the steps run and the time carried.
    const std::tuple<float, std::vector<double>, uint32_t, double> cases[] = {{1, {0.05}, 2, 0.01},
                                                                              {1, {0.07}, 3, 0.01},
                                                                              {1, {0.015, 0.015}, 1, 0.01},
                                                                              {0.5f, {0.05}, 1, 0.005},
                                                                              {0, {1, 1, 1}, 0, 0}};
    for (const auto& [speed, frameTimes, steps, rest] : cases) {
        TMainSession& session = NewSession();
        session.StartRecording("steps" + std::to_string(Sessions.size()));   // so that every step is counted
        session.SetPlaySpeed(speed);
        for (const double frameTime : frameTimes)
            RunFrame(session, frameTime);
        EXPECT_EQ(session.StepCount(), steps) << frameTimes.front() << " at " << speed;
        EXPECT_NEAR(session.Accumulator(), rest, 1e-6) << frameTimes.front() << " at " << speed;
    }
}

TEST_F(MainSession, HugePlaySpeedIsCappedPerFrame)
{
    constexpr uint32_t cap = TMainSession::MaxStepsPerFrame;
    TMainSession& session = NewSession();
    session.StartRecording("fast");
    ExecuteLine("set playspeed 1e9");
    RunFrame(session, 1.0);
    EXPECT_EQ(session.StepCount(), cap);
    EXPECT_EQ(session.Accumulator(), 0.0);   // the time beyond the cap is dropped
    EXPECT_EQ(std::filesystem::file_size("fast"), 12 + 8 * cap);
}

TEST_F(MainSession, RecordingHoldsHeaderAndOneRecordPerStep)
{
    TMainSession& session = NewSession();
    session.Scene().Player.State.Position = TVector2D{12.5f, -3.25f};
    session.Scene().Player.State.Angle = 0.1f;
    ExecuteLine("record run1 ignored");
    Fake.Platform.KeysDown = {VK_UP};
    RunFrame(session, 0.061);   // three steps with up held
    Fake.Platform.KeysDown = {VK_LEFT, VK_RIGHT, VK_DOWN};
    RunFrame(session, 0.04);   // two steps
    Fake.Platform.KeysDown = {};
    RunFrame(session, 0.02);   // one step
    // Complete after every frame, not only when the file is closed.
    EXPECT_EQ(ReadWholeFile("run1"),
              Header(12.5f, -3.25f, 0.1f) + Record(0, 4) + Record(1, 4) + Record(2, 4) + Record(3, 0xB) +
                  Record(4, 0xB) + Record(5, 0));
    EXPECT_FALSE(std::filesystem::exists("ignored"));
}

TEST_F(MainSession, PlaybackReproducesTheRecordedRunBitForBit)
{
    TMainSession& recorder = NewSession();
    TMainSession& player = NewSession();   // same starting world
    recorder.StartRecording("run");
    std::map<uint32_t, std::vector<uint32_t>> recorded{{0, WorldBits(recorder)}};
    uint32_t seed = 12345;
    for (int frame = 0; frame < 300; ++frame) {
        Fake.Platform.HoldArrowsAtRandom(seed);
        RunFrame(recorder, 0.005 + (seed >> 24) / 2000.0);
        recorded[recorder.StepCount()] = WorldBits(recorder);
    }
    const uint32_t total = recorder.StepCount();
    recorder.Stop();   // closes the recording

    // Other frame times, another play speed, other keys held, and the
    // collision pass shared by three threads even at 22 bodies: the same steps.
    player.StartPlayback("run");
    player.SetPlaySpeed(1.7f);
    player.SetWorkerCount(3);
    player.Scene().Physics.ParallelFromBodies = 0;
    Fake.Platform.KeysDown = {VK_LEFT, VK_UP};
    size_t compared = 0;
    while (player.StepCount() < total) {
        seed = seed * 1103515245u + 12345u;
        RunFrame(player, 0.003 + (seed >> 24) / 3000.0);
        if (auto found = recorded.find(player.StepCount()); found != recorded.end()) {
            ASSERT_EQ(WorldBits(player), found->second) << "at step " << player.StepCount();
            ++compared;
        }
    }
    EXPECT_GT(compared, 50u);
    EXPECT_EQ(player.Scene().Physics.WorkerCount(), 3u);
}

TEST_F(MainSession, PhysicsWorkersReachTheWorldAtTheNextStep)
{
    TMainSession& session = NewSession();
    ExecuteLine("set physicsworkers 2");
    EXPECT_EQ(session.Scene().Physics.WorkerCount(), 1u);   // not before a step
    RunFrame(session, 0.02);
    EXPECT_EQ(session.Scene().Physics.WorkerCount(), 2u);
    ExecuteLine("set physicsworkers 1000");
    ExecuteLine("get physicsworkers");
    EXPECT_EQ(LastLine(), "physicsworkers = 64");
    ExecuteLine("set physicsworkers 0");
    RunFrame(session, 0.02);
    EXPECT_EQ(session.Scene().Physics.WorkerCount(), 1u);
    session.SetWorkerCount(0);   // the C++ call holds it the same way
    ExecuteLine("get physicsworkers");
    EXPECT_EQ(LastLine(), "physicsworkers = 1");
}

TEST_F(MainSession, RecordsAheadOfTheStepCounterWait)
{
    // Record 1 carries step 5: steps 1 to 4 apply nothing.
    WriteWholeFile("gap", Header(0, 0, 0) + Record(0, 1) + Record(5, 2));
    WriteWholeFile("dense",
                   Header(0, 0, 0) + Record(0, 1) + Record(1, 0) + Record(2, 0) + Record(3, 0) + Record(4, 0) +
                       Record(5, 2));
    TMainSession& gap = NewSession();
    TMainSession& dense = NewSession();
    gap.StartPlayback("gap");
    dense.StartPlayback("dense");
    for (int step = 0; step < 12; ++step) {
        RunFrame(gap, 0.0201);
        RunFrame(dense, 0.0201);
        ASSERT_EQ(WorldBits(gap), WorldBits(dense)) << "at step " << step;
    }
    EXPECT_NE(gap.Scene().Player.State.AngularVelocity, 0.0f);
}

TEST_F(MainSession, UsedUpRecordingAppliesNothingMoreAndIgnoresTheKeyboard)
{
    // A partial last record and a held key must not move the player.
    WriteWholeFile("short", Header(100, 200, 0.5f) + Record(0, 4) + std::string("\x01\x00\x00", 3));
    TMainSession& session = NewSession();
    const TBodyState& player = session.Scene().Player.State;
    Fake.Platform.KeysDown = {VK_LEFT};
    ExecuteLine("play short");
    EXPECT_TRUE(player.Position.x == 100.0f && player.Position.y == 200.0f && player.Angle == 0.5f);
    RunFrame(session, 0.0201);   // record 0: thrust
    const TBodyState afterThrust = player;
    for (int i = 0; i < 50; ++i)
        RunFrame(session, 0.0201);
    EXPECT_EQ(session.StepCount(), 51u);
    // Drag only: the player slows down and never turns.
    EXPECT_EQ(player.AngularVelocity, 0.0f);
    EXPECT_LT(std::abs(player.Velocity.x), std::abs(afterThrust.Velocity.x));

    // A file shorter than its header: nothing from it reaches the player.
    WriteWholeFile("tiny", "\x01\x02\x03\x04\x05");
    const std::vector<uint32_t> before = WorldBits(session);
    ExecuteLine("play tiny");
    EXPECT_EQ(WorldBits(session), before);
}

TEST_F(MainSession, FileErrorsBecomeConsoleLinesAndLeaveNoModeWithoutAFile)
{
    TMainSession& session = NewSession();
    std::filesystem::create_directory("adir");
    WriteWholeFile("nan", Header(std::nanf(""), 0, 0) + Record(0, 1));
    const std::pair<std::string, std::string> failures[] = {
        {"play missing", "Cannot open file \"" + (Dir / "missing").string() + "\". No such file or directory"},
        {"play adir", "Cannot open file \"" + (Dir / "adir").string() + "\". Is a directory"},
        {"record no/dir/run",
         "Cannot create file \"" + (Dir / "no/dir/run").string() + "\". No such file or directory"},
        {"record /dev/full", "Cannot write to file \"/dev/full\". No space left on device"},
        {"play nan", "Not a recording: the start of \"nan\" is not a position and angle"}};
    for (const auto& [line, error] : failures) {
        ExecuteLine("record good");
        ASSERT_EQ(session.Mode(), TPlaybackMode::pmRecord);
        ExecuteLine(line);
        EXPECT_EQ(LastLine(), "Error: " + error);
        EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone) << line;
    }
    EXPECT_EQ(session.Scene().Player.State.Position.x, 0.0f);
}

TEST_F(MainSession, KeysReachTheConsoleFirstAndF11TogglesFullScreenAt800x600)
{
    TMainSession& session = NewSession();
    session.KeyPress('h');
    session.KeyDown(VK_HOME);
    EXPECT_FALSE(ConsoleInfo.Visible);
    session.KeyPress('x');
    session.KeyDown(VK_HOME);
    EXPECT_EQ(ConsoleEditLine(), "h");
    session.KeyDown(VK_F11);
    session.KeyDown(VK_F11);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width * 1000 + OB_VideoInfo.BackBufferDesc.Height, 800600u);
}

TEST_F(MainSession, RecordsOfAFrameLeftByAnExceptionReachTheFile)
{
    // The keyboard fails while the third step of a frame samples it.
    struct TFailingKeyboard : TFakePlatform {
        int KeysLeft = 8;
        bool IsKeyDown(uint16_t key) override
        {
            if (KeysLeft-- == 0)
                throw std::runtime_error("keyboard gone");
            return TFakePlatform::IsKeyDown(key);
        }
    } keyboard;
    {
        TMainSession session;
        session.Start();
        session.StartRecording("run");
        OB_SetPlatform(&keyboard);
        EXPECT_THROW(RunFrame(session, 0.07), std::runtime_error);
        OB_SetPlatform(&Fake.Platform);
    }   // gone without Stop, as when an exception leaves the run loop
    EXPECT_EQ(ReadWholeFile("run"), Header(0, 0, 0) + Record(0, 0) + Record(1, 0));
}

TEST_F(MainSession, ASessionThatGoesTakesItsCommandsAndVariablesWithIt)
{
    auto session = std::make_unique<TMainSession>();
    session->Start();
    ExecuteLine("record run");
    session->Stop();
    session.reset();
    for (const char* line : {"set playspeed 2", "set numupdates 5", "get numupdates", "get playspeed", "get T"}) {
        ExecuteLine(line);
        EXPECT_EQ(LastLine(), line);   // only the echo: no such variable any more
    }
    for (const std::string command : {"record", "play"}) {
        ExecuteLine(command + " again");
        EXPECT_EQ(LastLine(), "Unknown command: " + command);
    }
    // The session's watches went with their variables; "fps" is the console's.
    const std::vector<TVariableInfo>& variables = ConsoleVariables();
    std::vector<std::string> watched;
    for (const int32_t index : ConsoleWatches())
        if (index >= 0)
            watched.push_back(variables.at(static_cast<size_t>(index)).Name);
    EXPECT_EQ(watched, std::vector<std::string>{"fps"});
}
