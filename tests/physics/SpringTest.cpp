#include "orbel2/physics/physicssystem.h"

#include <gtest/gtest.h>

using namespace orbel2;

// A spring of stiffness 1 from A at the origin to B; B feels the opposite of
// A's force. Strain starts at 0.25 and keeps it when no strain can be defined.
TEST(Spring, StretchCompressionDampingTorqueAndDegenerateLengths)
{
    struct TCase {
        const char* What;
        TVector2D B, AnchorA, VelocityA;
        float RestLength, Damping;
        float Fx, Fy, Torque, Strain;
    };
    const TCase cases[] = {
        {"stretched", {150, 0}, {0, 0}, {0, 0}, 100, 0, 50, 0, 0, 0.5f},
        {"compressed", {50, 0}, {0, 0}, {0, 0}, 100, 0, -50, 0, 0, 0.5f},
        // Damping resists the whole relative motion, sideways included.
        {"damped", {100, 0}, {0, 0}, {0, 1}, 100, 10, 0, -10, 0, 0},
        {"off centre", {150, 10}, {0, 10}, {0, 0}, 100, 0, 50, 0, -500, 0.5f},
        // Coincident anchors: no direction, so no force and no division by 0.
        {"coincident", {0, 0}, {0, 0}, {0, 0}, 100, 0, 0, 0, 0, 0.25f},
        // Rest length 0: the spring still pulls.
        {"rest length 0", {30, 40}, {0, 0}, {0, 0}, 0, 0, 30, 40, 0, 0.25f},
    };
    for (const TCase& c : cases) {
        TBody a, b;
        b.State.Position = c.B;
        a.State.Velocity = c.VelocityA;
        TSpring spring;
        spring.BodyA = &a;
        spring.BodyB = &b;
        spring.AnchorA = c.AnchorA;
        spring.Stiffness = 1.0f;
        spring.Damping = c.Damping;
        spring.RestLength = c.RestLength;
        spring.Strain = 0.25f;
        spring.Apply(0.02f);
        EXPECT_NEAR(a.State.Force.x, c.Fx, 1e-4f) << c.What;
        EXPECT_NEAR(a.State.Force.y, c.Fy, 1e-4f) << c.What;
        EXPECT_NEAR(a.State.Torque, c.Torque, 1e-3f) << c.What;
        EXPECT_EQ(a.State.Force.x, -b.State.Force.x) << c.What;
        EXPECT_EQ(spring.Strain, c.Strain) << c.What;
    }
}
