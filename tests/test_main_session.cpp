#include "console/OB_Console.h"
#include "kernel/OB_Kernel.h"
#include "session/MainSession.h"
#include "TestSupport.h"
#include "video/OB_Video.h"
#include "video/platform/OB_KeyMap.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace {

// The engine started with a headless device, as the program starts it.
class MainSession : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        OB_Kernel_Init();
        OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    }
    void TearDown() override
    {
        for (auto& session : Sessions)
            session->Stop();
        Sessions.clear();
        OB_Video_Close();
        OB_Kernel_Finalize();
        TTempDirTest::TearDown();
    }

    TMainSession& NewSession()
    {
        Sessions.push_back(std::make_unique<TMainSession>());
        Sessions.back()->Start();
        return *Sessions.back();
    }

    // One frame that measured the given frame time.
    void Frame(TMainSession& session, double frameTime)
    {
        OB_VideoInfo.FrameTime = frameTime;
        session.Update();
    }

    std::string LastLine() { return ConsoleLines()->Get(0); }

    TFakePlatformScope Fake;
    std::vector<std::unique_ptr<TMainSession>> Sessions;
};

struct TBodyBits {
    uint32_t Words[6];
    bool operator==(const TBodyBits&) const = default;
};

TBodyBits Bits(const TBody& body)
{
    const TBodyState& s = body.State;
    return TBodyBits{{std::bit_cast<uint32_t>(s.Position.x), std::bit_cast<uint32_t>(s.Position.y),
                      std::bit_cast<uint32_t>(s.Velocity.x), std::bit_cast<uint32_t>(s.Velocity.y),
                      std::bit_cast<uint32_t>(s.Angle), std::bit_cast<uint32_t>(s.AngularVelocity)}};
}

std::vector<TBodyBits> WorldBits(TMainSession& session)
{
    std::vector<TBodyBits> bits;
    for (const TBody* body : session.Scene().Physics.Bodies)
        bits.push_back(Bits(*body));
    return bits;
}

std::string Record(uint32_t step, uint32_t input)
{
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &step, 4);
    std::memcpy(bytes.data() + 4, &input, 4);
    return bytes;
}

std::string Header(float x, float y, float angle)
{
    std::string bytes(12, '\0');
    std::memcpy(bytes.data(), &x, 4);
    std::memcpy(bytes.data() + 4, &y, 4);
    std::memcpy(bytes.data() + 8, &angle, 4);
    return bytes;
}

} // namespace

TEST_F(MainSession, StartBuildsTheSceneAndItsConsoleInterface)
{
    TMainSession& session = NewSession();
    EXPECT_EQ(session.PlaySpeed(), 1.0f);
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
    EXPECT_TRUE(ConsoleInfo.Visible);
    EXPECT_EQ(OB_VideoInfo.Width, 800);
    EXPECT_EQ(OB_VideoInfo.Height, 600);
    ASSERT_EQ(session.Scene().Physics.Bodies.size(), 22u);
    EXPECT_EQ(session.Scene().Physics.Bodies[0], &session.Scene().Player);
    EXPECT_EQ(LastLine(), "press <home> to hide this console");
    EXPECT_EQ(ConsoleLines()->Get(3), "Fixed time \"canonical\" game loop demo");

    ExecuteLine("get playspeed");
    EXPECT_EQ(LastLine(), "playspeed = 1");
    ExecuteLine("record");
    EXPECT_EQ(ConsoleLines()->Get(1), "need file");
    EXPECT_EQ(LastLine(), "Error: record ");
    ExecuteLine("play");
    EXPECT_EQ(ConsoleLines()->Get(1), "need file");
    EXPECT_EQ(LastLine(), "Error: play ");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
}

TEST_F(MainSession, AccumulatorRunsWholeStepsAndCarriesTheRest)
{
    // Without recording or playback the step counter stands still.
    TMainSession& idle = NewSession();
    Frame(idle, 0.5);
    EXPECT_EQ(idle.StepCount(), 0u);

    TMainSession& session = NewSession();
    session.StartRecording("steps");   // so that every step is counted
    auto stepsOf = [&](double frameTime) {
        const uint32_t before = session.StepCount();
        Frame(session, frameTime);
        return session.StepCount() - before;
    };
    EXPECT_EQ(stepsOf(0.05), 2u);
    EXPECT_NEAR(session.Accumulator(), 0.01, 1e-6);
    EXPECT_EQ(stepsOf(0.0), 0u);
    EXPECT_EQ(stepsOf(0.07), 4u);   // 0.01 carried over + 0.07
    EXPECT_NEAR(session.Accumulator(), 0.0, 1e-6);

    TMainSession& fresh = NewSession();
    fresh.StartRecording("fresh");
    Frame(fresh, 0.07);
    EXPECT_EQ(fresh.StepCount(), 3u);
    EXPECT_NEAR(fresh.Accumulator(), 0.01, 1e-6);

    TMainSession& slow = NewSession();
    slow.StartRecording("slow");
    Frame(slow, 0.015);
    EXPECT_EQ(slow.StepCount(), 0u);
    Frame(slow, 0.015);
    EXPECT_EQ(slow.StepCount(), 1u);
    EXPECT_NEAR(slow.Accumulator(), 0.01, 1e-6);

    TMainSession& half = NewSession();
    half.StartRecording("half");
    half.SetPlaySpeed(0.5f);
    Frame(half, 0.05);
    EXPECT_EQ(half.StepCount(), 1u);
    EXPECT_NEAR(half.Accumulator(), 0.005, 1e-6);
    half.SetPlaySpeed(0);
    for (int i = 0; i < 10; ++i)
        Frame(half, 1.0);
    EXPECT_EQ(half.StepCount(), 1u);
}

TEST_F(MainSession, HugePlaySpeedIsCappedPerFrame)
{
    TMainSession& session = NewSession();
    session.StartRecording("fast");
    ExecuteLine("set playspeed 1e9");
    Frame(session, 1.0);
    EXPECT_EQ(session.StepCount(), TMainSession::MaxStepsPerFrame);
    EXPECT_EQ(session.Accumulator(), 0.0);   // the time beyond the cap is dropped
    ExecuteLine("set playspeed 3e38");
    Frame(session, 1.0);
    EXPECT_EQ(session.StepCount(), 2 * TMainSession::MaxStepsPerFrame);
    Frame(session, 0.0);   // infinity times nothing: no steps, no lasting harm
    ExecuteLine("set playspeed 1");
    Frame(session, 0.05);
    EXPECT_EQ(session.StepCount(), 2 * TMainSession::MaxStepsPerFrame + 2);
    EXPECT_EQ(std::filesystem::file_size("fast"), 12 + 8 * (2 * TMainSession::MaxStepsPerFrame + 2));
    // At play speed 100 nothing is dropped.
    ExecuteLine("set playspeed 100");
    Frame(session, 0.5);
    EXPECT_EQ(session.StepCount(), 2 * TMainSession::MaxStepsPerFrame + 2 + 2500);
}

TEST_F(MainSession, RecordingHoldsHeaderAndOneRecordPerStep)
{
    TMainSession& session = NewSession();
    session.Scene().Player.State.Position = TVector2D{12.5f, -3.25f};
    session.Scene().Player.State.Angle = 0.1f;
    ExecuteLine("record run1 ignored");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmRecord);
    Fake.Platform.KeysDown = {VK_UP};
    Frame(session, 0.061);   // three steps with up held
    Fake.Platform.KeysDown = {VK_LEFT, VK_RIGHT, VK_DOWN};
    Frame(session, 0.04);    // two steps
    Fake.Platform.KeysDown = {};
    Frame(session, 0.02);    // one step
    ASSERT_EQ(session.StepCount(), 6u);
    std::string expected = Header(12.5f, -3.25f, 0.1f) + Record(0, 4) + Record(1, 4) + Record(2, 4) +
                           Record(3, 0xB) + Record(4, 0xB) + Record(5, 0);
    // Complete after every frame, not only when the file is closed.
    EXPECT_EQ(ReadWholeFile("run1"), expected);
    EXPECT_FALSE(std::filesystem::exists("ignored"));
}

TEST_F(MainSession, PlaybackReproducesTheRecordedRunBitForBit)
{
    TMainSession& recorder = NewSession();
    TMainSession& player = NewSession();   // same starting world
    EXPECT_EQ(WorldBits(recorder), WorldBits(player));

    recorder.StartRecording("run");
    std::map<uint32_t, std::vector<TBodyBits>> recorded;
    uint32_t seed = 12345;
    for (int frame = 0; frame < 300; ++frame) {
        seed = seed * 1103515245u + 12345u;
        Fake.Platform.KeysDown.clear();
        for (uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            if ((seed >> (16 + key - VK_LEFT)) & 1)
                Fake.Platform.KeysDown.insert(key);
        Frame(recorder, 0.005 + (seed >> 24) / 2000.0);
        recorded[recorder.StepCount()] = WorldBits(recorder);
    }
    const uint32_t total = recorder.StepCount();
    recorder.Stop();   // closes the recording
    ASSERT_EQ(std::filesystem::file_size("run"), 12 + 8 * uint64_t(total));

    // Other frame times, another play speed, other keys held: the same steps.
    player.StartPlayback("run");
    ASSERT_EQ(player.Mode(), TPlaybackMode::pmPlay);
    player.SetPlaySpeed(1.7f);
    Fake.Platform.KeysDown = {VK_LEFT, VK_UP};
    size_t compared = 0;
    auto compare = [&] {
        auto found = recorded.find(player.StepCount());
        if (found == recorded.end())
            return;
        ASSERT_EQ(WorldBits(player), found->second) << "at step " << player.StepCount();
        ++compared;
    };
    while (player.StepCount() + 200 < total) {
        seed = seed * 1103515245u + 12345u;
        Frame(player, 0.003 + (seed >> 24) / 3000.0);
        compare();
    }
    // Frames of one step at most land exactly on the recording's last step.
    player.SetPlaySpeed(1.0f);
    while (player.StepCount() < total) {
        Frame(player, 0.02);
        compare();
    }
    EXPECT_EQ(player.StepCount(), total);
    EXPECT_EQ(WorldBits(player), recorded.rbegin()->second);
    EXPECT_GT(compared, 50u);
}

TEST_F(MainSession, RecordsAheadOfTheStepCounterWait)
{
    // Record 1 carries step 5: steps 1 to 4 apply nothing.
    WriteWholeFile("gap", Header(0, 0, 0) + Record(0, 1) + Record(5, 2));
    WriteWholeFile("dense", Header(0, 0, 0) + Record(0, 1) + Record(1, 0) + Record(2, 0) + Record(3, 0) +
                                Record(4, 0) + Record(5, 2));
    TMainSession& gap = NewSession();
    TMainSession& dense = NewSession();
    gap.StartPlayback("gap");
    dense.StartPlayback("dense");
    for (int step = 0; step < 12; ++step) {
        Frame(gap, 0.0201);
        Frame(dense, 0.0201);
        ASSERT_EQ(WorldBits(gap), WorldBits(dense)) << "at step " << step;
    }
    EXPECT_NE(gap.Scene().Player.State.AngularVelocity, 0.0f);
}

TEST_F(MainSession, UsedUpRecordingAppliesNothingMoreAndIgnoresTheKeyboard)
{
    // A partial last record and a held key must not move the player.
    WriteWholeFile("short", Header(100, 200, 0.5f) + Record(0, 4) + std::string("\x01\x00\x00", 3));
    TMainSession& session = NewSession();
    Fake.Platform.KeysDown = {VK_LEFT};
    ExecuteLine("play short");
    EXPECT_EQ(session.Scene().Player.State.Position.x, 100.0f);
    EXPECT_EQ(session.Scene().Player.State.Position.y, 200.0f);
    EXPECT_EQ(session.Scene().Player.State.Angle, 0.5f);
    Frame(session, 0.0201);   // record 0: thrust
    const TBodyState afterThrust = session.Scene().Player.State;
    EXPECT_EQ(afterThrust.AngularVelocity, 0.0f);
    for (int i = 0; i < 50; ++i)
        Frame(session, 0.0201);
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmPlay);
    EXPECT_EQ(session.StepCount(), 51u);
    // Drag only: the player slows down and never turns.
    EXPECT_EQ(session.Scene().Player.State.AngularVelocity, 0.0f);
    EXPECT_LT(std::abs(session.Scene().Player.State.Velocity.x), std::abs(afterThrust.Velocity.x));

    // A file shorter than its header: nothing from it reaches the player.
    WriteWholeFile("tiny", "\x01\x02\x03\x04\x05");
    const TBodyBits before = Bits(session.Scene().Player);
    ExecuteLine("play tiny");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmPlay);
    EXPECT_EQ(Bits(session.Scene().Player), before);
    WriteWholeFile("empty", "");
    ExecuteLine("play empty");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmPlay);
}

TEST_F(MainSession, FileErrorsBecomeConsoleLinesAndLeaveNoModeWithoutAFile)
{
    TMainSession& session = NewSession();
    ExecuteLine("record good");
    ASSERT_EQ(session.Mode(), TPlaybackMode::pmRecord);

    ExecuteLine("play missing");
    EXPECT_EQ(LastLine(), "Error: Cannot open file \"" + (Dir / "missing").string() + "\". No such file or directory");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);

    ExecuteLine("record no/such/dir/run");
    EXPECT_EQ(LastLine(),
              "Error: Cannot create file \"" + (Dir / "no/such/dir/run").string() + "\". No such file or directory");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);

    std::filesystem::create_directory("adir");
    ExecuteLine("play adir");
    EXPECT_EQ(LastLine(), "Error: Cannot open file \"" + (Dir / "adir").string() + "\". Is a directory");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);

    ExecuteLine("record /dev/full");
    EXPECT_EQ(LastLine(), "Error: Cannot write to file \"/dev/full\". No space left on device");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);

    WriteWholeFile("nan", Header(std::nanf(""), 0, 0) + Record(0, 1));
    ExecuteLine("play nan");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
    EXPECT_EQ(session.Scene().Player.State.Position.x, 0.0f);

    // The session goes on running frames after all of it.
    Frame(session, 0.05);
    ExecuteLine("record good");
    Frame(session, 0.05);
    EXPECT_GE(session.StepCount(), 2u);
    EXPECT_EQ(std::filesystem::file_size("good"), 12u + 8u * session.StepCount());
}

TEST_F(MainSession, KeysReachTheConsoleFirst)
{
    TMainSession& session = NewSession();
    session.KeyPress('h');
    session.KeyPress('i');
    EXPECT_EQ(ConsoleEditLine(), "hi");
    session.KeyDown(VK_HOME);
    EXPECT_FALSE(ConsoleInfo.Visible);
    session.KeyPress('x');
    EXPECT_EQ(ConsoleEditLine(), "hi");
    session.KeyDown(VK_HOME);
    EXPECT_TRUE(ConsoleInfo.Visible);
    session.KeyDown(VK_ESCAPE);
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(session.ExitCode(), 0);
}

TEST_F(MainSession, F11TogglesFullScreenAt800x600)
{
    TMainSession& session = NewSession();
    session.KeyDown(VK_F11);
    EXPECT_TRUE(OB_VideoInfo.FullScreen);
    session.KeyDown(VK_F11);
    EXPECT_FALSE(OB_VideoInfo.FullScreen);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Width, 800u);
    EXPECT_EQ(OB_VideoInfo.BackBufferDesc.Height, 600u);
    Frame(session, 0.05);
}
