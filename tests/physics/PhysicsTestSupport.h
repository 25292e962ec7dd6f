// Helpers shared by the physics tests.
#pragma once

#include "orbel2/physics/physicssystem.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orbel2 {

// ThreadSanitizer slows the arithmetic some fifty times; the largest worlds
// take fewer steps there.
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif
#else
constexpr bool kUnderThreadSanitizer = false;
#endif

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

inline void ExpectNear(TVector2D v, float x, float y, float tol = 1e-4f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
}

inline bool SameBits(const TBody& a, const TBody& b)
{
    return a.Collided == b.Collided && std::memcmp(&a.State, &b.State, sizeof(TBodyState)) == 0;
}

}   // namespace orbel2
