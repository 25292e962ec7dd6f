// Helpers shared by the physics tests.
#pragma once

#include "physics/physicssystem.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

// xorshift32: tiny, fixed and the same everywhere.
class TTestRandom {
public:
    explicit TTestRandom(uint32_t seed) : State(seed ? seed : 1u) {}
    uint32_t Next()
    {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return State;
    }
    // Uniform in [low, high).
    float Range(float low, float high)
    {
        return low + (high - low) * static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f);
    }

private:
    uint32_t State;
};

// FNV-1a 64 over the bytes of every body's position, velocity, angle and
// angular velocity.
class TMotionHash {
public:
    void Add(const std::vector<TBody*>& bodies)
    {
        for (const TBody* body : bodies) {
            const TBodyState& s = body->State;
            for (float v : {s.Position.x, s.Position.y, s.Velocity.x, s.Velocity.y, s.Angle, s.AngularVelocity})
                for (int i = 0; i < 4; ++i)
                    Hash = (Hash ^ ((std::bit_cast<uint32_t>(v) >> (8 * i)) & 0xFFu)) * 0x100000001B3ull;
        }
    }
    uint64_t Value() const { return Hash; }

private:
    uint64_t Hash = 0xCBF29CE484222325ull;
};

inline void ExpectNear(TVector2D v, float x, float y, float tol = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

inline bool SameBits(const TBody& a, const TBody& b)
{
    return a.Collided == b.Collided && std::memcmp(&a.State, &b.State, sizeof(TBodyState)) == 0;
}
