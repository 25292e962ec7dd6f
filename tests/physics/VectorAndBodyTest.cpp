#include "physics/physicssystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

void ExpectNear(TVector2D v, float x, float y, float tol = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

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

}  // namespace

TEST(Vector2D, DegenerateNormalsAndInPlaceAliasing)
{
    ExpectNear(VecNormalize(MakeVector2D(0.0f, 0.0f)), 0.0f, 0.0f, 0.0f);
    ExpectNear(VecNormalize(MakeVector2D(NAN, 1.0f)), 0.0f, 0.0f, 0.0f);
    // The second operand is read before the first is written.
    TVector2D a = MakeVector2D(1.5f, -2.0f);
    VecAddTo(a, a);
    ExpectNear(a, 3.0f, -4.0f, 0.0f);
    VecRotate(a, kHalfPi);
    ExpectNear(a, 4.0f, 3.0f, 1e-6f);
}

TEST(Body, BoxOutlineForcesAtPointsAndTorque)
{
    TBody body;
    body.SetBox(40.0f, 20.0f);
    EXPECT_FLOAT_EQ(body.Radius, std::sqrt(500.0f));
    body.State.Position = MakeVector2D(100.0f, 50.0f);
    body.State.Angle = kHalfPi;
    body.UpdateWorldVertices(body.State);
    ExpectNear(body.WorldVertices[0], 110.0f, 30.0f);

    TBody pushed;
    pushed.AddForceAtPoint(MakeVector2D(1.0f, 0.0f), MakeVector2D(3.0f, 4.0f));
    EXPECT_EQ(pushed.State.Torque, 4.0f);
    // The demo's thrust on a body turned a quarter: along world y, no torque.
    TBody turned;
    turned.State.Angle = kHalfPi;
    turned.AddLocalForceAtPoint(MakeVector2D(-25.0f, 0.0f), MakeVector2D(400.0f, 0.0f));
    ExpectNear(turned.State.Force, 0.0f, 400.0f, 1e-3f);
    EXPECT_NEAR(turned.State.Torque, 0.0f, 1e-3f);
}

TEST(Physics2D, IntegratorsAndTheClearedAccumulators)
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
    EXPECT_EQ(midpoint.State.Torque, 0.0f);

    // An unknown mode integrates nothing but still clears the forces.
    const TBody none = StepAlone(static_cast<TIntegrationMode>(2), 0.02f, [](TBody& b) {
        b.State.Velocity = {1.0f, 0.0f};
        b.State.Force = {5.0f, 0.0f};
    });
    ExpectNear(none.State.Velocity, 1.0f, 0.0f, 0.0f);
    ExpectNear(none.State.Force, 0.0f, 0.0f, 0.0f);
}

TEST(Physics2D, DragActsAlongTheBodyAxes)
{
    // Observed through the velocity change of one Euler step (InvMass 1) of
    // a body turned a quarter and moving along world y.
    for (const auto& [drag, dv] : {std::pair{MakeVector2D(2.0f, 0.0f), -10.0f}, {MakeVector2D(0.0f, 2.0f), 0.0f}}) {
        const TBody body = StepAlone(TIntegrationMode::imEuler, 1.0f, [&](TBody& b) {
            b.State.Angle = kHalfPi;
            b.State.Velocity = {0.0f, 5.0f};
            b.LinearDrag = drag;
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
