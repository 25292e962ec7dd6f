// The fixed-step core every game on the engine runs on. However fast or slow
// frames come, the world advances in steps of exactly StepTime of simulated
// time, as many as the frame time times "playspeed" has paid for (at most
// MaxStepsPerFrame a frame); input is sampled once per step; the scene is
// drawn once per frame. Because every step has the same length and its own
// input word, a run can be recorded and replayed step for step, saved and
// loaded, and stepped back.
//
// A game derives from it and supplies only its own parts:
//   StartGame        build the world, register the game's own console entries
//   SampleInput      the input word for one step (the keys held now)
//   ApplyInput       that word applied to the world, before its step
//   StepPhysics      one step of the world
//   DrawScene        the scene, Alpha of the way from the last step's state
//                    to the state now (1 unless "interpolate" is on)
//   World            its physics world, if it has one: hashed, saved and
//                    interpolated by the core
//   SaveGameState / LoadGameState   its own state beyond the physics world
//   RecordingHeader / ApplyRecordingHeader   the 12 bytes at the start of a
//                    recording (the core's default writes three zero floats
//                    and reads nothing from them)
//
// One frame (Update), in this order: the frame time times the play speed is
// added to the accumulator; while it holds more than StepTime, one step:
// input (sampled and recorded, or played), the poses before the step, the
// step, the poses after it, the checksums and the rewind history; then the
// recording is flushed, the graph takes the frame, and Render draws: clear,
// DrawScene, the graph, the console, present; then the frame cap waits.
// While the rewind key (Backspace, with the console hidden) is held, the
// paid-for steps go backwards instead.
//
// Console entries the core registers, in this order: the watch "fps";
// "numupdates", "playspeed", "T" and their watches; "record" and "play";
// then "maxfps", "interpolate", "graph"; then "save", "load", "hash",
// "rewind" and "playpause".
#pragma once

#include "orbel2/physics/physicssystem.h"
#include "orbel2/session/FrameExtras.h"
#include "orbel2/session/InputRecording.h"
#include "orbel2/session/ReplayChecksums.h"
#include "orbel2/session/RewindHistory.h"
#include "orbel2/session/Session.h"
#include "orbel2/session/SessionCommands.h"
#include "orbel2/session/WorldSnapshot.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orbel2 {

enum class TPlaybackMode : uint8_t { pmNone = 0, pmRecord = 1, pmPlay = 2 };

class TFixedStepSession : public TSession, public TSessionCommands {
public:
    static constexpr float StepTime = 0.02f;
    // One frame runs at most this many steps (50 steps of the one-second
    // frame-time cap at play speed 100) and drops the time beyond them.
    static constexpr uint32_t MaxStepsPerFrame = 5000;
    // The most time a negative play speed can owe: what one frame's steps
    // at the cap pay for (100 s).
    static constexpr double MaxDebt = MaxStepsPerFrame * 0.02;

    TFixedStepSession() = default;
    // Takes the core's commands and variables out of the console.
    ~TFixedStepSession() override;

    void Update() override;
    // The console first; then Escape ends the session, Home shows or hides
    // the console, F11 switches between an 800 x 600 window and full screen;
    // any other key goes to GameKeyDown.
    void KeyDown(uint16_t Key) override;
    // The console, then GameKeyPress.
    void KeyPress(char Ch) override;
    // The core's console entries, StartGame, then the history's first state.
    void Start() override;
    // Closes any recording or playback.
    void Stop() override;

    // --- the game's parts
    virtual void StartGame() = 0;
    virtual uint32_t SampleInput() const { return 0; }
    virtual void ApplyInput(uint32_t Input, float Dt) = 0;
    virtual void StepPhysics(float Dt) = 0;
    virtual void DrawScene(float Alpha) = 0;
    virtual TPhysics2D* World() { return nullptr; }
    const TPhysics2D* World() const { return const_cast<TFixedStepSession*>(this)->World(); }
    // Appends the game's own state to Out; the same state, the same bytes.
    virtual void SaveGameState(std::vector<uint8_t>& /*Out*/) const {}
    // Takes back what SaveGameState wrote; false, with Why, refuses it. The
    // core puts everything back when any part of a load is refused.
    virtual bool LoadGameState(std::span<const uint8_t> Bytes, std::string& Why);
    virtual TRecordingHeader RecordingHeader() const { return {}; }
    virtual void ApplyRecordingHeader(const TRecordingHeader& /*Header*/) {}
    // The hash checksums compare: the physics world's (orbel2/physics/WorldHash.h)
    // when there is one, else FNV-1a of the game's own state.
    uint64_t StateHash() const override;
    // Lines of its own that "--replay" prints after "steps:", each ended by
    // a newline (none by default).
    virtual std::string ReplayReport() const { return {}; }
    virtual void GameKeyDown(uint16_t /*Key*/) {}
    virtual void GameKeyPress(char /*Ch*/) {}

    // --- recording and playback
    // Both close any open recording or playback first. A file that cannot
    // be created or opened raises EInOutError and leaves the session in
    // pmNone. A recording keeps the world as it begins in FILE.state beside
    // a regular FILE; "play" restores it when it is there, and otherwise
    // only what the header holds.
    void StartRecording(const std::string& Name) override;
    void StartPlayback(const std::string& Name) override;
    void WriteInputRecord(uint32_t Input);
    // The world at the start of the recording Name, as "play" and the
    // headless replay restore it: from Name.state when there is one, else
    // from the header. EInOutError when Name or its state is no recording.
    TRecordingHeader RestoreRecordingStart(TRecordReader& Reader, const std::string& Name);

    // --- Count steps as a frame runs them (input, step, checksums, rewind
    // history), with nothing drawn: for tools, tests and benchmarks that
    // drive a session without frames.
    void RunSteps(uint32_t Count);

    // --- one step, as a playback runs it: Due (may be null) applied, the
    // step counter moved on, the world stepped. The headless replay uses it.
    void PlayStep(const TInputRecord* Due);

    // --- state
    void SaveWorldState(TWorldState& State) const;
    // False, with Why, and the world untouched, when State does not fit.
    bool LoadWorldState(const TWorldState& State, std::string& Why);
    // "save FILE" and "load FILE"; EInOutError on failure, the world untouched.
    void SaveToFile(const std::string& Name) override;
    void LoadFromFile(const std::string& Name) override;
    // Steps the world back by up to Steps steps; how many it went back.
    uint32_t Rewind(uint32_t Steps) override;
    const TRewindHistory& History() const { return FHistory; }
    void SetRewindCapacity(uint32_t Steps) { FHistory.SetCapacity(Steps); }

    void Render();

    // --- settings a game may also set from code
    // Any finite speed; false, and the speed unchanged, for NaN or ±inf.
    bool SetPlaySpeed(float Speed);
    float PlaySpeed() const { return FPlaySpeed; }
    void SetMaxFPS(int32_t FramesPerSecond) { FExtras.SetMaxFPS(FramesPerSecond); }
    void SetInterpolate(bool On) { FExtras.SetInterpolate(On); }
    void SetGraphShown(bool Shown) { FExtras.SetGraphShown(Shown); }
    // The session ends after this many frames (0, the default: never).
    void SetFrameLimit(uint64_t Frames) { FFrameLimit = Frames; }
    // Start records into Name (pmRecord) or plays it (pmPlay) once the game
    // has started; a file that cannot be used is reported on the console.
    void SetStartFile(TPlaybackMode Mode, std::string Name)
    {
        FStartMode = Mode;
        FStartFile = std::move(Name);
    }
    // While on, a playback whose records are used up sets the play speed to
    // 0, so the world stands at the recording's last step.
    void SetPauseAtPlaybackEnd(bool On) { FPlayPause = On ? 1 : 0; }
    // Threads that share the collision pass of World(), the calling thread
    // included, from the next step on: 1 (the default) starts none. Every
    // count gives the same bits; "physicsworkers" on the console sets it too.
    void SetWorkerCount(unsigned Count);
    static constexpr int32_t MaxWorkers = 64;

    TPlaybackMode Mode() const { return FMode; }
    uint32_t StepCount() const override { return FStepCount; }
    double Accumulator() const { return FAccumulator; }
    uint64_t Frames() const { return FFrames; }
    // The frame cap, interpolated drawing and the live graph.
    const TFrameExtras& Extras() const { return FExtras; }

private:
    void RunStep();
    TStepEntry PlayOrRecordInput();
    void AfterStep(const TStepEntry& Entry);
    void ResimulateStep(const TStepEntry& Entry);
    void RewindFrame(uint32_t Steps);
    void RestoreFiles(uint64_t PlaybackPosition);
    void ResetHistory();
    void CloseRecordFile();
    void DropFiles();
    void StopOnFileError(const std::exception& error);
    void FlushRecording();
    void ToggleFullScreen();
    void SayRewindLimit();
    void RegisterAdditions();
    bool RewindKeyHeld() const;
    // Gives World() the worker count when it changed, before a step.
    void ApplyWorkerCount();
    // With "playpause" on: play speed 0, and no step after this one.
    void PauseAtPlaybackEnd();
    // The largest state file this game reads: its own state's size and 16 MiB.
    size_t StateFileLimit() const;

    std::unique_ptr<TRecordWriter> FWriter;   // open while recording
    std::unique_ptr<TRecordReader> FReader;   // open while playing
    TSessionChecksums FChecksums;   // FILE.sum beside the recording FILE
    double FAccumulator = 0;
    uint32_t FStepCount = 0;
    TInputRecord FPending;
    bool FPendingValid = false;   // false once the records are used up
    TPlaybackMode FMode = TPlaybackMode::pmNone;
    float FPlaySpeed = 0;
    TFrameExtras FExtras;
    TRewindHistory FHistory;
    TWorldState FScratch;   // the state a load replaces, kept to put back
    int32_t FPlayPause = 0;
    int32_t FWorkers = 1;
    int32_t FAppliedWorkers = 0;   // what World() was last given; 0: nothing yet
    uint64_t FFrameLimit = 0;
    uint64_t FFrames = 0;
    TPlaybackMode FStartMode = TPlaybackMode::pmNone;
    std::string FStartFile;
    bool FRewindLimitSaid = false;
    bool FPausedAtEnd = false;
};

// The virtual constructor of a game's session, for OB_RunGame and the
// headless replay.
using TFixedStepSessionClass = std::unique_ptr<TFixedStepSession> (*)();

template <class TGameSession>
std::unique_ptr<TFixedStepSession> GameSessionClass()
{
    return std::make_unique<TGameSession>();
}

}   // namespace orbel2
