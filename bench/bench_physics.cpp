// One world step of the demo's scene and of packed fields of boxes, with the
// grid broad phase, with the plain all-pairs pass, and in Box2D 2.4 for
// reference (1 m = 40 units, so a 40 x 40 box is 1 m square).
#include "physics/DemoScene.h"

#include <benchmark/benchmark.h>
#include <box2d/box2d.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kDemoBodies = 22;
constexpr float kPitch = 45.0f;
constexpr float kBox = 40.0f;
constexpr float kUnitsPerMetre = 40.0f;

struct TPlacement {
    TVector2D Position;
    float Angle;
    float Width;
    float Height;
};

// xorshift32, fixed seed: every run places the same field.
uint32_t NextRandom(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Uniform(uint32_t& state, float low, float high)
{
    return low + (high - low) * static_cast<float>(NextRandom(state) >> 8) * (1.0f / 16777216.0f);
}

// Boxes on a square grid of pitch 45 with offsets of up to 2 units and
// angles of up to 0.3 rad, so neighbouring bounding circles (radius 28.3)
// overlap and some outlines cross.
std::vector<TPlacement> BoxField(int count)
{
    std::vector<TPlacement> field;
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    uint32_t random = 0x5EED1234u;
    for (int i = 0; i < count; ++i) {
        const float x = kPitch * static_cast<float>(i % columns) + Uniform(random, -2.0f, 2.0f);
        const float y = kPitch * static_cast<float>(i / columns) + Uniform(random, -2.0f, 2.0f);
        field.push_back(TPlacement{MakeVector2D(x, y), Uniform(random, -0.3f, 0.3f), kBox, kBox});
    }
    return field;
}

// The demo's bodies as placements, for Box2D.
std::vector<TPlacement> DemoField()
{
    std::vector<TPlacement> field{TPlacement{MakeVector2D(0.0f, 0.0f), 0.0f, 40.0f, 20.0f}};
    for (int i = 0; i < 21; ++i)
        field.push_back(TPlacement{MakeVector2D(static_cast<float>(60 * i), 100.0f), 0.0f, kBox, kBox});
    return field;
}

std::vector<TPlacement> Field(int count)
{
    return count == kDemoBodies ? DemoField() : BoxField(count);
}

// A box field with the demo boxes' mass, inertia and drag.
struct TBoxWorld {
    std::vector<TBody> Bodies;
    TPhysics2D Physics;

    explicit TBoxWorld(int count) : Bodies(static_cast<size_t>(count))
    {
        const std::vector<TPlacement> field = BoxField(count);
        for (size_t i = 0; i < Bodies.size(); ++i) {
            TBody& body = Bodies[i];
            body.SetBox(field[i].Width, field[i].Height);
            body.State.Position = field[i].Position;
            body.State.Angle = field[i].Angle;
            body.LinearDrag = MakeVector2D(2.0f, 2.0f);
            body.AngularDrag = 500.0f;
            body.InvInertia = 0.02f;
            body.InvMass = 10.0f;
            Physics.Bodies.push_back(&body);
        }
    }
};

void RunSteps(benchmark::State& state, TCollisionPass pass)
{
    const int count = static_cast<int>(state.range(0));
    std::unique_ptr<TDemoScene> demo;
    std::unique_ptr<TBoxWorld> boxes;
    TPhysics2D* physics = nullptr;
    if (count == kDemoBodies) {
        demo = std::make_unique<TDemoScene>();
        BuildDemoBodies(*demo);
        physics = &demo->Physics;
    } else {
        boxes = std::make_unique<TBoxWorld>(count);
        physics = &boxes->Physics;
    }
    physics->CollisionPass = pass;
    for (auto _ : state) {
        if (demo)
            ApplyDemoInput(demo->Player, INPUT_UP);
        physics->Step(TIntegrationMode::imMidpoint, 0.02f);
    }
    state.counters["steps_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

void BM_PhysicsStep(benchmark::State& state)
{
    RunSteps(state, TCollisionPass::BroadPhase);
}

void BM_PhysicsStepAllPairs(benchmark::State& state)
{
    RunSteps(state, TCollisionPass::AllPairs);
}

// No gravity, 8 velocity and 3 position iterations, sleep off.
void BM_Box2DStep(benchmark::State& state)
{
    b2World world(b2Vec2(0.0f, 0.0f));
    world.SetAllowSleeping(false);
    for (const TPlacement& p : Field(static_cast<int>(state.range(0)))) {
        b2BodyDef def;
        def.type = b2_dynamicBody;
        def.position.Set(p.Position.x / kUnitsPerMetre, p.Position.y / kUnitsPerMetre);
        def.angle = p.Angle;
        def.linearDamping = 2.0f;
        b2PolygonShape shape;
        shape.SetAsBox(p.Width / 2.0f / kUnitsPerMetre, p.Height / 2.0f / kUnitsPerMetre);
        world.CreateBody(&def)->CreateFixture(&shape, 1.0f);
    }
    for (auto _ : state)
        world.Step(0.02f, 8, 3);
    state.counters["steps_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PhysicsStep)->Arg(22)->Arg(100)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsStepAllPairs)->Arg(22)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicsStepAllPairs)->Arg(10000)->Iterations(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Box2DStep)->Arg(22)->Arg(100)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
