// One scene in each engine that the physics benchmarks compare: our world,
// Box2D 2.4 and Chipmunk2D 7. Each builds the scene's walls and boxes, takes
// one step of 0.02 s with the scene's push, counts the pairs in touch after a
// step and tells where a box's centre is, in our units.
//
// Rule: a world is built in place and never copied; it owns everything it
// creates.
#pragma once

#include "bench/PhysicsScenes.h"
#include "orbel2/physics/physicssystem.h"

#include <box2d/box2d.h>
#include <chipmunk/chipmunk.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace orbel2 {

namespace bench {

// The spread grid's boxes, no walls, with a spring from every tenth box to
// the next: the world whose state the snapshot and rewind benchmarks save,
// load and step back.
struct TSprungGrid {
    explicit TSprungGrid(int boxes);
    TSprungGrid(const TSprungGrid&) = delete;
    TSprungGrid& operator=(const TSprungGrid&) = delete;

    std::vector<TBody> Bodies;
    std::vector<TSpring> Springs;
    TPhysics2D World;
};

// Walls have InvMass 0 (no force or impulse changes their velocity); the
// nudge of the collision pass moves them all the same, so each step ends by
// putting them back where the scene placed them.
class TOurWorld {
public:
    // Workers: threads for the grid pass (TPhysics2D::SetWorkerCount), from
    // parallelFromBodies bodies on.
    TOurWorld(const TScene& scene, TCollisionPass timedPass, unsigned workers = 1,
              size_t parallelFromBodies = TPhysics2D::DefaultParallelFromBodies);
    TOurWorld(const TOurWorld&) = delete;
    TOurWorld& operator=(const TOurWorld&) = delete;

    // Steps with the grid, whose results are those of the all-pairs pass to
    // the bit, then switches to the pass that is to be timed.
    void WarmUp(int steps);
    void Step();
    // Pairs whose outlines cross as the step ends: what the next collision
    // pass will find.
    size_t TouchingPairs();
    size_t BoxCount() const { return Bodies.size() - WallPlaces.size(); }
    TVector2D BoxCentre(size_t box) const { return Bodies[WallPlaces.size() + box].State.Position; }
    // Wall tiles found moved at the end of a step, summed over all steps.
    size_t WallsMoved() const { return WallMoves; }
    const TPhysics2D& World() const { return Physics; }

private:
    bool Crossing(const TBody& a, const TBody& b) const;

    std::vector<TBody> Bodies;   // the walls first, then the boxes
    std::vector<TVector2D> WallPlaces;
    TVector2D PushForce{0.0f, 0.0f};
    TPhysics2D Physics;
    TCollisionPass TimedPass;
    size_t WallMoves = 0;
    TCollisionGrid CountingGrid;
    std::vector<uint32_t> Candidates;
};

// 1 m = 40 units. Walls are fixtures of one static body; boxes are dynamic
// bodies of 1 kg with the default friction (0.2) and no restitution,
// damped as ours are per step. Sleeping is off, as ours has none.
class TBox2DWorld {
public:
    explicit TBox2DWorld(const TScene& scene);
    TBox2DWorld(const TBox2DWorld&) = delete;
    TBox2DWorld& operator=(const TBox2DWorld&) = delete;

    void WarmUp(int steps);
    // 8 velocity and 3 position iterations.
    void Step();
    // Contacts whose shapes touched in the last step.
    size_t TouchingPairs() const;
    size_t BoxCount() const { return Boxes.size(); }
    TVector2D BoxCentre(size_t box) const;

private:
    b2World World{b2Vec2(0.0f, 0.0f)};
    std::vector<b2Body*> Boxes;
    b2Vec2 PushForce{0.0f, 0.0f};
};

// Our units as they are (Chipmunk has none of its own). Walls are shapes of
// the space's static body; boxes are bodies of mass 1 with a box's moment.
// The space keeps its defaults: bounding-box tree, 10 iterations, no sleep.
// Chipmunk multiplies the two frictions of a pair where Box2D takes their
// geometric mean, so each shape gets the square root of Box2D's 0.2.
class TChipmunkWorld {
public:
    explicit TChipmunkWorld(const TScene& scene);
    TChipmunkWorld(const TChipmunkWorld&) = delete;
    TChipmunkWorld& operator=(const TChipmunkWorld&) = delete;

    void WarmUp(int steps);
    void Step();
    // Arbiters with contact points after the last step.
    size_t TouchingPairs() const;
    size_t BoxCount() const { return Boxes.size(); }
    TVector2D BoxCentre(size_t box) const;

private:
    struct TFreeBody {
        void operator()(cpBody* body) const { cpBodyFree(body); }
    };
    struct TFreeShape {
        void operator()(cpShape* shape) const { cpShapeFree(shape); }
    };
    struct TFreeSpace {
        void operator()(cpSpace* space) const { cpSpaceFree(space); }
    };

    // Declared before the space, so that the space goes first: freeing it
    // still visits its bodies.
    std::vector<std::unique_ptr<cpShape, TFreeShape>> Shapes;
    std::vector<std::unique_ptr<cpBody, TFreeBody>> Boxes;
    std::unique_ptr<cpSpace, TFreeSpace> Space;
    cpVect PushForce{0.0, 0.0};
};

}   // namespace bench

}   // namespace orbel2
