// One 64-bit number for the state of a world: FNV-1a over the bit patterns
// of every body's position, velocity, angle and angular velocity, in list
// order, each float taken little-endian whatever the machine. Two worlds
// hash alike only if they move alike to the bit, so a replay can be checked
// against its recording with a few bytes per checkpoint, and builds can be
// compared by the hash of one long scripted run.
//
// Rule: the hash reads only motion (forces and torques are zero between
// steps, and outlines, masses and drag never change), so it is taken
// between steps.
#pragma once

#include "orbel2/physics/Body.h"

#include <cstdint>
#include <vector>

namespace orbel2 {

// The FNV-1a 64 offset basis: where a hash starts.
constexpr uint64_t WorldHashStart = 0xCBF29CE484222325ull;

// The hash of the bodies' motion, continued from Seed: from WorldHashStart
// it is the hash of the world as it stands; fed its own previous value
// after every step it chains a whole run into one number.
uint64_t HashWorld(const std::vector<TBody*>& Bodies, uint64_t Seed = WorldHashStart);

}   // namespace orbel2
