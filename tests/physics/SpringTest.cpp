#include "physics/physicssystem.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// A spring of stiffness 1 and no damping from A at the origin to B.
struct TSpringPair {
    TBody A, B;
    TSpring Spring;
    TSpringPair(float bx, float by, float restLength = 100.0f, float damping = 0.0f)
    {
        B.State.Position = MakeVector2D(bx, by);
        Spring.BodyA = &A;
        Spring.BodyB = &B;
        Spring.Stiffness = 1.0f;
        Spring.Damping = damping;
        Spring.RestLength = restLength;
        Spring.Strain = 0.25f;
    }
    // A's force and torque after one application; B feels the opposite force.
    std::array<float, 3> Apply()
    {
        Spring.Apply(0.02f);
        EXPECT_EQ(A.State.Force.x, -B.State.Force.x);
        return {A.State.Force.x, A.State.Force.y, A.State.Torque};
    }
};

void ExpectForce(std::array<float, 3> got, float fx, float fy, float torque)
{
    EXPECT_NEAR(got[0], fx, 1e-4f);
    EXPECT_NEAR(got[1], fy, 1e-4f);
    EXPECT_NEAR(got[2], torque, 1e-3f);
}

}  // namespace

TEST(Spring, StretchCompressionDampingAndTorque)
{
    TSpringPair stretched(150.0f, 0.0f), compressed(50.0f, 0.0f);
    ExpectForce(stretched.Apply(), 50.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(stretched.Spring.Strain, 0.5f);
    ExpectForce(compressed.Apply(), -50.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(compressed.Spring.Strain, 0.5f);

    // Damping resists the whole relative motion, sideways included.
    TSpringPair damped(100.0f, 0.0f, 100.0f, 10.0f);
    damped.A.State.Velocity = MakeVector2D(0.0f, 1.0f);
    ExpectForce(damped.Apply(), 0.0f, -10.0f, 0.0f);

    TSpringPair offCentre(150.0f, 10.0f);
    offCentre.Spring.AnchorA = MakeVector2D(0.0f, 10.0f);
    ExpectForce(offCentre.Apply(), 50.0f, 0.0f, -500.0f);
}

TEST(Spring, DegenerateLengthsNeitherDivideByZeroNorStall)
{
    // Coincident anchors: nothing happens, the strain keeps its value.
    TSpringPair coincident(0.0f, 0.0f);
    ExpectForce(coincident.Apply(), 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(coincident.Spring.Strain, 0.25f);

    // Rest length 0: no strain can be defined, but the spring still pulls.
    TSpringPair zeroRest(30.0f, 40.0f, 0.0f);
    ExpectForce(zeroRest.Apply(), 30.0f, 40.0f, 0.0f);
    EXPECT_EQ(zeroRest.Spring.Strain, 0.25f);
}
