#include "demo/MainSession.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_ConsoleEdit.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/video/OB_Primitive.h"
#include "orbel2/video/OB_Video.h"

#include <cstdio>

namespace orbel2::demo {

void TMainSession::StartGame()
{
    FScene = std::make_unique<TDemoScene>();
    OB_Video_SetVirtualSize(800, 600, 0);
    ConsolePrint("Fixed time \"canonical\" game loop demo");
    ConsolePrint("use \"record <file>\" to record gameplay");
    ConsolePrint("use \"play <file>\" to playback gameplay");
    ConsolePrint("press <home> to hide this console");
    SetConsoleVisible(true);
    BuildDemoBodies(*FScene);
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

TRecordingHeader TMainSession::RecordingHeader() const
{
    const TBodyState& player = FScene->Player.State;
    return TRecordingHeader{player.Position.x, player.Position.y, player.Angle};
}

std::string TMainSession::ReplayReport() const
{
    // Nine significant digits: the float itself, read back to the same bits.
    char text[128];
    const TBodyState& player = FScene->Player.State;
    std::snprintf(text, sizeof text, "player: x %.9g y %.9g angle %.9g\n", static_cast<double>(player.Position.x),
                  static_cast<double>(player.Position.y), static_cast<double>(player.Angle));
    return text;
}

int RunHeadlessReplay(const TReplayRequest& Request, std::ostream& Out, std::ostream& Err)
{
    TMainSession session;
    return RunHeadlessReplay(Request, session, "orbel2", Out, Err);
}

void TMainSession::ApplyRecordingHeader(const TRecordingHeader& Header)
{
    FScene->Player.State.Position = TVector2D{Header.X, Header.Y};
    FScene->Player.State.Angle = Header.Angle;
}

// The player and the boxes as rotated quads, the spring as a line; where
// they are drawn: as they are now, or between the last two steps when
// "interpolate" is on.
void TMainSession::DrawScene(float Alpha)
{
    TQuad quad;
    OB_Quad_Init(quad, 0);
    const TStepPoses& poses = Extras().Poses();

    const TPose player = poses.DrawPose(FScene->Player, Alpha);
    OB_Quad_SetColorValue(quad, 1, 0, 0, 1);
    OB_Quad_SetCorners(quad, player.Position.x, player.Position.y, 40, 20, player.Angle, 0.5f, 0.5f);
    OB_Quad_Draw(quad, nullptr);

    OB_Quad_SetColorValue(quad, 1, 1, 1, 1);
    for (const TBody& box : FScene->Boxes) {
        const TPose pose = poses.DrawPose(box, Alpha);
        OB_Quad_SetCorners(quad, pose.Position.x, pose.Position.y, 40, 40, pose.Angle, 0.5f, 0.5f);
        OB_Quad_Draw(quad, nullptr);
    }
    const TSpring& spring = FScene->Spring;
    OB_Line_Draw(poses.DrawPoint(*spring.BodyA, spring.AnchorA, Alpha),
                 poses.DrawPoint(*spring.BodyB, spring.AnchorB, Alpha), 0xFFFFFFFF);
}

}   // namespace orbel2::demo
