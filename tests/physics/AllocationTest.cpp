#include "PhysicsTestSupport.h"
#include "demo/DemoScene.h"
#include "orbel2/physics/PhysicsSnapshot.h"

#include <atomic>
#include <cstdlib>
#include <new>

using namespace orbel2;
using namespace orbel2::demo;

// Counts the allocations made while counting is on. The replacement serves
// the whole test program, worker threads included; it only counts, so every
// other test is unaffected.
namespace {
std::atomic<bool> gCounting = false;
std::atomic<size_t> gAllocations = 0;

// Out of line, so that GCC does not pair an inlined free with the new that
// it cannot see is ours (its mismatched-new-delete warning, under -O2 with
// ThreadSanitizer).
[[gnu::noinline]] void Release(void* p) noexcept
{
    std::free(p);
}
}   // namespace

void* operator new(std::size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    Release(p);
}

TEST(PhysicsAllocation, StepsSavesAndLoadsAllocateNothingOnceWarm)
{
    gCounting = true;
    std::vector<int> one(1);
    gCounting = false;
    ASSERT_EQ(gAllocations, 1u) << "the counting replacement is not in use";

    TDemoScene scene;
    BuildDemoBodies(scene);
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
    // Saving into storage that has held a save before, and loading back.
    TPhysicsSnapshot demoState, gridState;
    std::string why;
    for (int step = 0; step < 30; ++step) {
        if (step == 10)
            gAllocations = 0, gCounting = true;
        ApplyDemoInput(scene.Player, INPUT_UP | INPUT_LEFT);
        scene.Physics.Step(TIntegrationMode::imMidpoint, 0.02f);
        grid.Step(TIntegrationMode::imMidpoint, 0.02f);
        scene.Physics.SaveSnapshot(demoState);
        grid.SaveSnapshot(gridState);
        ASSERT_TRUE(scene.Physics.LoadSnapshot(demoState, why) && grid.LoadSnapshot(gridState, why)) << why;
    }
    gCounting = false;
    EXPECT_EQ(gAllocations, 0u);
}
