#include "physics/DemoScene.h"

namespace {

constexpr float kTurnTorque = 30000.0f;
constexpr float kThrust = 400.0f;
constexpr TVector2D kThrustPoint{-25.0f, 0.0f};

}  // namespace

void BuildDemoBodies(TDemoScene& scene)
{
    TBody& player = scene.Player;
    player.InvInertia = 1.0f / 1800.0f;
    player.LinearDrag = MakeVector2D(2.0f, 2.0f);
    player.AngularDrag = 5000.0f;
    player.SetBox(40.0f, 20.0f);
    scene.Physics.Bodies.push_back(&player);

    for (int i = 0; i < static_cast<int>(scene.Boxes.size()); ++i) {
        TBody& box = scene.Boxes[i];
        scene.Physics.Bodies.push_back(&box);
        box.State.Position = MakeVector2D(static_cast<float>(60 * i), 100.0f);
        box.SetBox(40.0f, 40.0f);
        box.LinearDrag = MakeVector2D(2.0f, 2.0f);
        box.AngularDrag = 500.0f;
        box.InvInertia = 0.02f;
        box.InvMass = 10.0f;
    }

    TSpring& spring = scene.Spring;
    spring.RestLength = 100.0f;
    spring.BodyA = &scene.Boxes[0];
    spring.BodyB = &scene.Boxes[1];
    spring.Stiffness = 1.0f;
    spring.Damping = 0.01f;
    scene.Physics.Constraints.push_back(&spring);
}

void ApplyDemoInput(TBody& player, uint32_t input)
{
    if (input & INPUT_LEFT)
        player.State.Torque = player.State.Torque - kTurnTorque;
    if (input & INPUT_RIGHT)
        player.State.Torque = player.State.Torque + kTurnTorque;
    if (input & INPUT_UP)
        player.AddLocalForceAtPoint(kThrustPoint, MakeVector2D(kThrust, 0.0f));
    if (input & INPUT_DOWN)
        player.AddLocalForceAtPoint(kThrustPoint, MakeVector2D(-kThrust, 0.0f));
}
