#include "PhysicsTestSupport.h"

#include <cmath>

using namespace orbel2;

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

// Boxes in a resting pile ask the crossing test the same question every
// step, and small worlds remember its answers: asked again, after other
// questions have pushed some answers out, the memory answers as the test
// itself does. B is placed and turned at random against a few fixed
// outlines of A, so that near-misses and crossings come in about equal
// numbers.
TEST(Collision, RememberedCrossingsAnswerAsFreshOnes)
{
    TTestRandom random(2024);
    std::vector<std::pair<TBody, TBody>> pairs(300);
    for (auto& [a, b] : pairs) {
        // Few outlines of A, so that an answer must be told apart by B's.
        a.SetBox(40.0f, 20.0f + 10.0f * static_cast<float>(random.Next() % 3));
        b.SetBox(random.Range(20.0f, 50.0f), random.Range(20.0f, 50.0f));
        b.State.Position = MakeVector2D(random.Range(20.0f, 50.0f), random.Range(-20.0f, 20.0f));
        b.State.Angle = random.Range(-0.1f, 0.1f);
        a.UpdateWorldVertices(a.State);
        b.UpdateWorldVertices(b.State);
    }
    TQuadCrossingMemo remembering;
    int crossings = 0;
    for (int round = 0; round < 3; ++round) {
        for (const size_t i : {size_t(0), size_t(1), size_t(2)})
            for (size_t k = i; k < pairs.size(); k += 3) {
                const auto& [a, b] = pairs[k];
                TPhysics2D fresh;
                TVector2D remembered{-1.0f, -1.0f};
                TVector2D computed{-1.0f, -1.0f};
                const bool crossing = fresh.FindEdgeCrossing(a, b, computed);
                ASSERT_EQ(remembering.Find(a.WorldVertices, b.WorldVertices, remembered), crossing) << k;
                EXPECT_EQ(std::bit_cast<uint64_t>(remembered), std::bit_cast<uint64_t>(computed)) << k;
                crossings += crossing;
            }
    }
    EXPECT_GT(crossings, 3 * 60);
    EXPECT_LT(crossings, 3 * 240);
}

// The circle test skips its square root for pairs further apart along one
// axis than their radii reach. That rests on sqrt(x * x), each rounded to
// float, never being below |x| while the square is a normal float; here for
// every 61st such float (all of them were checked once, in 4 s).
TEST(Collision, TheRoundedRootOfASquareIsNeverBelowIt)
{
    int checked = 0;
    for (uint32_t bits = 0x00800000u; bits < 0x7F800000u; bits += 61) {
        const float x = std::bit_cast<float>(bits);
        const float square = x * x;
        if (!(square >= 0x1p-126f) || std::isinf(square))
            continue;
        ASSERT_GE(std::sqrt(square), x) << std::hexfloat << x;
        ++checked;
    }
    EXPECT_GT(checked, 8'000'000);
}
