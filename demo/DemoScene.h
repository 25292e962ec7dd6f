// The demonstration's world: the player rectangle, a row of 21 boxes and the
// spring between the first two, plus the input word that drives the player.
// The session, the tests and the benchmarks all build it here, so they all
// step the very same world.
//
// Rule: the world lists pointers into the scene, so a scene never moves or
// copies; build it in place once with BuildDemoBodies.
#pragma once

#include "orbel2/physics/physicssystem.h"

#include <array>
#include <cstdint>

namespace orbel2::demo {

constexpr uint32_t INPUT_LEFT = 0x1;
constexpr uint32_t INPUT_RIGHT = 0x2;
constexpr uint32_t INPUT_UP = 0x4;
constexpr uint32_t INPUT_DOWN = 0x8;

// The length of one simulated step of the demo, in seconds.
constexpr float DemoStepTime = 0.02f;

struct TDemoScene {
    TPhysics2D Physics;
    TBody Player;
    std::array<TBody, 21> Boxes;
    TSpring Spring;

    TDemoScene() = default;
    TDemoScene(const TDemoScene&) = delete;
    TDemoScene& operator=(const TDemoScene&) = delete;
};

// Sets up a freshly constructed scene: the player first in the world's
// bodies, then the boxes in index order, then the spring.
void BuildDemoBodies(TDemoScene& Scene);

// One step's input: left and right turn the player, up and down thrust
// along its own x axis from a point behind its centre. Opposite keys cancel;
// other bits are ignored.
void ApplyDemoInput(TBody& Player, uint32_t Input);

}   // namespace orbel2::demo
