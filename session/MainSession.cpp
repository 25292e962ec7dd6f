#include "session/MainSession.h"

#include "console/OB_Console.h"
#include "console/OB_ConsoleDraw.h"
#include "console/OB_ConsoleEdit.h"
#include "kernel/OB_FrameTimer.h"
#include "kernel/OB_KeyCodes.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"

#include <algorithm>
#include <cmath>

namespace {

// "record <file>" and "play <file>": the first word names the file, further
// words are ignored.
template <void (TMainSession::*StartWithFile)(const std::string&)>
bool FileCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount < 1) {
        ConsolePrint("need file");
        return false;
    }
    (static_cast<TMainSession*>(Data)->*StartWithFile)(Args[0]);
    return true;
}

}   // namespace

TMainSession::~TMainSession()
{
    RemoveCommand("record", this);
    RemoveCommand("play", this);
    RemoveVariable("numupdates", &FStepCount);
    RemoveVariable("playspeed", &FPlaySpeed);
    RemoveVariable("T", &OB_VideoInfo.FrameTime);
}

void TMainSession::Start()
{
    TSession::Start();
    FScene = std::make_unique<TDemoScene>();
    FPlaySpeed = 1.0f;
    OB_Video_SetVirtualSize(800, 600, 0);
    AddWatch("fps");
    // "numupdates" is shown and set as INT, though it counts unsigned steps.
    AddVariable("numupdates", TVariableAddress::IntOverUnsigned(&FStepCount));
    AddVariable("playspeed", &FPlaySpeed);
    AddVariable("T", &OB_VideoInfo.FrameTime);
    AddWatch("numupdates");
    AddWatch("T");
    AddCommand("record", "", FileCommand<&TMainSession::StartRecording>, this);
    AddCommand("play", "", FileCommand<&TMainSession::StartPlayback>, this);
    ConsolePrint("Fixed time \"canonical\" game loop demo");
    ConsolePrint("use \"record <file>\" to record gameplay");
    ConsolePrint("use \"play <file>\" to playback gameplay");
    ConsolePrint("press <home> to hide this console");
    SetConsoleVisible(true);
    BuildDemoBodies(*FScene);
    FExtras.Register();
}

void TMainSession::Stop()
{
    CloseRecordFile();
    TSession::Stop();
}

void TMainSession::Update()
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
    uint32_t steps = 0;
    bool capped = false;
    while (FAccumulator > DemoStepTime) {
        if (steps == MaxStepsPerFrame) {
            FAccumulator = 0;
            capped = true;
            break;
        }
        FExtras.BeforeStep(FScene->Physics);
        RunStep();
        FExtras.AfterStep(FScene->Physics);
        FAccumulator -= DemoStepTime;
        ++steps;
    }
    FlushRecording();
    FExtras.FrameStepped(frameTime, steps, capped, leftover, FAccumulator);
    Render();
    FExtras.AfterPresent();
}

bool TMainSession::SetPlaySpeed(float Speed)
{
    if (!std::isfinite(Speed))
        return false;
    FPlaySpeed = Speed;
    return true;
}

void TMainSession::RunStep()
{
    if (FMode == TPlaybackMode::pmPlay)
        PlayStep();
    else
        RecordStep();
    StepPhysics(DemoStepTime);
    FChecksums.AfterStep(FScene->Physics.Bodies);
}

void TMainSession::PlayStep()
{
    if (FPendingValid && FPending.StepNumber <= FStepCount) {
        ApplyInput(FPending.InputBits, DemoStepTime);
        try {
            FPendingValid = FReader->ReadRecord(FPending);
        } catch (const std::exception& error) {
            StopOnFileError(error);
        }
    }
    ++FStepCount;
}

void TMainSession::RecordStep()
{
    const uint32_t input = SampleInput();
    if (FMode == TPlaybackMode::pmRecord) {
        WriteInputRecord(input);
        ++FStepCount;
    }
    ApplyInput(input, DemoStepTime);
}

uint32_t TMainSession::SampleInput() const
{
    uint32_t input = 0;
    if (IsKeyDown(VK_LEFT))
        input |= INPUT_LEFT;
    if (IsKeyDown(VK_RIGHT))
        input |= INPUT_RIGHT;
    if (IsKeyDown(VK_UP))
        input |= INPUT_UP;
    if (IsKeyDown(VK_DOWN))
        input |= INPUT_DOWN;
    return input;
}

void TMainSession::ApplyInput(uint32_t Input, float /*Dt*/)
{
    ApplyDemoInput(FScene->Player, Input);
}

void TMainSession::StepPhysics(float Dt)
{
    FScene->Physics.Step(TIntegrationMode::imMidpoint, Dt);
}

void TMainSession::Render()
{
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Video_Clear(0);
    OB_Video_BeginScene();

    // Where the bodies are drawn: as they are now, or between the last two
    // steps when "interpolate" is on.
    const float alpha = FExtras.DrawAlpha(FAccumulator);
    const TStepPoses& poses = FExtras.Poses();

    const TPose player = poses.DrawPose(FScene->Player, alpha);
    OB_Quad_SetColorValue(quad, 1, 0, 0, 1);
    OB_Quad_SetCorners(quad, player.Position.x, player.Position.y, 40, 20, player.Angle, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);

    OB_Quad_SetColorValue(quad, 1, 1, 1, 1);
    for (const TBody& box : FScene->Boxes) {
        const TPose pose = poses.DrawPose(box, alpha);
        OB_Quad_SetCorners(quad, pose.Position.x, pose.Position.y, 40, 40, pose.Angle, 0.5f, 0.5f);
        OB_Quad_Draw(quad, nullptr);
    }
    const TSpring& spring = FScene->Spring;
    OB_Line_Draw(poses.DrawPoint(*spring.BodyA, spring.AnchorA, alpha),
                 poses.DrawPoint(*spring.BodyB, spring.AnchorB, alpha), 0xFFFFFFFF);

    FExtras.DrawOverlay();
    ConsoleDraw();
    OB_Video_EndScene();
    OB_Video_Present(true);
}

void TMainSession::KeyDown(uint16_t Key)
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
        TSession::KeyDown(Key);
        break;
    }
}

void TMainSession::ToggleFullScreen()
{
    // A mode the device refuses leaves the previous one running.
    try {
        OB_Video_Open(nullptr, 800, 600, 32, !OB_VideoInfo.FullScreen, true, 0);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
    }
}

void TMainSession::KeyPress(char Ch)
{
    ConsoleChar(Ch);
    TSession::KeyPress(Ch);
}

void TMainSession::WriteInputRecord(uint32_t Input)
{
    FWriter->Write(TInputRecord{FStepCount, Input});
}

// Whatever was recorded reaches the file before it is closed; a write that
// fails is reported like any other file error.
void TMainSession::CloseRecordFile()
{
    FlushRecording();
    DropFiles();
}

void TMainSession::StopOnFileError(const std::exception& error)
{
    ConsolePrint(std::string("Error: ") + error.what());
    FMode = TPlaybackMode::pmNone;
    DropFiles();
}

void TMainSession::DropFiles()
{
    FWriter.reset();
    FReader.reset();
    FChecksums.Close();
    FPendingValid = false;
}

void TMainSession::FlushRecording()
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

void TMainSession::StartRecording(const std::string& Name)
{
    CloseRecordFile();
    const TBodyState& player = FScene->Player.State;
    try {
        FWriter =
            std::make_unique<TRecordWriter>(Name, TRecordingHeader{player.Position.x, player.Position.y, player.Angle});
    } catch (...) {
        FMode = TPlaybackMode::pmNone;
        throw;
    }
    FStepCount = 0;
    FMode = TPlaybackMode::pmRecord;
    FChecksums.StartRecording(Name, FScene->Physics.Bodies);
}

void TMainSession::StartPlayback(const std::string& Name)
{
    CloseRecordFile();
    try {
        FReader = std::make_unique<TRecordReader>(Name);
        const TRecordingHeader header = ReadPlaybackHeader(*FReader, Name);
        FScene->Player.State.Position = TVector2D{header.X, header.Y};
        FScene->Player.State.Angle = header.Angle;
        FPendingValid = FReader->ReadRecord(FPending);
    } catch (...) {
        FMode = TPlaybackMode::pmNone;
        DropFiles();
        throw;
    }
    FMode = TPlaybackMode::pmPlay;
    FStepCount = 0;
    if (const std::string note = PartialRecordNote(*FReader, Name); !note.empty())
        ConsolePrint(note);
    FChecksums.StartPlayback(Name, FScene->Physics.Bodies);
}
