#include "RandomWorld.h"
#include "orbel2/physics/PhysicsSnapshot.h"

#include <algorithm>
#include <bit>
#include <set>
#include <span>
#include <string>

using namespace orbel2;

namespace {

// Worlds on both sides of the size from which the pass uses its grid, so
// that pair marks and remembered crossings are carried across steps in the
// small ones.
const TRandomWorldShape kShapes[] = {
    {101, 12, 3, 60.0f},
    {102, 40, 6, 120.0f},
    {103, 300, 20, 300.0f},
};

std::vector<uint8_t> Saved(const TPhysics2D& world)
{
    std::vector<uint8_t> bytes;
    SavePhysicsState(world, bytes);
    return bytes;
}

// A constraint of a game's own: it keeps a counter and a float of its own.
class TCountingPush : public TConstraint {
public:
    int32_t Count = 0;
    float Push = 1.5f;
    void Apply(float /*Dt*/) override
    {
        ++Count;
        BodyA->State.Force.x = BodyA->State.Force.x + Push * static_cast<float>(Count % 7);
    }
    uint32_t ExtraCount() const override { return 2; }
    void SaveExtra(std::span<uint32_t> Words) const override
    {
        Words[0] = static_cast<uint32_t>(Count);
        Words[1] = std::bit_cast<uint32_t>(Push);
    }
    void LoadExtra(std::span<const uint32_t> Words) override
    {
        Count = static_cast<int32_t>(Words[0]);
        Push = std::bit_cast<float>(Words[1]);
    }
};

// Changes everything a snapshot holds, as a game may between a save and a
// load.
void Disturb(TRandomWorld& world)
{
    for (TBody& body : world.Owned) {
        body.State.Force = MakeVector2D(3.0f, -4.0f);
        body.State.Torque = 99.0f;
        body.InvMass = body.InvMass * 0.5f;
        body.InvInertia = body.InvInertia * 2.0f;
        body.LinearDrag = MakeVector2D(body.LinearDrag.y, body.LinearDrag.x);
        body.AngularDrag = body.AngularDrag + 1.0f;
        body.Group = 1 - body.Group;
        body.Restitution = 1.0f - body.Restitution;
        for (TVector2D& v : body.LocalVertices)
            VecScaleBy(v, 1.5f);
        body.ComputeRadius();
        body.Collided = !body.Collided;
    }
    for (TSpring& spring : world.OwnedSprings) {
        spring.AnchorA = spring.AnchorB;
        spring.Strain = -1.0f;
        spring.RestLength = spring.RestLength + 10.0f;
        spring.Stiffness = spring.Stiffness * 2.0f;
        spring.Damping = spring.Damping + 0.5f;
    }
}

}   // namespace

// Step k, save, step n, load, step n again: the same hash after every step,
// and the same bytes saved again. Loaded into a twin that stepped another
// way (other forces, other steps, so every cache differs), the twin replays
// the same n steps too.
TEST(PhysicsSnapshot, LoadedWorldsReplayBitForBit)
{
    for (const TRandomWorldShape& shape : kShapes) {
        auto world = MakeRandomWorld(shape);
        TCountingPush push;
        push.BodyA = push.BodyB = &world->Owned[0];
        world->Physics.Constraints.push_back(&push);
        world->Run(37);
        // Forces a game applied before saving are part of the state.
        for (size_t i = 0; i < world->Owned.size(); i += 3)
            world->Owned[i].State.Torque = 300.0f;
        TPhysicsSnapshot snapshot;
        world->Physics.SaveSnapshot(snapshot);
        const std::vector<uint64_t> first = world->Run(60);
        Disturb(*world);
        std::string why;
        ASSERT_TRUE(world->Physics.LoadSnapshot(snapshot, why)) << why;
        EXPECT_TRUE(why.empty());
        EXPECT_EQ(Saved(world->Physics), snapshot.Bytes) << shape.Seed;
        EXPECT_EQ(world->Run(60), first) << shape.Seed;

        auto twin = MakeRandomWorld(shape);
        TCountingPush twinPush;
        twinPush.BodyA = twinPush.BodyB = &twin->Owned[0];
        twin->Physics.Constraints.push_back(&twinPush);
        for (int step = 0; step < 23; ++step) {
            for (TBody& body : twin->Owned)
                body.State.Torque = 500.0f * static_cast<float>(step % 3);
            twin->Step();
        }
        Disturb(*twin);
        ASSERT_TRUE(LoadPhysicsState(twin->Physics, snapshot.Bytes, why)) << why;
        EXPECT_EQ(twin->Run(60), first) << shape.Seed;
        EXPECT_EQ(Saved(twin->Physics), Saved(world->Physics)) << shape.Seed;
        EXPECT_EQ(twinPush.Count, push.Count);
    }
}

// Every part of the layout lands where it is documented, little-endian.
TEST(PhysicsSnapshot, LayoutIsLittleEndianWords)
{
    TBody body;
    body.SetBox(2.0f, 4.0f);
    body.State.Position = MakeVector2D(1.0f, -2.0f);
    body.Group = -3;
    body.Collided = true;
    TSpring spring;
    spring.BodyA = spring.BodyB = &body;
    spring.Damping = -0.0f;
    TPhysics2D world;
    world.Bodies = {&body};
    world.Constraints = {&spring};
    const std::vector<uint8_t> bytes = Saved(world);
    ASSERT_EQ(bytes.size(), PhysicsStateSize(world));
    ASSERT_EQ(bytes.size(), 4u * (2 + 19 + 8 + 6 + 3));
    const auto word = [&](size_t i) {
        return uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 | uint32_t(bytes[4 * i + 2]) << 16 |
            uint32_t(bytes[4 * i + 3]) << 24;
    };
    EXPECT_EQ(word(0), 1u);
    EXPECT_EQ(word(1), 1u);
    EXPECT_EQ(word(2), 0x3F800000u);   // Position.x 1
    EXPECT_EQ(word(3), 0xC0000000u);   // Position.y -2
    EXPECT_EQ(word(2 + 16), 0xFFFFFFFDu);   // Group -3
    EXPECT_EQ(word(2 + 17), 1u);   // Collided
    EXPECT_EQ(word(2 + 18), 4u);   // vertices
    EXPECT_EQ(word(2 + 19), 0xBF800000u);   // first vertex x -1
    EXPECT_EQ(word(29 + 5), 3u);   // the spring's own words
    EXPECT_EQ(word(29 + 8), 0x80000000u);   // Damping -0
}

// A state that does not fit is refused with a reason, and the world, caches
// and all, is as it was: it saves to the same bytes and steps on as a world
// that was never asked to load.
TEST(PhysicsSnapshot, RefusalsLeaveTheWorldUntouched)
{
    const TRandomWorldShape shape = kShapes[1];
    auto world = MakeRandomWorld(shape);
    auto untouched = MakeRandomWorld(shape);
    world->Run(10);
    untouched->Run(10);
    const std::vector<uint8_t> before = Saved(world->Physics);

    auto other = MakeRandomWorld({shape.Seed + 1, shape.BodyCount, shape.Springs, shape.Spread});
    other->Run(5);
    const std::vector<uint8_t> foreign = Saved(other->Physics);   // same counts, other vertex counts

    std::vector<std::vector<uint8_t>> refused;
    for (size_t cut = 0; cut < before.size(); cut += 1 + cut / 64)
        refused.emplace_back(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(cut));
    refused.push_back(before);
    refused.back().push_back(0);
    refused.push_back(before);
    refused.back().insert(refused.back().end(), {0, 0, 0, 0});
    for (const size_t word : {size_t(0), size_t(1), size_t(2 + 17), size_t(2 + 18)}) {
        refused.push_back(before);
        refused.back()[4 * word] ^= 2;   // a count one off, or a flag of 2 or 3
    }
    refused.push_back(foreign);
    {
        auto fewer = MakeRandomWorld({shape.Seed, shape.BodyCount - 1, shape.Springs, shape.Spread});
        refused.push_back(Saved(fewer->Physics));
        auto noSprings = MakeRandomWorld({shape.Seed, shape.BodyCount, 0, shape.Spread});
        refused.push_back(Saved(noSprings->Physics));
    }
    std::set<std::string> reasons;
    for (const std::vector<uint8_t>& bytes : refused) {
        std::string why;
        ASSERT_FALSE(LoadPhysicsState(world->Physics, bytes, why)) << bytes.size();
        ASSERT_FALSE(why.empty());
        reasons.insert(why.substr(0, 22));
        ASSERT_EQ(Saved(world->Physics), before);
    }
    EXPECT_GE(reasons.size(), 6u);
    EXPECT_EQ(world->Run(40), untouched->Run(40));
}
