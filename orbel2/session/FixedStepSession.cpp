#include "orbel2/session/FixedStepSession.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleDraw.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_Files.h"
#include "orbel2/kernel/OB_FrameTimer.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/physics/PhysicsSnapshot.h"
#include "orbel2/physics/WorldHash.h"
#include "orbel2/video/OB_Video.h"

#include <algorithm>
#include <cmath>

namespace orbel2 {

TFixedStepSession::~TFixedStepSession()
{
    UnregisterSessionCommands(*this, FStepCount, FPlaySpeed, FPlayPause, FWorkers);
}

void TFixedStepSession::Start()
{
    TSession::Start();
    FPlaySpeed = 1.0f;
    AddWatch("fps");
    // "numupdates" is shown and set as INT, though it counts unsigned steps.
    AddVariable("numupdates", TVariableAddress::IntOverUnsigned(&FStepCount));
    AddVariable("playspeed", &FPlaySpeed);
    AddVariable("T", &OB_VideoInfo.FrameTime);
    AddWatch("numupdates");
    AddWatch("T");
    RegisterRecordingCommands(*this);
    FAppliedWorkers = 0;   // the game makes its world afresh
    StartGame();
    FExtras.Register();
    RegisterStateCommands(*this, FPlayPause, FWorkers, TVariableRange{1, MaxWorkers});
    ResetHistory();
    try {
        if (FStartMode == TPlaybackMode::pmRecord)
            StartRecording(FStartFile);
        else if (FStartMode == TPlaybackMode::pmPlay)
            StartPlayback(FStartFile);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
    }
}

void TFixedStepSession::Stop()
{
    CloseRecordFile();
    TSession::Stop();
}

bool TFixedStepSession::LoadGameState(std::span<const uint8_t> Bytes, std::string& Why)
{
    if (Bytes.empty())
        return true;
    Why = "it holds " + std::to_string(Bytes.size()) + " bytes of a game's own state, and this game keeps none";
    return false;
}

uint64_t TFixedStepSession::StateHash() const
{
    if (const TPhysics2D* world = World())
        return HashWorld(world->Bodies);
    std::vector<uint8_t> game;
    SaveGameState(game);
    return HashBytes(game);
}

bool TFixedStepSession::SetPlaySpeed(float Speed)
{
    if (!std::isfinite(Speed))
        return false;
    FPlaySpeed = Speed;
    return true;
}

void TFixedStepSession::Update()
{
    const double leftover = FAccumulator;
    const double frameTime = OB_Kernel_FrameTime();
    FAccumulator += frameTime * static_cast<double>(FPlaySpeed);
    // An infinite play speed times a zero frame time is not a number; the
    // accumulator would never step again.
    if (std::isnan(FAccumulator))
        FAccumulator = 0;
    // Time run backwards is paid back before steps resume, but never more
    // than one capped frame's worth, so the world always comes back.
    FAccumulator = std::max(FAccumulator, -MaxDebt);
    const bool rewinding = RewindKeyHeld();
    if (!rewinding)
        FRewindLimitSaid = false;
    uint32_t steps = 0;
    bool capped = false;
    while (FAccumulator > StepTime) {
        if (steps == MaxStepsPerFrame) {
            FAccumulator = 0;
            capped = true;
            break;
        }
        if (rewinding)
            RewindFrame(1);
        else
            RunStep();
        FAccumulator -= StepTime;
        ++steps;
        // The world stands at the recording's last step: no step after it.
        if (FPlaySpeed == 0 && FPausedAtEnd) {
            FAccumulator = 0;
            break;
        }
    }
    FPausedAtEnd = false;
    FlushRecording();
    FExtras.FrameStepped(frameTime, steps, capped, leftover, FAccumulator, rewinding);
    Render();
    FExtras.AfterPresent();
    if (FFrameLimit != 0 && ++FFrames >= FFrameLimit)
        Terminate(0);
}

void TFixedStepSession::RunSteps(uint32_t Count)
{
    for (uint32_t step = 0; step < Count; ++step)
        RunStep();
    FlushRecording();
}

bool TFixedStepSession::RewindKeyHeld() const
{
    return !ConsoleInfo.Visible && IsKeyDown(VK_BACK);
}

void TFixedStepSession::RunStep()
{
    ApplyWorkerCount();
    TPhysics2D* world = World();
    if (world != nullptr)
        FExtras.BeforeStep(*world);
    const TStepEntry entry = PlayOrRecordInput();
    StepPhysics(StepTime);
    if (world != nullptr)
        FExtras.AfterStep(*world);
    AfterStep(entry);
}

// Step 1 of a step: the input, from the playback or from the keys (then
// recorded when recording), applied before the world steps.
TStepEntry TFixedStepSession::PlayOrRecordInput()
{
    TStepEntry entry{TSessionCounters{FStepCount, static_cast<uint8_t>(FMode), FPending, FPendingValid,
                                      FReader ? FReader->Position() : 0},
                     0, false};
    if (FMode == TPlaybackMode::pmPlay) {
        if (FPendingValid && FPending.StepNumber <= FStepCount) {
            entry.Input = FPending.InputBits;
            entry.Applied = true;
            ApplyInput(FPending.InputBits, StepTime);
            try {
                FPendingValid = FReader->ReadRecord(FPending);
            } catch (const std::exception& error) {
                StopOnFileError(error);
            }
            if (!FPendingValid)
                PauseAtPlaybackEnd();
        }
        ++FStepCount;
        return entry;
    }
    entry.Input = SampleInput();
    entry.Applied = true;
    if (FMode == TPlaybackMode::pmRecord) {
        WriteInputRecord(entry.Input);
        ++FStepCount;
    }
    ApplyInput(entry.Input, StepTime);
    return entry;
}

void TFixedStepSession::PauseAtPlaybackEnd()
{
    if (FPlayPause == 0)
        return;
    FPlaySpeed = 0;
    FPausedAtEnd = true;
}

void TFixedStepSession::SetWorkerCount(unsigned Count)
{
    FWorkers = static_cast<int32_t>(std::clamp(Count, 1u, static_cast<unsigned>(MaxWorkers)));
}

void TFixedStepSession::ApplyWorkerCount()
{
    TPhysics2D* world = World();
    // "set" holds the variable to its range; a game's own write may not.
    const int32_t workers = std::clamp(FWorkers, 1, MaxWorkers);
    if (world == nullptr || workers == FAppliedWorkers)
        return;
    world->SetWorkerCount(static_cast<unsigned>(workers));
    FAppliedWorkers = workers;
}

void TFixedStepSession::PlayStep(const TInputRecord* Due)
{
    ApplyWorkerCount();
    if (Due != nullptr)
        ApplyInput(Due->InputBits, StepTime);
    ++FStepCount;
    StepPhysics(StepTime);
}

void TFixedStepSession::AfterStep(const TStepEntry& Entry)
{
    FChecksums.AfterStep([this] { return StateHash(); });
    FHistory.AddStep(Entry);
    if (FHistory.WantsKeyframe())
        SaveWorldState(FHistory.NewKeyframe());
}

void TFixedStepSession::Render()
{
    OB_Video_Clear(0);
    OB_Video_BeginScene();
    DrawScene(FExtras.DrawAlpha(FAccumulator));
    FExtras.DrawOverlay();
    ConsoleDraw();
    OB_Video_EndScene();
    OB_Video_Present(true);
}

void TFixedStepSession::KeyDown(uint16_t Key)
{
    ConsoleKeyDown(Key);
    switch (Key) {
    case VK_ESCAPE:
        Terminate(0);
        break;
    case VK_HOME:
        ToggleConsole();
        break;
    case VK_F11:
        ToggleFullScreen();
        break;
    default:
        GameKeyDown(Key);
        break;
    }
}

void TFixedStepSession::KeyPress(char Ch)
{
    ConsoleChar(Ch);
    GameKeyPress(Ch);
}

void TFixedStepSession::ToggleFullScreen()
{
    // A mode the device refuses leaves the previous one running.
    try {
        OB_Video_Open(nullptr, 800, 600, 32, !OB_VideoInfo.FullScreen, true, 0);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
    }
}

void TFixedStepSession::WriteInputRecord(uint32_t Input)
{
    FWriter->Write(TInputRecord{FStepCount, Input});
}

// Whatever was recorded reaches the file before it is closed; a write that
// fails is reported like any other file error.
void TFixedStepSession::CloseRecordFile()
{
    FlushRecording();
    DropFiles();
}

void TFixedStepSession::StopOnFileError(const std::exception& error)
{
    ConsolePrint(std::string("Error: ") + error.what());
    FMode = TPlaybackMode::pmNone;
    DropFiles();
}

void TFixedStepSession::DropFiles()
{
    FWriter.reset();
    FReader.reset();
    FChecksums.Close();
    FPendingValid = false;
}

void TFixedStepSession::FlushRecording()
{
    if (!FWriter)
        return;
    try {
        FWriter->Flush();
    } catch (const std::exception& error) {
        // The file keeps its whole records; its checksums go no further.
        FChecksums.CutTo(static_cast<uint32_t>(FWriter->RecordsOnDisk()));
        StopOnFileError(error);
        return;
    }
    FChecksums.Flush();
}

void TFixedStepSession::StartRecording(const std::string& Name)
{
    CloseRecordFile();
    try {
        FWriter = std::make_unique<TRecordWriter>(Name, RecordingHeader());
    } catch (...) {
        FMode = TPlaybackMode::pmNone;
        throw;
    }
    FStepCount = 0;
    FMode = TPlaybackMode::pmRecord;
    FChecksums.StartRecording(Name, StateHash());
    ResetHistory();
    TWorldState start;
    SaveWorldState(start);
    start.Counters = TSessionCounters{};
    WriteRecordingStart(Name, start);
}

void TFixedStepSession::StartPlayback(const std::string& Name)
{
    CloseRecordFile();
    try {
        FReader = std::make_unique<TRecordReader>(Name);
        RestoreRecordingStart(*FReader, Name);
        FPendingValid = FReader->ReadRecord(FPending);
    } catch (...) {
        FMode = TPlaybackMode::pmNone;
        DropFiles();
        throw;
    }
    FMode = TPlaybackMode::pmPlay;
    FStepCount = 0;
    if (!FPendingValid)
        PauseAtPlaybackEnd();
    if (const std::string note = PartialRecordNote(*FReader, Name); !note.empty())
        ConsolePrint(note);
    FChecksums.StartPlayback(Name, StateHash());
    ResetHistory();
}

TRecordingHeader TFixedStepSession::RestoreRecordingStart(TRecordReader& Reader, const std::string& Name)
{
    const TRecordingHeader header = ReadPlaybackHeader(Reader, Name);
    TWorldState start;
    if (!ReadRecordingStart(Name, StateFileLimit(), start)) {
        ApplyRecordingHeader(header);
        return header;
    }
    // The counters of the state are those of the recording's start; the
    // playback's own are set by its caller.
    start.Counters = TSessionCounters{};
    std::string why;
    if (!LoadWorldState(start, why))
        throw EInOutError("Not a recording's start: " + OB_QuotedName(RecordingStartName(Name)) + ": " + why);
    return header;
}

void TFixedStepSession::SaveWorldState(TWorldState& State) const
{
    State.Counters = TSessionCounters{FStepCount, static_cast<uint8_t>(FMode), FPending, FPendingValid,
                                      FReader ? FReader->Position() : 0};
    if (const TPhysics2D* world = World())
        SavePhysicsState(*world, State.Physics);
    else
        State.Physics.clear();
    State.Game.clear();
    SaveGameState(State.Game);
}

bool TFixedStepSession::LoadWorldState(const TWorldState& State, std::string& Why)
{
    TPhysics2D* world = World();
    if (world == nullptr && !State.Physics.empty()) {
        Why = "it holds a physics world, and this game has none";
        return false;
    }
    SaveWorldState(FScratch);
    if (world != nullptr && !LoadPhysicsState(*world, State.Physics, Why))
        return false;
    if (!LoadGameState(State.Game, Why)) {
        std::string ignored;
        if (world != nullptr)
            LoadPhysicsState(*world, FScratch.Physics, ignored);
        LoadGameState(FScratch.Game, ignored);
        return false;
    }
    FStepCount = State.Counters.StepCount;
    FPending = State.Counters.Pending;
    FPendingValid = State.Counters.PendingValid;
    return true;
}

void TFixedStepSession::SaveToFile(const std::string& Name)
{
    TWorldState state;
    SaveWorldState(state);
    std::vector<uint8_t> bytes;
    EncodeWorldState(state, bytes);
    WriteWorldStateFile(Name, bytes);
}

size_t TFixedStepSession::StateFileLimit() const
{
    TWorldState current;
    SaveWorldState(current);
    std::vector<uint8_t> encoded;
    EncodeWorldState(current, encoded);
    return encoded.size() + (16u << 20);
}

// A load ends any recording or playback, as "record" and "play" do, and the
// world goes on from the loaded step.
void TFixedStepSession::LoadFromFile(const std::string& Name)
{
    const std::vector<uint8_t> bytes = ReadWorldStateFile(Name, StateFileLimit());
    TWorldState state;
    std::string why;
    if (!DecodeWorldState(bytes, state, why) || !LoadWorldState(state, why))
        throw EInOutError("Not a saved world of this game: " + OB_QuotedName(Name) + ": " + why);
    const uint32_t steps = FStepCount;
    CloseRecordFile();
    FMode = TPlaybackMode::pmNone;
    FStepCount = steps;
    ResetHistory();
}

void TFixedStepSession::ResetHistory()
{
    TWorldState now;
    SaveWorldState(now);
    FHistory.Reset(FHistory.Now(), now);
}

uint32_t TFixedStepSession::Rewind(uint32_t Steps)
{
    const uint64_t now = FHistory.Now();
    const uint64_t oldest = FHistory.Oldest();
    const uint64_t target = now - std::min<uint64_t>(Steps, now - oldest);
    if (Steps > now - oldest)
        SayRewindLimit();
    if (target == now)
        return 0;
    std::string why;
    if (const TWorldState* kept = FHistory.Kept(target)) {
        LoadWorldState(*kept, why);
    } else {
        uint64_t at = 0;
        LoadWorldState(FHistory.KeyframeFor(target, at), why);
        FHistory.BeginSegment(at);
        for (uint64_t step = at; step < target; ++step) {
            if (step > at)
                SaveWorldState(FHistory.SegmentSlot(step));
            ResimulateStep(FHistory.Entry(step));
        }
    }
    // The counters as they were before the step the world now stands at.
    const TSessionCounters counters = FHistory.Entry(target).Counters;
    FStepCount = counters.StepCount;
    FPending = counters.Pending;
    FPendingValid = counters.PendingValid;
    FHistory.CutTo(target);
    RestoreFiles(counters.PlaybackPosition);
    return static_cast<uint32_t>(now - target);
}

void TFixedStepSession::RewindFrame(uint32_t Steps)
{
    if (Rewind(Steps) == 0)
        FAccumulator = 0;
}

void TFixedStepSession::ResimulateStep(const TStepEntry& Entry)
{
    if (Entry.Applied)
        ApplyInput(Entry.Input, StepTime);
    StepPhysics(StepTime);
}

// The files follow the world back: a recording loses the records after the
// step, a playback reads on from the record that step was waiting for.
void TFixedStepSession::RestoreFiles(uint64_t PlaybackPosition)
{
    try {
        if (FWriter) {
            FWriter->CutTo(FStepCount);
            FChecksums.CutTo(FStepCount);
        }
        if (FReader) {
            FReader->Seek(PlaybackPosition);
            FChecksums.RewindTo(FStepCount);
        }
    } catch (const std::exception& error) {
        StopOnFileError(error);
    }
}

void TFixedStepSession::SayRewindLimit()
{
    if (FRewindLimitSaid)
        return;
    FRewindLimitSaid = true;
    if (FMode == TPlaybackMode::pmRecord)
        ConsolePrint("Rewind stops where the recording began");
    else if (FMode == TPlaybackMode::pmPlay)
        ConsolePrint("Rewind stops where the playback began");
    else
        ConsolePrint("Rewind stops at the oldest state kept");
}

}   // namespace orbel2
