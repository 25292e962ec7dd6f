#include "demo/DemoScene.h"

namespace orbel2::demo {

namespace {

constexpr float TurnTorque = 30000.0f;
constexpr float Thrust = 400.0f;
constexpr TVector2D ThrustPoint{-25.0f, 0.0f};

}   // namespace

void BuildDemoBodies(TDemoScene& Scene)
{
    TBody& player = Scene.Player;
    player.InvInertia = 1.0f / 1800.0f;
    player.LinearDrag = MakeVector2D(2.0f, 2.0f);
    player.AngularDrag = 5000.0f;
    player.SetBox(40.0f, 20.0f);
    Scene.Physics.Bodies.push_back(&player);

    for (int i = 0; i < static_cast<int>(Scene.Boxes.size()); ++i) {
        TBody& box = Scene.Boxes[i];
        Scene.Physics.Bodies.push_back(&box);
        box.State.Position = MakeVector2D(static_cast<float>(60 * i), 100.0f);
        box.SetBox(40.0f, 40.0f);
        box.LinearDrag = MakeVector2D(2.0f, 2.0f);
        box.AngularDrag = 500.0f;
        box.InvInertia = 0.02f;
        box.InvMass = 10.0f;
    }

    TSpring& spring = Scene.Spring;
    spring.RestLength = 100.0f;
    spring.BodyA = &Scene.Boxes[0];
    spring.BodyB = &Scene.Boxes[1];
    spring.Stiffness = 1.0f;
    spring.Damping = 0.01f;
    Scene.Physics.Constraints.push_back(&spring);
}

void ApplyDemoInput(TBody& Player, uint32_t Input)
{
    if (Input & INPUT_LEFT)
        Player.State.Torque = Player.State.Torque - TurnTorque;
    if (Input & INPUT_RIGHT)
        Player.State.Torque = Player.State.Torque + TurnTorque;
    if (Input & INPUT_UP)
        Player.AddLocalForceAtPoint(ThrustPoint, MakeVector2D(Thrust, 0.0f));
    if (Input & INPUT_DOWN)
        Player.AddLocalForceAtPoint(ThrustPoint, MakeVector2D(-Thrust, 0.0f));
}

}   // namespace orbel2::demo
