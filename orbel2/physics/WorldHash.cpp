#include "orbel2/physics/WorldHash.h"

#include <bit>

namespace orbel2 {

namespace {

constexpr uint64_t FnvPrime = 0x100000001B3ull;

uint64_t AddFloat(uint64_t Hash, float Value)
{
    const uint32_t bits = std::bit_cast<uint32_t>(Value);
    for (int shift = 0; shift < 32; shift += 8)
        Hash = (Hash ^ ((bits >> shift) & 0xFFu)) * FnvPrime;
    return Hash;
}

}   // namespace

uint64_t HashWorld(const std::vector<TBody*>& Bodies, uint64_t Seed)
{
    uint64_t hash = Seed;
    for (const TBody* body : Bodies) {
        const TBodyState& s = body->State;
        for (const float value : {s.Position.x, s.Position.y, s.Velocity.x, s.Velocity.y, s.Angle, s.AngularVelocity})
            hash = AddFloat(hash, value);
    }
    return hash;
}

}   // namespace orbel2
