// The whole world as the fixed-step core keeps it: saved and loaded, kept
// beside a recording so that a recording begun at any step replays, and
// stepped back.
#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/session/SessionCommands.h"

#include <sstream>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

class WorldState : public TDemoSessionsTest {
protected:
    // Frames with keys and frame times from a fixed sequence, at least
    // Steps steps' worth; the hash after every step the session counts.
    void Play(TMainSession& Session, uint32_t Frames, uint32_t Seed = 7)
    {
        for (uint32_t frame = 0; frame < Frames; ++frame) {
            Fake.Platform.HoldArrowsAtRandom(Seed);
            RunFrame(Session, 0.01 + (Seed >> 24) / 3000.0);
        }
        Fake.Platform.KeysDown.clear();
    }

    // The world's hash after each of Steps steps, run one a frame with the
    // keys of the bits of Keys held (the fake clock's frame time takes
    // effect in the frame it is given).
    std::vector<uint64_t> Hashes(TMainSession& Session, uint32_t Steps, uint32_t Keys)
    {
        std::vector<uint64_t> hashes;
        Fake.Platform.KeysDown.clear();
        for (uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            if (Keys & (1u << (key - VK_LEFT)))
                Fake.Platform.KeysDown.insert(key);
        for (uint32_t step = 0; step < Steps; ++step) {
            const uint64_t before = Session.History().Now();
            RunFrame(Session, 0.02);
            EXPECT_EQ(Session.History().Now(), before + 1);
            hashes.push_back(Session.StateHash());
        }
        Fake.Platform.KeysDown.clear();
        return hashes;
    }

    struct TReplayed {
        int Status;
        std::string Out, Err;
    };
    static TReplayed ReplayHeadless(const std::string& File)
    {
        std::ostringstream out, err;
        const int status = RunHeadlessReplay(TReplayRequest{File}, out, err);
        return {status, out.str(), err.str()};
    }
};

}   // namespace

// A recording begun after the world has run a while keeps that world in
// FILE.state; play and --replay start from it and match every checkpoint,
// the first included.
TEST_F(WorldState, ARecordingBegunMidGameReplaysFromItsOwnStart)
{
    TMainSession& live = NewSession();
    Play(live, 57, 3);
    ExecuteLine("record mid");
    Play(live, 200, 11);
    const uint64_t liveHash = live.StateHash();
    const uint32_t liveSteps = live.StepCount();
    live.StartRecording("other");
    ASSERT_TRUE(std::filesystem::exists("mid.state"));

    const TReplayed replayed = ReplayHeadless("mid");
    EXPECT_EQ(replayed.Status, ReplayMatched) << replayed.Out << replayed.Err;
    EXPECT_NE(replayed.Out.find("steps: " + std::to_string(liveSteps) + "\n"), std::string::npos) << replayed.Out;
    EXPECT_NE(replayed.Out.find(HashLine(liveSteps, liveHash).substr(std::string("hash at step ").size() +
                                                                     std::to_string(liveSteps).size() + 2)),
              std::string::npos)
        << replayed.Out;
    const std::string checkpoints = std::to_string(liveSteps / 50 + 1) + " matched in mid.sum";
    EXPECT_NE(replayed.Out.find("checkpoints: " + checkpoints + "\n"), std::string::npos) << replayed.Out;

    // The demo's own play, in a world that has run differently, reaches the
    // same bits without a word of divergence.
    TMainSession& player = NewSession();
    Play(player, 31, 5);
    player.StartPlayback("mid");
    for (uint32_t frame = 0; frame < liveSteps * 2 && player.StepCount() < liveSteps; ++frame)
        RunFrame(player, 0.02);
    EXPECT_EQ(player.StateHash(), liveHash);
    EXPECT_EQ(LastLine(), "press <home> to hide this console");   // no line about diverging

    // Without its state, the recording plays from its header only, as
    // before, and the checksums say so at once.
    std::filesystem::rename("mid.state", "kept.state");
    EXPECT_EQ(ReplayHeadless("mid").Status, ReplayDiverged);

    // A damaged state is refused, never silently replayed.
    std::string damaged = ReadWholeFile("kept.state");
    damaged[damaged.size() / 2] ^= 0x10;
    WriteWholeFile("mid.state", damaged);
    const TReplayed refused = ReplayHeadless("mid");
    EXPECT_EQ(refused.Status, ReplayNotARecording);
    EXPECT_EQ(refused.Err, "orbel2: Not a recording's start: \"mid.state\": damaged: its checksum does not match\n");
    EXPECT_EQ(ErrorText<std::exception>([&] { player.StartPlayback("mid"); }),
              "Not a recording's start: \"mid.state\": damaged: its checksum does not match");
    EXPECT_EQ(player.Mode(), TPlaybackMode::pmNone);
}

// Save, step on, load, step the same again: the same hash at every step;
// the same world saves to the same bytes.
TEST_F(WorldState, SaveAndLoadGiveBackTheVeryWorld)
{
    TMainSession& session = NewSession();
    Play(session, 40);
    ExecuteLine("save a");
    EXPECT_EQ(LastLine(), "World saved to \"a\"");
    const std::vector<uint64_t> first = Hashes(session, 60, 0x5);
    ExecuteLine("load a");
    EXPECT_EQ(LastLine(), "World loaded from \"a\"");
    EXPECT_EQ(Hashes(session, 60, 0x5), first);
    ExecuteLine("hash");
    EXPECT_EQ(LastLine(), HashLine(session.StepCount(), first.back()));
    EXPECT_NE(ReadWholeFile("orbel2.log").find("] " + LastLine() + "\r\n"), std::string::npos);
    ExecuteLine("load a");
    ExecuteLine("save b");
    EXPECT_EQ(ReadWholeFile("a"), ReadWholeFile("b"));

    // A load ends a recording, as record and play do, with its file whole.
    ExecuteLine("record run");
    Play(session, 10);
    ExecuteLine("load a");
    EXPECT_EQ(session.Mode(), TPlaybackMode::pmNone);
    EXPECT_EQ((std::filesystem::file_size("run") - 12) % 8, 0u);
}

// Every file that is not a saved world of this game is refused with one
// line, and the world is left as it was, to the bit.
TEST_F(WorldState, LoadRefusesWhatIsNotThisGamesWorld)
{
    TMainSession& session = NewSession();
    Play(session, 20);
    ExecuteLine("save good");
    const std::string good = ReadWholeFile("good");
    Play(session, 20);
    const std::vector<uint32_t> before = WorldBits(session);

    std::string version = good;
    version[4] = 2;
    std::string damaged = good;
    damaged[60] ^= 1;
    WriteWholeFile("short", good.substr(0, 30));
    WriteWholeFile("foreign", "PNG and more bytes than a header holds, surely enough");
    WriteWholeFile("version", version);
    WriteWholeFile("damaged", damaged);
    std::filesystem::create_directory("dir");
    const std::pair<std::string, std::string> cases[] = {
        {"short", "Not a saved world of this game: \"short\": cut short: 30 bytes"},
        {"foreign", "Not a saved world of this game: \"foreign\": not a saved world (it does not begin with OB2W)"},
        {"version", "Not a saved world of this game: \"version\": version 2, and this program reads version 1"},
        {"damaged", "Not a saved world of this game: \"damaged\": damaged: its checksum does not match"},
        {"missing", "Cannot open file \"" + (Dir / "missing").string() + "\". No such file or directory"},
        {"dir", "Cannot open file \"" + (Dir / "dir").string() + "\". Is a directory"},
    };
    for (const auto& [file, message] : cases) {
        ExecuteLine("load " + file);
        EXPECT_EQ(LastLine(), "Error: " + message) << file;
        EXPECT_EQ(WorldBits(session), before) << file;
    }
    ExecuteLine("load");
    EXPECT_EQ(LastLine(), "Error: load {file} - Load a saved world");

    // A world of another make-up: the same file with one body fewer.
    TMainSession& other = NewSession();
    other.Scene().Physics.Bodies.pop_back();
    const std::vector<uint32_t> otherBefore = WorldBits(other);
    EXPECT_NE(ErrorText<std::exception>([&] { other.LoadFromFile("good"); })
                  .find("Not a saved world of this game: \"good\": the state has 22 bodies"),
              std::string::npos);
    EXPECT_EQ(WorldBits(other), otherBefore);

    // save never replaces what is not a regular file.
    ExecuteLine("save dir");
    EXPECT_EQ(LastLine(), "Error: Cannot create file \"" + (Dir / "dir").string() + "\". Not a regular file");
}

// Stepping back gives every earlier step's very world again, however far
// (within what is kept) and however often.
TEST_F(WorldState, RewindGivesBackTheWorldOfEveryEarlierStep)
{
    TMainSession& session = NewSession();
    Play(session, 30);
    const std::vector<uint64_t> hashes = Hashes(session, 120, 0x6);
    const uint64_t now = session.History().Now();
    for (const uint32_t back : {1u, 2u, 13u, 25u, 26u, 77u}) {
        session.Rewind(back);
        EXPECT_EQ(session.History().Now(), now - back);
        EXPECT_EQ(session.StateHash(), hashes[hashes.size() - 1 - back]) << back;
        // On again with the same keys: the same worlds.
        const std::vector<uint64_t> again = Hashes(session, back, 0x6);
        EXPECT_TRUE(std::equal(again.begin(), again.end(), hashes.end() - back)) << back;
    }
    // One step at a time, as the held key does, across keyframes.
    for (uint32_t back = 1; back <= 60; ++back) {
        session.Rewind(1);
        ASSERT_EQ(session.StateHash(), hashes[hashes.size() - 1 - back]) << back;
    }
}

// A rewind stops where the recording began and says so once; the file
// keeps only the records of the world as it finally ran, and replays.
TEST_F(WorldState, RewindingARecordingCutsItBackAndItStillReplays)
{
    TMainSession& session = NewSession();
    Play(session, 20);
    ExecuteLine("record run");
    Hashes(session, 80, 0x4);
    EXPECT_EQ(session.Rewind(30), 30u);
    EXPECT_EQ(session.StepCount(), 50u);
    EXPECT_EQ(std::filesystem::file_size("run"), 12u + 8 * 50);
    Hashes(session, 45, 0x1);
    EXPECT_EQ(session.Rewind(1000), 95u);
    EXPECT_EQ(LastLine(), "Rewind stops where the recording began");
    EXPECT_EQ(session.Rewind(5), 0u);
    EXPECT_EQ(ConsoleLines()->Get(1), "record run");
    Hashes(session, 70, 0x9);
    const uint64_t liveHash = session.StateHash();
    session.StartRecording("other");

    const TReplayed replayed = ReplayHeadless("run");
    EXPECT_EQ(replayed.Status, ReplayMatched) << replayed.Out;
    EXPECT_NE(replayed.Out.find("steps: 70\n"), std::string::npos) << replayed.Out;
    EXPECT_NE(replayed.Out.find("checkpoints: 2 matched in run.sum\n"), std::string::npos) << replayed.Out;
    char hash[32];
    std::snprintf(hash, sizeof hash, "hash: 0x%016llX\n", static_cast<unsigned long long>(liveHash));
    EXPECT_NE(replayed.Out.find(hash), std::string::npos) << replayed.Out;
}

// While playing, a rewind resumes the playback from the earlier step: the
// worlds after it are the recorded run's again.
TEST_F(WorldState, RewindingAPlaybackPlaysOnFromTheEarlierStep)
{
    TMainSession& recorder = NewSession();
    ExecuteLine("record run");
    Play(recorder, 150, 21);
    recorder.StartRecording("other");

    TMainSession& player = NewSession();
    player.StartPlayback("run");
    const std::vector<uint64_t> played = Hashes(player, 120, 0);
    EXPECT_EQ(player.Rewind(70), 70u);
    EXPECT_EQ(player.StepCount(), 50u);
    EXPECT_EQ(Hashes(player, 70, 0xF), std::vector<uint64_t>(played.begin() + 50, played.end()));
    EXPECT_EQ(player.Mode(), TPlaybackMode::pmPlay);
}

// The rewind key steps back at the speed of real time while the console is
// hidden; the graph shows those frames in their own colour.
TEST_F(WorldState, HoldingBackspaceStepsBackInRealTime)
{
    TMainSession& session = NewSession();
    const std::vector<uint64_t> hashes = Hashes(session, 100, 0x4);
    SetConsoleVisible(false);
    ExecuteLine("graph 1");
    Fake.Platform.KeysDown = {uint16_t{VK_BACK}};
    const uint64_t before = session.History().Now();
    RunFrame(session, 0.5);
    const uint64_t back = before - session.History().Now();
    EXPECT_GE(back, 24u);
    EXPECT_LE(back, 26u);
    EXPECT_EQ(session.StateHash(), hashes[session.History().Now() - 1]);
    EXPECT_TRUE(session.Extras().Graph().Sample(0).Rewound);

    // With the console shown, Backspace edits the line and the world runs on.
    SetConsoleVisible(true);
    const uint64_t shown = session.History().Now();
    RunFrame(session, 0.5);
    EXPECT_GT(session.History().Now(), shown);
}

// With "playpause" on, a playback stops the world at the recording's last
// step, even inside a frame that paid for many more.
TEST_F(WorldState, PlaypauseStopsTheWorldAtTheRecordingsLastStep)
{
    TMainSession& recorder = NewSession();
    ExecuteLine("record run");
    Hashes(recorder, 37, 0x6);
    const uint64_t last = recorder.StateHash();
    recorder.StartRecording("other");

    TMainSession& player = NewSession();
    player.SetPauseAtPlaybackEnd(true);
    player.StartPlayback("run");
    RunFrame(player, 1.0);
    RunFrame(player, 1.0);
    EXPECT_EQ(player.StepCount(), 37u);
    EXPECT_EQ(player.StateHash(), last);
    EXPECT_EQ(player.PlaySpeed(), 0.0f);
}
