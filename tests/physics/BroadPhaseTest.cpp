#include "PhysicsTestSupport.h"

#include <array>
#include <cmath>
#include <memory>
#include <numbers>

using namespace orbel2;

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

struct TWorldShape {
    uint32_t Seed;
    int BodyCount, Clusters, Groups, Steps;
    float ClusterSpread, MaxRestitution;   // the spread is a cluster's half-width
    bool FarNudges;   // nudges carry bodies beyond their grid margins within a pass
};

// A world of rotated boxes in overlapping clusters, with mixed groups,
// masses, drags and restitutions, one body far larger than the rest, one
// listed twice, one lost at NaN, one far out and one whose circle reaches
// everywhere.
struct TRandomWorld {
    std::vector<TBody> Owned;
    TPhysics2D Physics;

    TRandomWorld(const TWorldShape& shape, TCollisionPass pass) : Owned(shape.BodyCount)
    {
        Physics.CollisionPass = pass;
        TTestRandom random(shape.Seed);
        std::vector<TVector2D> centres(shape.Clusters);
        for (TVector2D& c : centres)
            c = MakeVector2D(random.Range(-600.0f, 600.0f), random.Range(-600.0f, 600.0f));
        const float spread = shape.ClusterSpread;
        for (int i = 0; i < shape.BodyCount; ++i) {
            TBody& body = Owned[i];
            body.State.Position = VecAdd(centres[random.Next() % centres.size()],
                                         MakeVector2D(random.Range(-spread, spread), random.Range(-spread, spread)));
            body.State.Angle = random.Range(0.0f, kTwoPi);
            body.State.Velocity = MakeVector2D(random.Range(-40.0f, 40.0f), random.Range(-40.0f, 40.0f));
            body.State.AngularVelocity = random.Range(-2.0f, 2.0f);
            body.SetBox(random.Range(10.0f, 45.0f), random.Range(10.0f, 45.0f));
            if (i == shape.BodyCount / 2)
                body.SetBox(400.0f, 30.0f);
            if (i == shape.BodyCount / 3)
                body.State.Position = MakeVector2D(NAN, 0.0f);
            if (i == shape.BodyCount / 4)
                body.State.Position = MakeVector2D(1e30f, -1e30f);
            if (i == shape.BodyCount / 5)
                body.Radius = INFINITY;
            body.Group = static_cast<int32_t>(random.Next() % shape.Groups);
            body.Restitution = random.Range(0.0f, shape.MaxRestitution);
            body.InvMass = random.Next() % 10 == 0 ? 0.0f : random.Range(0.1f, 2.0f);
            body.LinearDrag = MakeVector2D(random.Range(0.0f, 2.0f), random.Range(0.0f, 2.0f));
            body.AngularDrag = random.Range(0.0f, 500.0f);
            Physics.Bodies.push_back(&body);
        }
        Physics.Bodies.push_back(&Owned[1]);
    }
};

}   // namespace

// Every body is compared after every step. Restitutions far above 1 make
// nudges of many units, so bodies leave their grid cells and askers move
// beyond their answers within one pass.
TEST(BroadPhase, MatchesAllPairsBitForBitOnRandomWorlds)
{
    const TWorldShape shapes[] = {{11, 100, 3, 2, 300, 60.0f, 1.0f, false},
                                  {12, 500, 8, 3, 300, 90.0f, 0.5f, false},
                                  {13, 2000, 12, 2, 300, 150.0f, 1.0f, false},
                                  {14, 300, 4, 1, 300, 50.0f, 30.0f, true},
                                  // Worlds too small for the grid take a pass of their own.
                                  {15, 40, 2, 2, 300, 50.0f, 1.0f, false},
                                  {16, 30, 1, 1, 300, 40.0f, 30.0f, false}};
    // The grid pass on the calling thread, and on 2, 3 and 8 workers from
    // the first body on.
    const unsigned workerCounts[] = {1, 2, 3, 8};
    for (const TWorldShape& shape : shapes) {
        TRandomWorld plain(shape, TCollisionPass::AllPairs);
        std::vector<std::unique_ptr<TRandomWorld>> broad;
        for (const unsigned workers : workerCounts) {
            broad.push_back(std::make_unique<TRandomWorld>(shape, TCollisionPass::BroadPhase));
            broad.back()->Physics.SetWorkerCount(workers);
            broad.back()->Physics.ParallelFromBodies = 0;
        }
        TBroadPhaseStats total;
        const int steps = kUnderThreadSanitizer && shape.BodyCount >= 1000 ? 30 : shape.Steps;
        for (int step = 0; step < steps; ++step) {
            plain.Physics.Step(TIntegrationMode::imMidpoint, 0.02f);
            for (size_t w = 0; w < broad.size(); ++w) {
                broad[w]->Physics.Step(TIntegrationMode::imMidpoint, 0.02f);
                for (size_t i = 0; i < plain.Owned.size(); ++i)
                    ASSERT_TRUE(SameBits(plain.Owned[i], broad[w]->Owned[i]))
                        << "seed " << shape.Seed << ", " << workerCounts[w] << " workers: body " << i
                        << " differs after step " << step;
            }
            total.Escapes += broad[0]->Physics.LastBroadPhaseStats().Escapes;
            total.Requeries += broad[0]->Physics.LastBroadPhaseStats().Requeries;
        }
        // Half-unit nudges stay within the margin; nudges of many units leave it.
        EXPECT_EQ(total.Escapes > 0, shape.FarNudges) << shape.Seed;
        EXPECT_EQ(total.Requeries > 0, shape.FarNudges) << shape.Seed;
    }
}

// A nudge carries A next to a body that was out of its reach when it asked:
// that pair must still be visited, as the all-pairs pass visits it.
TEST(BroadPhase, NudgeIntoAnUnaskedNeighbourIsStillVisited)
{
    struct TRow {
        std::array<TBody, 60> Bodies;
        TPhysics2D Physics;
        explicit TRow(TCollisionPass pass)
        {
            Physics.CollisionPass = pass;
            for (size_t i = 0; i < Bodies.size(); ++i) {
                Bodies[i].SetBox(40.0f, 40.0f);
                Bodies[i].State.Position = MakeVector2D(1000.0f + 60.0f * static_cast<float>(i), 1000.0f);
                Physics.Bodies.push_back(&Bodies[i]);
            }
            // A and B cross; the pair's mean restitution of 100 throws A
            // 50 units toward C, which stood 90 away when A asked.
            Bodies[0].State.Position = MakeVector2D(0.0f, 0.0f);
            Bodies[0].Restitution = 200.0f;
            Bodies[1].State.Position = MakeVector2D(30.0f, 0.0f);
            Bodies[2].State.Position = MakeVector2D(-90.0f, 0.0f);
            Bodies[2].State.Angle = std::numbers::pi_v<float> / 4.0f;
        }
    };
    auto plain = std::make_unique<TRow>(TCollisionPass::AllPairs);
    auto broad = std::make_unique<TRow>(TCollisionPass::BroadPhase);
    plain->Physics.Collide();
    broad->Physics.Collide();
    EXPECT_TRUE(plain->Bodies[2].Collided);
    EXPECT_GE(broad->Physics.LastBroadPhaseStats().Requeries, 1u);
    EXPECT_GE(broad->Physics.LastBroadPhaseStats().Escapes, 1u);
    for (size_t i = 0; i < plain->Bodies.size(); ++i)
        EXPECT_TRUE(SameBits(plain->Bodies[i], broad->Bodies[i])) << "body " << i;
}
