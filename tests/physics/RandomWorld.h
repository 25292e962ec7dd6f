// A random world for the tests that compare runs bit for bit: bodies of
// three to six vertices in overlapping clusters, with mixed groups, masses,
// drags and restitutions, angles near +-pi spinning across it, and springs
// between random pairs. The same seed builds the same world.
#pragma once

#include "PhysicsTestSupport.h"
#include "orbel2/physics/WorldHash.h"

#include <cmath>
#include <memory>
#include <numbers>

namespace orbel2 {

struct TRandomWorldShape {
    uint32_t Seed;
    int BodyCount;
    int Springs;
    float Spread;   // half-width of the square the bodies are placed in
};

class TRandomWorld {
public:
    std::vector<TBody> Owned;
    std::vector<TSpring> OwnedSprings;
    TPhysics2D Physics;

    explicit TRandomWorld(const TRandomWorldShape& Shape) : Owned(Shape.BodyCount), OwnedSprings(Shape.Springs)
    {
        TTestRandom random(Shape.Seed);
        const float pi = std::numbers::pi_v<float>;
        for (TBody& body : Owned) {
            const float spread = Shape.Spread;
            body.State.Position = MakeVector2D(random.Range(-spread, spread), random.Range(-spread, spread));
            const float side = random.Next() % 2 ? 1.0f : -1.0f;
            body.State.Angle = side * (pi - random.Range(0.0f, 0.05f));
            body.State.Velocity = MakeVector2D(random.Range(-60.0f, 60.0f), random.Range(-60.0f, 60.0f));
            body.State.AngularVelocity = random.Range(-3.0f, 3.0f);
            const int vertices = 3 + static_cast<int>(random.Next() % 4);
            if (vertices == 4) {
                body.SetBox(random.Range(10.0f, 45.0f), random.Range(10.0f, 45.0f));
            } else {
                body.SetVertexCount(static_cast<size_t>(vertices));
                const float radius = random.Range(8.0f, 25.0f);
                for (int v = 0; v < vertices; ++v) {
                    const float a = 2.0f * pi * static_cast<float>(v) / static_cast<float>(vertices);
                    body.LocalVertices[static_cast<size_t>(v)] = MakeVector2D(radius * std::cos(a), radius * std::sin(a));
                }
                body.ComputeRadius();
            }
            body.Group = static_cast<int32_t>(random.Next() % 2);
            body.Restitution = random.Range(0.0f, 1.0f);
            body.InvMass = random.Next() % 8 == 0 ? 0.0f : random.Range(0.1f, 2.0f);
            body.InvInertia = random.Range(0.0001f, 0.01f);
            body.LinearDrag = MakeVector2D(random.Range(0.0f, 2.0f), random.Range(0.0f, 2.0f));
            body.AngularDrag = random.Range(0.0f, 50.0f);
            Physics.Bodies.push_back(&body);
        }
        for (TSpring& spring : OwnedSprings) {
            spring.BodyA = &Owned[random.Next() % Owned.size()];
            spring.BodyB = &Owned[random.Next() % Owned.size()];
            spring.AnchorA = MakeVector2D(random.Range(-5.0f, 5.0f), random.Range(-5.0f, 5.0f));
            spring.AnchorB = MakeVector2D(random.Range(-5.0f, 5.0f), random.Range(-5.0f, 5.0f));
            spring.RestLength = random.Range(0.0f, 120.0f);
            spring.Stiffness = random.Range(0.1f, 20.0f);
            spring.Damping = random.Range(0.0f, 1.0f);
            Physics.Constraints.push_back(&spring);
        }
    }
    TRandomWorld(const TRandomWorld&) = delete;
    TRandomWorld& operator=(const TRandomWorld&) = delete;

    void Step() { Physics.Step(TIntegrationMode::imMidpoint, 0.02f); }
    uint64_t Hash() const { return HashWorld(Physics.Bodies); }
    // Steps N times; the world's hash after each.
    std::vector<uint64_t> Run(int N)
    {
        std::vector<uint64_t> hashes;
        for (int i = 0; i < N; ++i) {
            Step();
            hashes.push_back(Hash());
        }
        return hashes;
    }
};

inline std::unique_ptr<TRandomWorld> MakeRandomWorld(const TRandomWorldShape& Shape)
{
    return std::make_unique<TRandomWorld>(Shape);
}

}   // namespace orbel2
