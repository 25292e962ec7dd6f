#include "orbel2/physics/PairMarks.h"
#include "PhysicsTestSupport.h"

#include <cmath>
#include <memory>

using namespace orbel2;

namespace {

// The circle test of the collision pass, as the world computes it.
bool CirclesMeet(const TBody& a, const TBody& b)
{
    return a.Group == b.Group && VecLength(VecSub(b.State.Position, a.State.Position)) < a.Radius + b.Radius;
}

}   // namespace

// Marks kept from round to round, while a few bodies move, change radius or
// group, are swapped for others or lost at NaN, and the world grows and
// shrinks, are the marks of a fresh start, and never leave off a pair that
// the circle test lets through.
TEST(PairMarks, KeptMarksAreTheMarksOfAFreshStart)
{
    TTestRandom random(77);
    std::vector<std::unique_ptr<TBody>> owned;
    std::vector<TBody*> bodies;
    const auto place = [&](TBody& body) {
        body.State.Position = MakeVector2D(random.Range(0.0f, 300.0f), random.Range(0.0f, 300.0f));
        body.Radius = random.Range(5.0f, 40.0f);
        body.Group = static_cast<int32_t>(random.Next() % 2);
    };
    for (int i = 0; i < 40; ++i) {
        owned.push_back(std::make_unique<TBody>());
        place(*owned.back());
        bodies.push_back(owned.back().get());
    }
    TPairMarks kept;
    int pairsThatMeet = 0;
    for (int round = 0; round < 300; ++round) {
        for (int change = 0; change < 3; ++change) {
            TBody& body = *bodies[random.Next() % bodies.size()];
            switch (random.Next() % 6) {
            case 0:
                body.State.Position.x = body.State.Position.x + random.Range(-20.0f, 20.0f);
                break;
            case 1:
                body.Radius = random.Range(0.0f, 60.0f);
                break;
            case 2:
                body.Group = 1 - body.Group;
                break;
            case 3:   // another body in its place
                owned.push_back(std::make_unique<TBody>());
                place(*owned.back());
                bodies[random.Next() % bodies.size()] = owned.back().get();
                break;
            case 4:
                body.State.Position.y = NAN;
                break;
            default:   // one more, or one fewer
                if (bodies.size() < TPairMarks::MaxBodies && random.Next() % 2 == 0) {
                    owned.push_back(std::make_unique<TBody>());
                    place(*owned.back());
                    bodies.push_back(owned.back().get());
                } else if (bodies.size() > 2) {
                    bodies.pop_back();
                }
            }
        }
        kept.Update(bodies);
        TPairMarks fresh;
        fresh.Update(bodies);
        for (size_t a = 0; a < bodies.size(); ++a) {
            ASSERT_EQ(kept.Row(a), fresh.Row(a)) << "round " << round << ", row " << a;
            for (size_t b = 0; b < bodies.size(); ++b) {
                if (a == b || !CirclesMeet(*bodies[a], *bodies[b]))
                    continue;
                ASSERT_TRUE(kept.Row(a) >> b & 1) << "round " << round << ": " << a << ", " << b;
                ++pairsThatMeet;
            }
        }
    }
    EXPECT_GT(pairsThatMeet, 3000);
}
