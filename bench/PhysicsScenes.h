// The scenes that the physics benchmarks step in our world and in the peer
// engines, described once in our units (x to the right, y downward toward the
// floor) so that every engine builds the very same boxes and walls.
//
// Rule: each engine takes a scene's bodies and figures as they are and only
// converts units; what a scene asks of a step (its push toward the floor, its
// damping) is spelled out here in per-step terms that every engine can match.
#pragma once

#include "orbel2/physics/Vector2D.h"

#include <optional>
#include <vector>

namespace orbel2 {

namespace bench {

constexpr float kStep = 0.02f;
constexpr float kBoxSide = 40.0f;

// Our boxes carry the demo boxes' mass, inertia and drag.
constexpr float kBoxInvMass = 10.0f;
constexpr float kBoxInvInertia = 0.02f;
constexpr float kBoxLinearDrag = 2.0f;
constexpr float kBoxAngularDrag = 500.0f;

// Our drag takes these fractions of a box's speed and spin off in one step
// (drag force times inverse mass times the step); the peers are damped so
// that they keep the same fractions.
constexpr double kSpeedKeptPerStep = 1.0 - double(kBoxLinearDrag) * kBoxInvMass * kStep;   // 0.6
constexpr double kSpinKeptPerStep = 1.0 - double(kBoxAngularDrag) * kBoxInvInertia * kStep;   // 0.8

// Acceleration toward the floor given to every box in the container, units
// per second squared: 10 m/s^2 at 40 units to the metre.
constexpr float kPushAcceleration = 400.0f;

struct TBoxPlacement {
    TVector2D Centre;
    float Angle;
    TVector2D Size;
};

// An axis-aligned rectangle in our units.
struct TBounds {
    TVector2D Min, Max;
    bool Contains(TVector2D p) const { return p.x >= Min.x && p.x <= Max.x && p.y >= Min.y && p.y <= Max.y; }
};

struct TScene {
    std::vector<TBoxPlacement> Boxes;   // movable, in the order every engine adds them
    std::vector<TBoxPlacement> Walls;   // immovable; added before the boxes
    float PushAcceleration = 0.0f;   // toward +y, on every box at every step
    // With walls: a box whose centre is outside these bounds (the walls'
    // outer faces) has left the container.
    std::optional<TBounds> Container;
    int WarmUpSteps = 0;   // stepped before anything is timed or counted
    int TimedSteps = 0;   // the timed window, the same for every engine at this size
};

// n boxes of 40 x 40 on a grid of pitch 45 with offsets of up to 2 units and
// angles of up to 0.3 rad; no walls, no push. Neighbouring bounding circles
// overlap and a few outlines cross at the start.
TScene SpreadGrid(int count);

// n boxes of 40 x 40 stacked in columns, 20 rows deep (square below 400
// boxes), in a closed container of 40 x 40 wall tiles with two empty rows
// above the pile; every box is pushed toward the floor. Timed once the
// peers' piles have come to rest.
TScene ContainerPile(int count);

// The container's walls and boxes alone (no warm-up, no window): count
// boxes filling the given number of columns row by row from the floor up.
TScene BoxesInContainer(int columns, int count);

// The demo's player rectangle and its row of 21 boxes, as placements.
TScene DemoPlacements();

}   // namespace bench

}   // namespace orbel2
