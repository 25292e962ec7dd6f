#include "PhysicsTestSupport.h"

namespace {

// Two 40 x 40 boxes, A at the origin, in a world of their own.
struct TTwoBoxes {
    TPhysics2D World;
    TBody A, B;
    TTwoBoxes(float bx, float by, TCollisionPass pass = TCollisionPass::BroadPhase)
    {
        A.SetBox(40.0f, 40.0f);
        B.SetBox(40.0f, 40.0f);
        B.State.Position = MakeVector2D(bx, by);
        World.Bodies = {&A, &B};
        World.CollisionPass = pass;
    }
    bool Crossing(TVector2D& P)
    {
        A.UpdateWorldVertices(A.State);
        B.UpdateWorldVertices(B.State);
        return World.FindEdgeCrossing(A, B, P);
    }
};

}   // namespace

TEST(Collision, FirstEdgeCrossingInEdgeOrder)
{
    TVector2D P{};
    for (const float by : {0.0f, 10.0f}) {
        TTwoBoxes boxes(30.0f, by);
        ASSERT_TRUE(boxes.Crossing(P));
        ExpectNear(P, 20.0f, by == 0.0f ? -20.0f : -10.0f);
    }
    // Wholly inside: no edge crosses.
    TTwoBoxes inside(0.0f, 0.0f);
    inside.B.SetBox(100.0f, 100.0f);
    EXPECT_FALSE(inside.Crossing(P));
}

TEST(Collision, MovingBoxGetsOneImpulseAndTwoNudges)
{
    for (const TCollisionPass pass : {TCollisionPass::AllPairs, TCollisionPass::BroadPhase}) {
        TTwoBoxes boxes(30.0f, 0.0f, pass);
        boxes.A.State.Velocity = MakeVector2D(1.0f, 0.0f);
        boxes.World.Collide();
        ExpectNear(boxes.A.State.Position, -0.5f, 0.0f);
        ExpectNear(boxes.B.State.Position, 30.5f, 0.0f);
        ExpectNear(boxes.A.State.Velocity, 0.55f, 0.0f);
        ExpectNear(boxes.B.State.Velocity, 0.45f, 0.0f);
        EXPECT_NEAR(boxes.A.State.AngularVelocity, -0.0025f, 1e-7f);
        EXPECT_TRUE(boxes.A.Collided && boxes.B.Collided);
    }
    // At rest: the same nudges, and the impulse returns on vn >= 0.
    TTwoBoxes resting(30.0f, 0.0f);
    resting.World.Collide();
    ExpectNear(resting.A.State.Position, -0.5f, 0.0f);
    ExpectNear(resting.B.State.Velocity, 0.0f, 0.0f, 0.0f);
}
