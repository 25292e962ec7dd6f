#include "PhysicsTestSupport.h"

#include <functional>
#include <numbers>

using namespace orbel2;

namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

// A lone body at the origin, no drag, set up by the caller and stepped once
// in a world of its own.
TBody StepAlone(TIntegrationMode mode, float dt, const std::function<void(TBody&)>& setUp)
{
    TBody body;
    setUp(body);
    TPhysics2D world;
    world.Bodies.push_back(&body);
    world.Step(mode, dt);
    return body;
}

}   // namespace

TEST(Physics2D, EulerAndMidpointIntegrators)
{
    const TBody euler = StepAlone(TIntegrationMode::imEuler, 0.02f, [](TBody& b) { b.State.Force = {10.0f, 0.0f}; });
    ExpectNear(euler.State.Position, 0.0f, 0.0f, 0.0f);
    ExpectNear(euler.State.Velocity, 0.2f, 0.0f, 1e-7f);

    const TBody midpoint = StepAlone(TIntegrationMode::imMidpoint, 0.02f, [](TBody& b) {
        b.State.Force = {10.0f, 0.0f};
        b.State.Torque = 3600.0f;
    });
    ExpectNear(midpoint.State.Position, 0.002f, 0.0f, 1e-7f);
    ExpectNear(midpoint.State.Velocity, 0.2f, 0.0f, 1e-7f);
    EXPECT_NEAR(midpoint.State.AngularVelocity, 0.02f, 1e-7f);
    EXPECT_NEAR(midpoint.State.Angle, 0.0002f, 1e-8f);
    EXPECT_EQ(midpoint.State.Torque, 0.0f);   // cleared after the step
}

TEST(Physics2D, DragActsAlongTheBodyAxes)
{
    // Observed through the velocity change of one Euler step (InvMass 1) of
    // a body turned a quarter and moving along world y.
    for (const auto& [drag, dv] : {std::pair{MakeVector2D(2.0f, 0.0f), -10.0f}, {MakeVector2D(0.0f, 2.0f), 0.0f}}) {
        const TBody body = StepAlone(TIntegrationMode::imEuler, 1.0f, [linearDrag = drag](TBody& b) {
            b.State.Angle = kHalfPi;
            b.State.Velocity = {0.0f, 5.0f};
            b.LinearDrag = linearDrag;
        });
        ExpectNear(body.State.Velocity, 0.0f, 5.0f + dv);
    }
    const TBody spinning = StepAlone(TIntegrationMode::imEuler, 1.0f, [](TBody& b) {
        b.AngularDrag = 500.0f;
        b.InvInertia = 1.0f;
        b.State.AngularVelocity = 1.0f;
    });
    EXPECT_EQ(spinning.State.AngularVelocity, 1.0f - 500.0f);
}
