// The engine's sine and cosine against glibc's sincos rounded to float,
// which every recording so far was made with. Other C libraries are not
// asked: on them the engine's routine is the reference.
#include "orbel2/physics/OB_SinCos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace orbel2;

namespace {

uint32_t Bits(float F)
{
    uint32_t u = 0;
    std::memcpy(&u, &F, sizeof u);
    return u;
}

float FromBits(uint32_t U)
{
    float f = 0.0f;
    std::memcpy(&f, &U, sizeof f);
    return f;
}

#if defined(__GLIBC__)

// The number of angles among Angles whose sine or cosine differs in any bit
// from glibc's; the first few are reported.
int Mismatches(const std::vector<float>& Angles)
{
    int mismatches = 0;
    for (const float angle : Angles) {
        double s = 0.0;
        double c = 0.0;
        ::sincos(static_cast<double>(angle), &s, &c);
        const OB_TSinCosResult own = OB_SinCos(angle);
        if (Bits(own.Sine) == Bits(static_cast<float>(s)) && Bits(own.Cosine) == Bits(static_cast<float>(c)))
            continue;
        if (++mismatches <= 5)
            ADD_FAILURE() << "angle " << std::hexfloat << angle << ": " << own.Sine << ", " << own.Cosine
                          << " against " << static_cast<float>(s) << ", " << static_cast<float>(c);
    }
    return mismatches;
}

// Every float bit pattern at a stride prime to 2^32, both signs and all
// exponents: about 2 million angles, large ones among them (where MinGW's
// sincos was found to differ).
TEST(SinCosTest, AgreesWithGlibcOverEveryExponent)
{
    std::vector<float> angles;
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 2053) {
        const float angle = FromBits(static_cast<uint32_t>(bits));
        if (std::isfinite(angle))
            angles.push_back(angle);
    }
    EXPECT_EQ(Mismatches(angles), 0);
}

// The angles a body turning in small steps reaches, and the floats right
// next to multiples of a quarter turn, where the reduction must keep the
// most bits; and the edges of the float range.
TEST(SinCosTest, AgreesWithGlibcNearQuarterTurnsAndAtTheEdges)
{
    std::vector<float> angles{0.0f, -0.0f, FromBits(1), -FromBits(1), 0x1p-126f, 0.5f, -0.5f, 0x1.fffffep-2f,
                              0x1.fffffep127f, -0x1.fffffep127f, 0x1p24f, 0x1p100f};
    float turning = 0.0f;
    for (int step = 0; step < 200000; ++step) {
        turning += 0.0137f;
        angles.push_back(turning);
        angles.push_back(-turning);
    }
    for (int quarter = 1; quarter < 200000; quarter += 7) {
        const float nearest = static_cast<float>(quarter * 1.57079632679489661923);
        for (int ulps = -3; ulps <= 3; ++ulps)
            angles.push_back(FromBits(Bits(nearest) + static_cast<uint32_t>(ulps)));
    }
    angles.push_back(FromBits(0x4955bcba));   // 875467.6: MinGW's sine was one ulp off here
    EXPECT_EQ(Mismatches(angles), 0);
}

#endif

TEST(SinCosTest, KeepsTheSymmetriesAndGivesNaNForNonFiniteAngles)
{
    for (const float angle : {0.25f, 1.0f, 3.0f, 100.0f, 875467.6f, 0x1p90f}) {
        const OB_TSinCosResult plus = OB_SinCos(angle);
        const OB_TSinCosResult minus = OB_SinCos(-angle);
        EXPECT_EQ(Bits(minus.Sine), Bits(-plus.Sine)) << angle;
        EXPECT_EQ(Bits(minus.Cosine), Bits(plus.Cosine)) << angle;
    }
    EXPECT_EQ(Bits(OB_SinCos(-0.0f).Sine), Bits(-0.0f));
    EXPECT_EQ(OB_SinCos(0.0f).Cosine, 1.0f);
    for (const float angle : {INFINITY, -INFINITY, NAN}) {
        EXPECT_TRUE(std::isnan(OB_SinCos(angle).Sine));
        EXPECT_TRUE(std::isnan(OB_SinCos(angle).Cosine));
    }
}

}   // namespace
