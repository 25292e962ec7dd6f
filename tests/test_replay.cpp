// Replays that can be trusted: a recording's checksums written beside it,
// playback that says at which step it leaves the recorded run, and the
// headless replay of "orbel2 --replay", which must reach the very bits the
// running demo reached.
#include "RunProgram.h"
#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "demo/ScriptedRun.h"
#include "orbel2/physics/WorldHash.h"
#include "orbel2/session/HeadlessReplay.h"
#include "orbel2/session/ReplayChecksums.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

class Replay : public TDemoSessionsTest {
protected:
    // Records at least Steps steps of a fresh demo into Name, with keys and
    // frame times from a fixed sequence. The recording stays open.
    TMainSession& Record(const std::string& Name, uint32_t Steps)
    {
        TMainSession& session = NewSession();
        session.StartRecording(Name);
        uint32_t seed = 12345;
        while (session.StepCount() < Steps) {
            Fake.Platform.HoldArrowsAtRandom(seed);
            RunFrame(session, 0.005 + (seed >> 24) / 2000.0);
        }
        Fake.Platform.KeysDown.clear();
        return session;
    }
    // Plays Name in a fresh demo for at least Steps steps.
    TMainSession& Play(const std::string& Name, uint32_t Steps)
    {
        TMainSession& session = NewSession();
        session.StartPlayback(Name);
        while (session.StepCount() < Steps)
            RunFrame(session, 0.5);
        return session;
    }
};

struct TReplayed {
    int Status;
    std::string Out, Err;
    // The "name: value" lines of Out.
    std::map<std::string, std::string> Values() const
    {
        std::map<std::string, std::string> values;
        std::istringstream lines(Out);
        for (std::string line; std::getline(lines, line);)
            if (const size_t colon = line.find(": "); colon != std::string::npos)
                values[line.substr(0, colon)] = line.substr(colon + 2);
        return values;
    }
};

TReplayed ReplayHeadless(const std::string& file, uint32_t hashEvery = 0)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunHeadlessReplay(TReplayRequest{file, hashEvery}, out, err);
    return {status, out.str(), err.str()};
}

std::string Hex(uint64_t hash)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, hash);
    return text;
}

// How many of the console's kept lines are exactly Line, and how many
// begin with Start.
int ConsoleCount(const std::string& line)
{
    int count = 0;
    for (int32_t i = 0; i < ConsoleLines()->Count(); ++i)
        count += ConsoleLines()->Get(i) == line;
    return count;
}
int ConsoleCountStarting(const std::string& start)
{
    int count = 0;
    for (int32_t i = 0; i < ConsoleLines()->Count(); ++i)
        count += ConsoleLines()->Get(i).starts_with(start);
    return count;
}

bool LogHas(const std::string& line)
{
    return ReadWholeFile("orbel2.log").find("] " + line + "\r\n") != std::string::npos;
}

uint64_t WorldHash(TMainSession& session)
{
    return HashWorld(session.Scene().Physics.Bodies);
}

}   // namespace

// The guarantee end to end: the running demo records, and the replay with
// no display at all reaches the hash the demo reached at its last step,
// with every checkpoint of the recording's checksums met on the way.
TEST_F(Replay, ARecordingOfTheRunningDemoReplaysHeadlessToTheDemosLastHash)
{
    TMainSession& demo = Record("run", 1000);
    const uint32_t steps = demo.StepCount();
    const uint64_t demoHash = WorldHash(demo);
    const TBodyState player = demo.Scene().Player.State;
    demo.Stop();

    const TReplayed replayed = ReplayHeadless("run");
    EXPECT_EQ(replayed.Status, ReplayMatched);
    EXPECT_EQ(replayed.Err, "");
    auto values = replayed.Values();
    EXPECT_EQ(values["records"], std::to_string(steps));
    EXPECT_EQ(values["steps"], std::to_string(steps));
    EXPECT_EQ(values["hash"], Hex(demoHash));
    EXPECT_EQ(values["checkpoints"], std::to_string(steps / ChecksumInterval + 1) + " matched in run.sum");
    // The printed position and angle read back to the demo's very floats.
    std::istringstream printed(values["player"]);
    std::string x, y, angle;
    float px = 0, py = 0, pa = 0;
    printed >> x >> px >> y >> py >> angle >> pa;
    EXPECT_EQ(x + y + angle, "xyangle");
    EXPECT_EQ(std::bit_cast<uint32_t>(px), std::bit_cast<uint32_t>(player.Position.x));
    EXPECT_EQ(std::bit_cast<uint32_t>(py), std::bit_cast<uint32_t>(player.Position.y));
    EXPECT_EQ(std::bit_cast<uint32_t>(pa), std::bit_cast<uint32_t>(player.Angle));

    // The program itself, with no display and no video driver named, says
    // the same and writes no log.
    const int status = RunProgram(
        [] {
            for (const char* name : {"SDL_VIDEODRIVER", "SDL_RENDER_DRIVER", "DISPLAY", "WAYLAND_DISPLAY"})
                ::unsetenv(name);
        },
        {"--replay", "run"});
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), ReplayMatched);
    EXPECT_EQ(ReadWholeFile("stdout.txt"), replayed.Out);
    EXPECT_EQ(ReadWholeFile("stderr.txt"), "");
}

// One input bit changed in the middle of a recording: the demo playing it
// says so once, on the console and in the log, at the first checkpoint after
// the changed step, and the headless replay stops there with status 3.
TEST_F(Replay, OneFlippedInputBitDivergesAtTheNextCheckpoint)
{
    Record("run", 400).Stop();
    const std::string recording = ReadWholeFile("run");
    const std::string checksums = ReadWholeFile("run.sum");

    Play("run", 400);
    EXPECT_EQ(ConsoleCountStarting("Replay diverges"), 0);
    EXPECT_EQ(ReplayHeadless("run").Status, ReplayMatched);

    // The record changed, and the checkpoint (every 50 steps) that sees it.
    const std::pair<uint32_t, uint32_t> edits[] = {{0, 50}, {120, 150}, {149, 150}, {150, 200}, {399, 400}};
    for (const auto& [record, checkpoint] : edits) {
        const std::string name = "edited" + std::to_string(record);
        std::string edited = recording;
        edited[12 + 8 * record + 4] ^= static_cast<char>(INPUT_UP);
        WriteWholeFile(name, edited);
        WriteWholeFile(name + ".sum", checksums);

        const std::string line = "Replay diverges at step " + std::to_string(checkpoint);
        const int before = ConsoleCountStarting("Replay diverges");
        const int beforeThisStep = ConsoleCount(line);
        Play(name, 500);
        EXPECT_EQ(ConsoleCountStarting("Replay diverges") - before, 1) << name;
        EXPECT_EQ(ConsoleCount(line) - beforeThisStep, 1) << name;
        EXPECT_TRUE(LogHas(line)) << name;

        const TReplayed replayed = ReplayHeadless(name);
        EXPECT_EQ(replayed.Status, ReplayDiverged) << name;
        EXPECT_EQ(replayed.Out, line + "\n") << name;
        EXPECT_EQ(replayed.Err, "") << name;
    }
}

// Checksums that cannot be read are reported once, on the console and in
// the log (or on stderr), and the replay runs unchecked to the same end.
// None at all is no error.
TEST_F(Replay, DamagedChecksumsAreReportedOnceAndIgnored)
{
    Record("run", 120).Stop();
    const std::string recording = ReadWholeFile("run");
    const std::string good = ReadWholeFile("run.sum");
    const std::string hash = ReplayHeadless("run").Values()["hash"];
    ASSERT_EQ(good.size(), 12u + 8u * 3u);

    std::string version = good;
    version[4] = 2;
    std::string interval = good;
    interval[8] = 0;
    const std::tuple<std::string, std::string, std::string> damages[] = {
        {"magic", "XB2S" + good.substr(4), "not a checksum file (it does not begin with OB2S)"},
        {"version", version, "version 2, and this program reads version 1"},
        {"interval", interval, "an interval of 0 steps"},
        {"header", good.substr(0, 5), "cut short: 5 bytes, fewer than the 12 of its header"},
        {"empty", "", "cut short: 0 bytes, fewer than the 12 of its header"},
        {"partial", good + "abc", "cut short: it ends in 3 bytes of a partial checksum"},
        {"directory", "", "Cannot open file \"" + (Dir / "directory.sum").string() + "\". Is a directory"},
    };
    for (const auto& [name, checksums, why] : damages) {
        WriteWholeFile(name, recording);
        if (name == "directory")
            std::filesystem::create_directory(name + ".sum");
        else
            WriteWholeFile(name + ".sum", checksums);
        const std::string line = "Checksums \"" + name + ".sum\" ignored: " + why;

        Play(name, 200);
        EXPECT_EQ(ConsoleCount(line), 1) << name;
        EXPECT_TRUE(LogHas(line)) << name;

        const TReplayed replayed = ReplayHeadless(name);
        EXPECT_EQ(replayed.Status, ReplayMatched) << name;
        EXPECT_EQ(replayed.Err, "orbel2: " + line + "\n") << name;
        EXPECT_EQ(replayed.Values()["hash"], hash) << name;
        EXPECT_EQ(replayed.Values()["checkpoints"], "none, " + name + ".sum ignored") << name;
    }
    EXPECT_EQ(ConsoleCountStarting("Replay diverges"), 0);

    WriteWholeFile("unchecked", recording);
    Play("unchecked", 200);
    EXPECT_EQ(LastLine(), "press <home> to hide this console");   // the session's own greeting, nothing after
    const TReplayed replayed = ReplayHeadless("unchecked");
    EXPECT_EQ(replayed.Status, ReplayMatched);
    EXPECT_EQ(replayed.Err, "");
    EXPECT_EQ(replayed.Values()["hash"], hash);
    EXPECT_EQ(replayed.Values()["checkpoints"], "none, unchecked.sum not found");
}

// What is not a recording gets the console's "play" messages; the headless
// replay prints them on stderr, prints nothing on stdout and exits with 1.
TEST_F(Replay, NonRecordingsGetThePlayCommandsMessages)
{
    TMainSession& session = NewSession();
    const std::string header = ReadWholeFile((Record("header", 0).Stop(), "header"));
    WriteWholeFile("tiny", "\x01\x02\x03\x04\x05");
    WriteWholeFile("nan", std::string("\0\0\xC0\x7F", 4) + header.substr(4));
    WriteWholeFile("cut", header + std::string(8, '\0') + "\x01\x02\x03");
    // The message, and whether "play" and "--replay" go on with the whole
    // records.
    const std::tuple<std::string, std::string, bool> files[] = {
        {"tiny", "Not a recording: \"tiny\" has 5 bytes, fewer than the 12 of a position and angle", false},
        {"nan", "Not a recording: the start of \"nan\" is not a position and angle", false},
        {"cut", "Not a whole recording: \"cut\" ends in 3 bytes of a cut-off record", true},
        {"missing", "Cannot open file \"" + (Dir / "missing").string() + "\". No such file or directory", false},
    };
    for (const auto& [file, message, plays] : files) {
        ExecuteLine("record before");
        ExecuteLine("play " + file);
        EXPECT_EQ(LastLine(), plays ? message : "Error: " + message) << file;
        EXPECT_EQ(session.Mode(), plays ? TPlaybackMode::pmPlay : TPlaybackMode::pmNone) << file;

        const TReplayed replayed = ReplayHeadless(file);
        EXPECT_EQ(replayed.Status, plays ? ReplayMatched : ReplayNotARecording) << file;
        EXPECT_EQ(replayed.Out.starts_with("records: 1\nsteps: 1\n"), plays) << replayed.Out;
        EXPECT_EQ(replayed.Err, "orbel2: " + message + "\n") << file;
    }
}

// The checksums sit beside the recording and change nothing in it: the
// same keys give the same bytes whether or not checksums could be written.
TEST_F(Replay, TheRecordingsBytesAreTheSameWithOrWithoutChecksums)
{
    std::filesystem::create_directory("plain.sum");   // nothing can be written there
    WriteWholeFile("checked.sum", "stale");   // replaced by the recording's own
    TMainSession& checked = NewSession();
    TMainSession& plain = NewSession();
    checked.StartRecording("checked");
    plain.StartRecording("plain");
    EXPECT_EQ(LastLine(), "Error: Cannot create file \"" + (Dir / "plain.sum").string() + "\". Is a directory");
    EXPECT_EQ(plain.Mode(), TPlaybackMode::pmRecord);
    uint32_t seed = 99;
    for (int frame = 0; frame < 200; ++frame) {
        seed = seed * 1103515245u + 12345u;
        Fake.Platform.KeysDown = {static_cast<uint16_t>(VK_LEFT + (seed >> 30))};
        const double frameTime = 0.01 + (seed >> 24) / 4000.0;
        RunFrame(checked, frameTime);
        RunFrame(plain, frameTime);
    }
    const uint32_t steps = checked.StepCount();
    checked.Stop();
    plain.Stop();
    const std::string bytes = ReadWholeFile("checked");
    EXPECT_EQ(bytes, ReadWholeFile("plain"));
    ASSERT_EQ(bytes.size(), 12u + 8u * steps);
    for (uint32_t k = 0; k < steps; ++k) {
        uint32_t step = 0;
        std::memcpy(&step, bytes.data() + 12 + 8 * k, 4);
        ASSERT_EQ(step, k);
    }
    EXPECT_EQ(std::filesystem::file_size("checked.sum"), 12u + 8u * (steps / ChecksumInterval + 1));
    EXPECT_TRUE(std::filesystem::is_directory("plain.sum"));
    EXPECT_EQ(ReplayHeadless("checked").Status, ReplayMatched);

    // Nothing is written beside what is not a regular file.
    ExecuteLine("record /dev/null");
    EXPECT_FALSE(std::filesystem::exists("/dev/null.sum"));
}

// The scripted run of the determinism test, written as a recording, replays
// to the scripted run's own final hash; --hash-every prints on the way.
TEST_F(Replay, TheScriptedRunAsARecordingReplaysToItsOwnHash)
{
    {
        TRecordWriter writer("scripted", TRecordingHeader{});
        TInputScript script;
        for (uint32_t step = 0; step < ScriptedRunSteps; ++step)
            writer.Write(TInputRecord{step, script.Next()});
        writer.Flush();
    }
    TDemoScene scene;
    BuildDemoBodies(scene);
    const uint64_t finalHash = RunScriptedDemo(scene, ScriptedRunSteps).FinalHash;

    const TReplayed replayed = ReplayHeadless("scripted", 5000);
    EXPECT_EQ(replayed.Status, ReplayMatched);
    auto values = replayed.Values();
    EXPECT_EQ(values["hash"], Hex(finalHash));
    EXPECT_EQ(values["hash at step 20000"], Hex(finalHash));
    EXPECT_EQ(values.count("hash at step 5000") + values.count("hash at step 10000") +
                  values.count("hash at step 15000"),
              3u);
    EXPECT_EQ(values["steps"], "20000");
    EXPECT_EQ(values["checkpoints"], "none, scripted.sum not found");
}
