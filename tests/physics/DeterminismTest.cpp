#include "PhysicsTestSupport.h"
#include "physics/DemoScene.h"

#include <algorithm>
#include <utility>

namespace {

// The demo's world driven like the session drives it: one input word per
// step, applied before a midpoint step of 0.02. The words come from a fixed
// sequence, held for a few steps each and leaning on thrust so that the
// player roams into the boxes. Returns the motion hash and the number of
// steps that had a contact.
std::pair<uint64_t, int> RunDemo(TCollisionPass pass, int steps)
{
    TDemoScene scene;
    BuildDemoBodies(scene);
    scene.Physics.CollisionPass = pass;
    TTestRandom random(0x0B0E12u);
    TMotionHash hash;
    uint32_t input = 0;
    int stepsWithContact = 0;
    for (int step = 0; step < steps; ++step) {
        if (step % 8 == 0) {
            const uint32_t r = random.Next();
            input = (r & 0xFu) | ((r >> 8) % 3 == 0 ? 0u : INPUT_UP);
        }
        ApplyDemoInput(scene.Player, input);
        scene.Physics.Step(TIntegrationMode::imMidpoint, 0.02f);
        hash.Add(scene.Physics.Bodies);
        stepsWithContact += std::ranges::any_of(scene.Physics.Bodies, [](const TBody* body) { return body->Collided; });
    }
    return {hash.Value(), stepsWithContact};
}

}   // namespace

// The recorded-input promise: the same inputs give the same bits, in every
// build, with either collision pass.
TEST(PhysicsDeterminism, DemoRunHashesToTheRecordedConstant)
{
    constexpr uint64_t kExpectedHash = 0xFC3CD19D07ADD753ull;
    const auto [broadHash, contacts] = RunDemo(TCollisionPass::BroadPhase, 20000);
    EXPECT_GT(contacts, 100) << "the run must exercise collisions";
    EXPECT_EQ(RunDemo(TCollisionPass::AllPairs, 20000).first, broadHash);
    EXPECT_EQ(broadHash, kExpectedHash) << std::hex << broadHash;
}
