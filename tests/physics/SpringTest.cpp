#include "physics/physicssystem.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct TSpringPair {
    TBody A;
    TBody B;
    TSpring Spring;
    TSpringPair(float bx, float by)
    {
        B.State.Position = MakeVector2D(bx, by);
        Spring.BodyA = &A;
        Spring.BodyB = &B;
        Spring.Stiffness = 1.0f;
        Spring.Damping = 0.0f;
    }
};

void ExpectForce(const TBody& body, float fx, float fy, float torque)
{
    EXPECT_NEAR(body.State.Force.x, fx, 1e-4f);
    EXPECT_NEAR(body.State.Force.y, fy, 1e-4f);
    EXPECT_NEAR(body.State.Torque, torque, 1e-3f);
}

}  // namespace

TEST(Spring, StretchCompressionDampingAndTorque)
{
    TSpring fresh;
    EXPECT_EQ(fresh.RestLength, 100.0f);
    EXPECT_EQ(fresh.Stiffness, 100.0f);
    EXPECT_EQ(fresh.Damping, 10.0f);

    TSpringPair stretched(150.0f, 0.0f);
    stretched.Spring.Apply(0.02f);
    ExpectForce(stretched.A, 50.0f, 0.0f, 0.0f);
    ExpectForce(stretched.B, -50.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(stretched.Spring.Strain, 0.5f);

    TSpringPair compressed(50.0f, 0.0f);
    compressed.Spring.Apply(0.02f);
    ExpectForce(compressed.A, -50.0f, 0.0f, 0.0f);
    ExpectForce(compressed.B, 50.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(compressed.Spring.Strain, 0.5f);

    // Damping resists the whole relative motion, sideways included.
    TSpringPair damped(100.0f, 0.0f);
    damped.Spring.Damping = 10.0f;
    damped.A.State.Velocity = MakeVector2D(0.0f, 1.0f);
    damped.Spring.Apply(0.02f);
    ExpectForce(damped.A, 0.0f, -10.0f, 0.0f);
    ExpectForce(damped.B, 0.0f, 10.0f, 0.0f);

    TSpringPair offCentre(150.0f, 10.0f);
    offCentre.Spring.AnchorA = MakeVector2D(0.0f, 10.0f);
    offCentre.Spring.Apply(0.02f);
    ExpectForce(offCentre.A, 50.0f, 0.0f, -500.0f);
}

TEST(Spring, DegenerateLengthsNeitherDivideByZeroNorStall)
{
    // Coincident anchors: nothing happens, the strain keeps its value.
    TSpringPair coincident(0.0f, 0.0f);
    coincident.Spring.Strain = 0.25f;
    coincident.Spring.Apply(0.02f);
    ExpectForce(coincident.A, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(coincident.Spring.Strain, 0.25f);

    // Rest length 0: no strain can be defined, but the spring still pulls.
    TSpringPair zeroRest(30.0f, 40.0f);
    zeroRest.Spring.RestLength = 0.0f;
    zeroRest.Spring.Strain = 0.25f;
    zeroRest.Spring.Apply(0.02f);
    EXPECT_EQ(zeroRest.Spring.Strain, 0.25f);
    ExpectForce(zeroRest.A, 30.0f, 40.0f, 0.0f);
    ExpectForce(zeroRest.B, -30.0f, -40.0f, 0.0f);
    EXPECT_FALSE(std::isnan(zeroRest.A.State.Force.x));
}
