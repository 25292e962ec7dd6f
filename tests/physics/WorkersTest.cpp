#include "RandomWorld.h"
#include "orbel2/physics/PhysicsSnapshot.h"

#include <string>

using namespace orbel2;

namespace {

const unsigned kWorkerCounts[] = {1, 2, 3, 8};

// Large enough to pass the default threshold, dense enough to nudge.
const TRandomWorldShape kLarge{301, 2100, 60, 497.0f};
const TRandomWorldShape kSmall{302, 120, 10, 150.0f};

}   // namespace

// The same world stepped on 1, 2, 3 and 8 threads: the same bits after
// every step, walked by strips or with the tests answered ahead.
TEST(PhysicsWorkers, RandomWorldsStepToTheSameBitsOnAnyWorkerCount)
{
    for (const TRandomWorldShape& shape : {kLarge, kSmall}) {
        std::vector<std::unique_ptr<TRandomWorld>> worlds;
        for (const unsigned workers : kWorkerCounts) {
            worlds.push_back(MakeRandomWorld(shape));
            worlds.back()->Physics.SetWorkerCount(workers);
            ASSERT_EQ(worlds.back()->Physics.WorkerCount(), workers);
            if (static_cast<size_t>(shape.BodyCount) < TPhysics2D::DefaultParallelFromBodies)
                worlds.back()->Physics.ParallelFromBodies = 0;
        }
        TParallelPassStats total;
        int stripSteps = 0;
        for (int step = 0; step < 120; ++step) {
            for (auto& world : worlds)
                world->Step();
            const std::vector<uint8_t> reference = [&] {
                std::vector<uint8_t> bytes;
                SavePhysicsState(worlds[0]->Physics, bytes);
                return bytes;
            }();
            for (size_t w = 1; w < worlds.size(); ++w) {
                std::vector<uint8_t> bytes;
                SavePhysicsState(worlds[w]->Physics, bytes);
                ASSERT_EQ(bytes, reference) << shape.Seed << ": " << kWorkerCounts[w] << " workers, step " << step;
            }
            const TParallelPassStats& stats = worlds[1]->Physics.LastParallelStats();
            EXPECT_GT(stats.Tasks, 0u);
            total.PairsMet += stats.PairsMet;
            total.PairsRetested += stats.PairsRetested;
            total.RowsWaited += stats.RowsWaited;
            stripSteps += stats.Strips > 0;
        }
        // In some steps a crowded cluster could nudge a body out of its
        // margin: those rows are walked on one thread after the tests are
        // answered on all. The others are walked by strips, which wait for
        // each other at their borders.
        EXPECT_GT(stripSteps, 0) << shape.Seed;
        EXPECT_GT(total.RowsWaited, 0u) << shape.Seed;
        if (shape.Seed == kLarge.Seed) {
            EXPECT_LT(stripSteps, 120);
            EXPECT_GT(total.PairsRetested, 0u);
            EXPECT_LT(total.PairsRetested, total.PairsMet);
        }
        EXPECT_EQ(worlds[0]->Physics.LastParallelStats().Tasks, 0u);
    }
}

// A state saved from a world stepped on one worker count, loaded into the
// same world stepped on another (its caches and grid all different),
// replays to the same bits.
TEST(PhysicsWorkers, SnapshotsReplayAcrossWorkerCounts)
{
    auto source = MakeRandomWorld(kLarge);
    source->Physics.SetWorkerCount(3);
    source->Run(40);
    std::vector<uint8_t> saved;
    SavePhysicsState(source->Physics, saved);
    const std::vector<uint64_t> expected = source->Run(50);
    for (const unsigned workers : kWorkerCounts) {
        auto target = MakeRandomWorld(kLarge);
        target->Physics.SetWorkerCount(workers);
        target->Run(7);
        std::string why;
        ASSERT_TRUE(LoadPhysicsState(target->Physics, saved, why)) << why;
        EXPECT_EQ(target->Run(50), expected) << workers << " workers";
    }
}

// The count can be changed between steps, back to one and up again;
// 0 means one.
TEST(PhysicsWorkers, WorkerCountChangesBetweenSteps)
{
    auto world = MakeRandomWorld(kLarge);
    auto reference = MakeRandomWorld(kLarge);
    for (const unsigned workers : {2u, 1u, 8u, 0u, 3u}) {
        world->Physics.SetWorkerCount(workers);
        EXPECT_EQ(world->Physics.WorkerCount(), workers == 0 ? 1u : workers);
        EXPECT_EQ(world->Run(5), reference->Run(5)) << workers;
    }
}
