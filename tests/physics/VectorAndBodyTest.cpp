#include "physics/physicssystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

void ExpectNear(TVector2D v, float x, float y, float tol = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

// A lone body at the origin, no drag, in a world of its own.
struct TLoneBody {
    TPhysics2D World;
    TBody Body;
    TLoneBody() { World.Bodies.push_back(&Body); }
};

}  // namespace

TEST(Vector2D, DegenerateNormalsAndInPlaceAliasing)
{
    ExpectNear(VecNormalize(MakeVector2D(0.0f, 0.0f)), 0.0f, 0.0f, 0.0f);
    ExpectNear(VecNormalize(MakeVector2D(NAN, 1.0f)), 0.0f, 0.0f, 0.0f);
    // The second operand is read before the first is written.
    TVector2D a = MakeVector2D(1.5f, -2.0f);
    VecAddTo(a, a);
    ExpectNear(a, 3.0f, -4.0f, 0.0f);
    TVector2D r = MakeVector2D(1.0f, 2.0f);
    VecRotate(r, kHalfPi);
    ExpectNear(r, -2.0f, 1.0f, 1e-6f);
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
    ExpectNear(pushed.State.Force, 3.0f, 4.0f, 0.0f);
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
    TLoneBody euler;
    euler.Body.State.Force = MakeVector2D(10.0f, 0.0f);
    euler.World.Step(TIntegrationMode::imEuler, 0.02f);
    ExpectNear(euler.Body.State.Position, 0.0f, 0.0f, 0.0f);
    ExpectNear(euler.Body.State.Velocity, 0.2f, 0.0f, 1e-7f);
    ExpectNear(euler.Body.State.Force, 0.0f, 0.0f, 0.0f);

    TLoneBody midpoint;
    midpoint.Body.State.Force = MakeVector2D(10.0f, 0.0f);
    midpoint.Body.State.Torque = 3600.0f;
    midpoint.World.Step(TIntegrationMode::imMidpoint, 0.02f);
    ExpectNear(midpoint.Body.State.Position, 0.002f, 0.0f, 1e-7f);
    ExpectNear(midpoint.Body.State.Velocity, 0.2f, 0.0f, 1e-7f);
    EXPECT_NEAR(midpoint.Body.State.AngularVelocity, 0.02f, 1e-7f);
    EXPECT_NEAR(midpoint.Body.State.Angle, 0.0002f, 1e-8f);
    EXPECT_EQ(midpoint.Body.State.Torque, 0.0f);

    // An unknown mode integrates nothing but still clears the forces.
    TLoneBody none;
    none.Body.State.Velocity = MakeVector2D(1.0f, 0.0f);
    none.Body.State.Force = MakeVector2D(5.0f, 0.0f);
    none.World.Step(static_cast<TIntegrationMode>(2), 0.02f);
    ExpectNear(none.Body.State.Velocity, 1.0f, 0.0f, 0.0f);
    ExpectNear(none.Body.State.Force, 0.0f, 0.0f, 0.0f);

    TLoneBody immovable;
    immovable.Body.InvMass = 0.0f;
    immovable.Body.State.Force = MakeVector2D(10.0f, 7.0f);
    immovable.World.Step(TIntegrationMode::imMidpoint, 0.02f);
    ExpectNear(immovable.Body.State.Velocity, 0.0f, 0.0f, 0.0f);
}

TEST(Physics2D, DragActsAlongTheBodyAxes)
{
    // Observed through the velocity change of one Euler step (InvMass 1).
    const auto dragForce = [](TVector2D linearDrag) {
        TLoneBody lone;
        lone.Body.State.Angle = kHalfPi;
        lone.Body.State.Velocity = MakeVector2D(0.0f, 5.0f);
        lone.Body.LinearDrag = linearDrag;
        lone.World.Step(TIntegrationMode::imEuler, 1.0f);
        return VecSub(lone.Body.State.Velocity, MakeVector2D(0.0f, 5.0f));
    };
    ExpectNear(dragForce(MakeVector2D(2.0f, 0.0f)), 0.0f, -10.0f);
    ExpectNear(dragForce(MakeVector2D(0.0f, 2.0f)), 0.0f, 0.0f);

    TLoneBody spinning;
    spinning.Body.AngularDrag = 500.0f;
    spinning.Body.InvInertia = 1.0f;
    spinning.Body.State.AngularVelocity = 1.0f;
    spinning.World.Step(TIntegrationMode::imEuler, 1.0f);
    EXPECT_EQ(spinning.Body.State.AngularVelocity, 1.0f - 500.0f);
}
