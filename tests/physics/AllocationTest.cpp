#include "PhysicsTestSupport.h"
#include "physics/DemoScene.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// Counts the allocations made while a test has counting switched on. The
// replacement serves the whole test program; it only counts, so every
// other test is unaffected.
namespace {

bool gCounting = false;
size_t gAllocations = 0;

class TCountAllocations {
public:
    TCountAllocations() { gAllocations = 0, gCounting = true; }
    ~TCountAllocations() { gCounting = false; }
    size_t Count() const { return gAllocations; }
};

}  // namespace

void* operator new(std::size_t size)
{
    if (gCounting)
        ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(PhysicsAllocation, StepsAllocateNothingOnceWarm)
{
    {
        TCountAllocations probe;
        std::vector<int> one(1);
        ASSERT_EQ(probe.Count(), 1u) << "the counting replacement is not in use";
    }

    TDemoScene scene;
    BuildDemoBodies(scene);
    scene.Physics.Step(TIntegrationMode::imMidpoint, 0.02f);

    // A packed grid of 500 boxes: every pass builds the grid and nudges.
    std::vector<TBody> boxes(500);
    TPhysics2D grid;
    TTestRandom random(7);
    for (size_t i = 0; i < boxes.size(); ++i) {
        boxes[i].SetBox(40.0f, 40.0f);
        boxes[i].State.Position = MakeVector2D(38.0f * static_cast<float>(i % 25), 38.0f * static_cast<float>(i / 25));
        boxes[i].State.Angle = random.Range(-0.3f, 0.3f);
        grid.Bodies.push_back(&boxes[i]);
    }
    for (int step = 0; step < 10; ++step)
        grid.Step(TIntegrationMode::imMidpoint, 0.02f);

    TCountAllocations count;
    for (int step = 0; step < 20; ++step) {
        ApplyDemoInput(scene.Player, INPUT_UP | INPUT_LEFT);
        scene.Physics.Step(TIntegrationMode::imMidpoint, 0.02f);
        grid.Step(TIntegrationMode::imMidpoint, 0.02f);
    }
    EXPECT_EQ(count.Count(), 0u);
}
