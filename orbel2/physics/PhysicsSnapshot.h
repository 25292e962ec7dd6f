// The state of a physics world as bytes: everything a step reads, so that a
// world loaded from them steps on to the very same bits as the world they
// were saved from. A game keeps these bytes to save, load, rewind or start
// a recording from any step; the file around them (a name, a version, a
// checksum) is the caller's.
//
// What is saved, for every listed body in list order: its TBodyState, its
// Collided flag, and every parameter a game may change (InvMass, InvInertia,
// LinearDrag, AngularDrag, Group, Radius, Restitution, LocalVertices); for
// every listed constraint in list order: its anchors and Strain, then
// whatever its type adds through TConstraint::SaveExtra (a TSpring: its
// RestLength, Stiffness and Damping).
//
// What is not saved, and why the step's results do not depend on it:
//   - which bodies and constraints the world lists, and which bodies a
//     constraint joins: that is the world's own make-up, which the bytes must
//     fit (the reader checks every count against it);
//   - world vertices: every collision pass marks them stale before it reads
//     them and computes them anew from LocalVertices and the state (between
//     a load and the next pass they are those of the world before the load;
//     UpdateWorldVertices brings them up to date for a caller who draws them);
//   - the cached sine and cosine of each angle, the pair marks of small
//     worlds and the memory of crossing tests: each holds values that are a
//     function of bits it compares with what it is asked (an angle, the
//     positions, radii and groups, two outlines), so a stale entry can never
//     answer; a load forgets them all the same, at the cost of computing
//     them once more;
//   - the broad-phase grid, the collision scratch, and the tables of a pass
//     on worker threads (answers known ahead, strips): built afresh by every
//     pass from the bodies alone; nor the worker count, which changes no
//     bit.
//
// Layout: a sequence of 32-bit little-endian words, whatever the machine,
// with nothing between them (floats as their IEEE-754 bit patterns, NaN
// payloads and signs of zero kept):
//   header      BodyCount, ConstraintCount
//   per body    Position.x, Position.y, Velocity.x, Velocity.y, Force.x,
//               Force.y, Angle, AngularVelocity, Torque,
//               InvMass, InvInertia, LinearDrag.x, LinearDrag.y,
//               AngularDrag, Radius, Restitution,
//               Group (two's complement), Collided (0 or 1), VertexCount,
//               then VertexCount pairs x, y of LocalVertices
//   per constraint
//               AnchorA.x, AnchorA.y, AnchorB.x, AnchorB.y, Strain,
//               ExtraCount, then ExtraCount words of the type's own
// The same world always gives the same bytes.
//
// Rule: load only into the world the bytes were saved from, or one built the
// same way (same bodies with the same vertex counts, same constraints of the
// same types, in the same order). Anything else is refused before the world
// is touched.
#pragma once

#include "orbel2/physics/physicssystem.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orbel2 {

// The number of bytes a save of World takes.
size_t PhysicsStateSize(const TPhysics2D& World);

// Out := the bytes of World's state. Out's storage is reused: once it has
// held a save of this world, saving again allocates nothing.
void SavePhysicsState(const TPhysics2D& World, std::vector<uint8_t>& Out);

// World := the state in Bytes, when they fit it. On any mismatch (too short
// or too long, another number of bodies, vertices, constraints or
// constraint words, a flag that is neither 0 nor 1) the world is left as it
// was, to the bit, false is returned and Why says what did not fit.
// Allocates nothing on success.
bool LoadPhysicsState(TPhysics2D& World, std::span<const uint8_t> Bytes, std::string& Why);

// A saved state as a value: copy it, keep it, compare it, load it back.
struct TPhysicsSnapshot {
    std::vector<uint8_t> Bytes;   // the layout above

    bool operator==(const TPhysicsSnapshot&) const = default;
};

}   // namespace orbel2
