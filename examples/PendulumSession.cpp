#include "PendulumSession.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/console/OB_ConsoleNumbers.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/video/OB_Primitive.h"
#include "orbel2/video/OB_Video.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace orbel2;

namespace {

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

}   // namespace

// guide: start
// The core has registered its own commands and variables ("record",
// "play", "save", "playspeed", ...); the game builds its world and adds
// its own.
void TPendulumSession::StartGame()
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
    AddWatch("swing");
    ConsolePrint("A pendulum: the arrow keys push the bob, Home hides this console");
    SetConsoleVisible(true);
}
// guide: end

// guide: lifetime
// The console holds pointers into this session: they go with it. The
// core takes out its own.
TPendulumSession::~TPendulumSession()
{
    RemoveCommand("kick", this);
    RemoveVariable("gravity", &FGravity);
    RemoveVariable("swing", &FSwing);
}
// guide: end

// guide: step
// The input word of one step: the keys held now. The core samples it once
// per step, records it when recording, and replays it in its place.
uint32_t TPendulumSession::SampleInput() const
{
    uint32_t input = 0;
    if (IsKeyDown(VK_LEFT))
        input |= PushLeft;
    if (IsKeyDown(VK_RIGHT))
        input |= PushRight;
    return input;
}

void TPendulumSession::ApplyInput(uint32_t Input, float /*Dt*/)
{
    const float push = ((Input & PushRight) ? PushForce : 0.0f) - ((Input & PushLeft) ? PushForce : 0.0f);
    FBob.AddForceAtPoint(ZeroVector2D(), MakeVector2D(push, 0.0f));
}

void TPendulumSession::StepPhysics(float Dt)
{
    FBob.AddForceAtPoint(ZeroVector2D(), MakeVector2D(0.0f, FGravity));
    FWorld.Step(TIntegrationMode::imMidpoint, Dt);
    const TVector2D hang = VecSub(FBob.State.Position, FPivot.State.Position);
    FSwing = std::atan2(hang.x, hang.y) * 57.29578f;
}
// guide: end

// guide: render
// The core clears, begins the scene, calls this, draws the graph and the
// console, and presents. Alpha is 1 unless "interpolate" is on.
void TPendulumSession::DrawScene(float Alpha)
{
    const TPose bob = Extras().Poses().DrawPose(FBob, Alpha);
    TQuad quad;
    OB_Quad_Init(quad, 0);
    OB_Line_Draw(FPivot.State.Position, bob.Position, 0xFFC0C0C0);
    OB_Quad_SetColor(quad, 0xFF808080);
    OB_Quad_SetCorners(quad, FPivot.State.Position.x, FPivot.State.Position.y, 20, 20, 0, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);
    OB_Quad_SetColor(quad, 0xFFFFC000);
    OB_Quad_SetCorners(quad, bob.Position.x, bob.Position.y, 30, 30, bob.Angle, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);
}
// guide: end

// guide: state
// The physics world is saved by the core; gravity is the game's own state,
// since a step reads it. The same state gives the same bytes.
void TPendulumSession::SaveGameState(std::vector<uint8_t>& Out) const
{
    const uint32_t bits = std::bit_cast<uint32_t>(FGravity);
    for (int shift = 0; shift < 32; shift += 8)
        Out.push_back(static_cast<uint8_t>(bits >> shift));
}

bool TPendulumSession::LoadGameState(std::span<const uint8_t> Bytes, std::string& Why)
{
    if (Bytes.size() != 4) {
        Why = "a pendulum keeps 4 bytes of its own, not " + std::to_string(Bytes.size());
        return false;
    }
    FGravity = std::bit_cast<float>(uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 |
                                    uint32_t(Bytes[3]) << 24);
    return true;
}

// A recording's 12-byte header: where the bob was. A recording with its
// FILE.state starts from the whole world instead.
TRecordingHeader TPendulumSession::RecordingHeader() const
{
    return TRecordingHeader{FBob.State.Position.x, FBob.State.Position.y, FBob.State.Angle};
}

void TPendulumSession::ApplyRecordingHeader(const TRecordingHeader& Header)
{
    FBob.State.Position = MakeVector2D(Header.X, Header.Y);
    FBob.State.Angle = Header.Angle;
    FBob.State.Velocity = ZeroVector2D();
}
// guide: end

std::string TPendulumSession::ReplayReport() const
{
    char text[96];
    std::snprintf(text, sizeof text, "bob: x %.9g y %.9g\n", static_cast<double>(FBob.State.Position.x),
                  static_cast<double>(FBob.State.Position.y));
    return text;
}

void TPendulumSession::Kick(float Speed)
{
    FBob.State.Velocity.x += Speed;
}
