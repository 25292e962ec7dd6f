// Compares the engine's sine and cosine (orbel2/physics/OB_SinCos.h) with glibc's
// sincos rounded to float for every float bit pattern in [FROM, TO) at a
// stride, and prints how many differ (the first ten too). Linux only.
//   g++ -O2 -std=c++20 -ffp-contract=off -I. tools/ports/sincos_exhaustive.cpp orbel2/physics/OB_SinCos.cpp
//   ./a.out 0 0x7f800000        every non-negative finite float (minutes)
#include "orbel2/physics/OB_SinCos.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FROM TO [STRIDE]\n", argv[0]);
        return 2;
    }
    const uint64_t from = std::strtoull(argv[1], nullptr, 0);
    const uint64_t to = std::strtoull(argv[2], nullptr, 0);
    const uint64_t stride = argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 1;
    uint64_t differ = 0;
    uint64_t compared = 0;
    for (uint64_t pattern = from; pattern < to; pattern += stride) {
        const uint32_t bits = static_cast<uint32_t>(pattern);
        float angle = 0.0f;
        std::memcpy(&angle, &bits, sizeof angle);
        if (!std::isfinite(angle))
            continue;
        double s = 0.0;
        double c = 0.0;
        ::sincos(static_cast<double>(angle), &s, &c);
        const float glibcSine = static_cast<float>(s);
        const float glibcCosine = static_cast<float>(c);
        const OB_TSinCosResult own = OB_SinCos(angle);
        ++compared;
        if (std::memcmp(&glibcSine, &own.Sine, 4) == 0 && std::memcmp(&glibcCosine, &own.Cosine, 4) == 0)
            continue;
        if (++differ <= 10)
            std::printf("%08x %a: glibc %a %a, own %a %a\n", bits, angle, glibcSine, glibcCosine, own.Sine, own.Cosine);
    }
    std::printf("%llu of %llu differ\n", static_cast<unsigned long long>(differ),
                static_cast<unsigned long long>(compared));
    return differ == 0 ? 0 : 1;
}
