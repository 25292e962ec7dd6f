#include "PendulumSession.h"

#include "console/OB_Console.h"
#include "console/OB_ConsoleDraw.h"
#include "console/OB_ConsoleEdit.h"
#include "console/OB_ConsoleNumbers.h"
#include "console/OB_Logfile.h"
#include "kernel/OB_FrameTimer.h"
#include "kernel/OB_KeyCodes.h"
#include "video/OB_Primitive.h"
#include "video/OB_Video.h"

#include <cmath>
#include <exception>

namespace {

constexpr float StepTime = 0.02f;
constexpr uint32_t PushLeft = 0x1;
constexpr uint32_t PushRight = 0x2;
constexpr float PushForce = 250.0f;
const TVector2D PivotAt{400.0f, 80.0f};

// guide: command
// "kick <speed>": the bob is given that much sideways speed at once. The
// procedure gets the words after the command's name; false refuses them,
// and the console prints "Error: kick <usage>".
bool KickCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount != 1)
        return false;
    static_cast<TPendulumSession*>(Data)->Kick(ConsoleReadFloat(Args[0]));
    return true;
}
// guide: end

template <void (TPendulumSession::*Begin)(const std::string&)>
bool FileCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data)
{
    if (ArgCount < 1)
        return false;
    (static_cast<TPendulumSession*>(Data)->*Begin)(Args[0]);
    return true;
}

}   // namespace

// guide: start
void TPendulumSession::Start()
{
    OB_Video_SetVirtualSize(800, 600, 0);
    FPivot.InvMass = 0.0f;   // held in place: forces do not move it
    FPivot.InvInertia = 0.0f;
    FPivot.SetBox(20, 20);
    FPivot.State.Position = PivotAt;
    FBob.SetBox(30, 30);
    FBob.State.Position = MakeVector2D(PivotAt.x + 120.0f, PivotAt.y + 160.0f);
    FBob.LinearDrag = MakeVector2D(0.2f, 0.2f);
    FString.BodyA = &FPivot;
    FString.BodyB = &FBob;
    FString.RestLength = 200.0f;
    FString.Stiffness = 40.0f;
    FString.Damping = 0.5f;
    FWorld.Bodies = {&FPivot, &FBob};
    FWorld.Constraints = {&FString};

    AddVariable("gravity", &FGravity);
    AddVariable("swing", &FSwing);
    AddCommand("kick", "{speed} - Push the bob sideways", KickCommand, this);
    AddCommand("rec", "{file} - Record the arrow keys", FileCommand<&TPendulumSession::StartRecording>, this);
    AddCommand("replay", "{file} - Play a recording back", FileCommand<&TPendulumSession::StartReplay>, this);
    AddWatch("fps");
    AddWatch("swing");
    ConsolePrint("A pendulum: the arrow keys push the bob, Home hides this console");
    SetConsoleVisible(true);
    if (!FRecordTo.empty())
        StartRecording(FRecordTo);
    if (!FPlayFrom.empty())
        StartReplay(FPlayFrom);
}
// guide: end

// guide: lifetime
// The console holds pointers into this session: they go with it.
TPendulumSession::~TPendulumSession()
{
    RemoveCommand("kick", this);
    RemoveCommand("rec", this);
    RemoveCommand("replay", this);
    RemoveVariable("gravity", &FGravity);
    RemoveVariable("swing", &FSwing);
}
// guide: end

// guide: update
// One frame: real time, scaled by nothing here, pays for whole steps of
// 0.02 s; what is left carries over to the next frame.
void TPendulumSession::Update()
{
    FAccumulator += OB_Kernel_FrameTime();
    while (FAccumulator > StepTime) {
        Step(SampleInput());
        FAccumulator -= StepTime;
    }
    Render();
    if (FWriter)
        FWriter->Flush();   // a killed program leaves whole records behind
    if (++FFrames == FFrameLimit)
        Terminate(0);
}
// guide: end

uint32_t TPendulumSession::SampleInput() const
{
    uint32_t input = 0;
    if (IsKeyDown(VK_LEFT))
        input |= PushLeft;
    if (IsKeyDown(VK_RIGHT))
        input |= PushRight;
    return input;
}

// guide: record
// Each step's input is written while recording, and read instead of the
// keyboard while replaying, one record per step.
void TPendulumSession::Step(uint32_t Input)
{
    if (FReader) {
        TInputRecord record;
        Input = 0;
        if (FReader->ReadRecord(record)) {
            Input = record.InputBits;
            ++FReplayed;
        }
    } else if (FWriter) {
        FWriter->Write(TInputRecord{FSteps, Input});
    }
    const float push = ((Input & PushRight) ? PushForce : 0.0f) - ((Input & PushLeft) ? PushForce : 0.0f);
    FBob.AddForceAtPoint(ZeroVector2D(), MakeVector2D(push, FGravity));
    FWorld.Step(TIntegrationMode::imMidpoint, StepTime);
    ++FSteps;
    const TVector2D hang = VecSub(FBob.State.Position, FPivot.State.Position);
    FSwing = std::atan2(hang.x, hang.y) * 57.29578f;
}
// guide: end

// guide: render
void TPendulumSession::Render()
{
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Video_Clear(0xFF102030);
    OB_Video_BeginScene();
    OB_Line_Draw(FPivot.State.Position, FBob.State.Position, 0xFFC0C0C0);
    OB_Quad_SetColor(quad, 0xFF808080);
    OB_Quad_SetCorners(quad, FPivot.State.Position.x, FPivot.State.Position.y, 20, 20, 0, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);
    OB_Quad_SetColor(quad, 0xFFFFC000);
    OB_Quad_SetCorners(quad, FBob.State.Position.x, FBob.State.Position.y, 30, 30, FBob.State.Angle, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);
    ConsoleDraw();
    OB_Video_EndScene();
    OB_Video_Present(true);
}
// guide: end

// guide: keys
void TPendulumSession::KeyDown(uint16_t Key)
{
    ConsoleKeyDown(Key);   // the console sees every key first
    if (Key == VK_ESCAPE)
        Terminate(0);
    else if (Key == VK_HOME)
        ToggleConsole();
}

void TPendulumSession::KeyPress(char Ch)
{
    ConsoleChar(Ch);
}
// guide: end

void TPendulumSession::Stop()
{
    FWriter.reset();   // writes what it still holds and closes the file
    FReader.reset();
}

void TPendulumSession::StartRecording(const std::string& Name)
{
    FReader.reset();
    FWriter.reset();
    FWriter = std::make_unique<TRecordWriter>(
        Name, TRecordingHeader{FBob.State.Position.x, FBob.State.Position.y, FBob.State.Angle});
    FSteps = 0;
    LogWriteLine("Pendulum: recording " + Name);
}

void TPendulumSession::StartReplay(const std::string& Name)
{
    FWriter.reset();
    FReader.reset();
    auto reader = std::make_unique<TRecordReader>(Name);
    TRecordingHeader header;
    if (!reader->ReadHeader(header)) {
        ConsolePrint("Error: " + Name + " is no recording");
        return;
    }
    FBob.State.Position = MakeVector2D(header.X, header.Y);
    FBob.State.Angle = header.Angle;
    FBob.State.Velocity = ZeroVector2D();
    FReader = std::move(reader);
    FSteps = 0;
    LogWriteLine("Pendulum: replaying " + Name);
}

void TPendulumSession::Kick(float Speed)
{
    FBob.State.Velocity.x += Speed;
}
