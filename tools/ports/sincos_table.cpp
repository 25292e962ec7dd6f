// Prints, for a long sequence of float angles, a hash of the float-rounded
// sine and cosine that this platform's libm gives, chunk by chunk, so that
// the bits of two libraries can be compared by running this on each and
// diffing the output. It calls sincos, as the physics once did, or with
// ORBEL2_OWN_SINCOS defined the engine's own (orbel2/physics/OB_SinCos.h), whose
// table must be glibc's on every target. "dump CHUNK" prints that chunk's values one per line.
//   sincos_table [count [dump CHUNK]]
// The angles: every float from 0 up to 4 (both signs) at a stride, floats
// of every exponent from 2^-20 to 2^20 picked by a fixed generator, and
// the angles a demo run reaches in practice (multiples of small steps).
#if defined(ORBEL2_OWN_SINCOS)
#include "orbel2/physics/OB_SinCos.h"
#endif

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

float FromBits(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

uint64_t State = 0x9E3779B97F4A7C15ull;
uint64_t Next()
{
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return State;
}

float Angle(uint64_t i)
{
    switch (i % 4) {
    case 0: {   // every float in [0, 4) at a stride, either sign
        const uint32_t bits = static_cast<uint32_t>((i / 4 * 97) % 0x40800000u);
        return (i / 4) % 2 ? -FromBits(bits) : FromBits(bits);
    }
    case 1: {   // any exponent from -20 to 20
        const uint64_t r = Next();
        const uint32_t exponent = 127 - 20 + static_cast<uint32_t>((r >> 32) % 41);
        return FromBits((static_cast<uint32_t>(r >> 63) << 31) | (exponent << 23) | (r & 0x7FFFFF));
    }
    case 2:   // steps of a rotation accumulated in float
        return static_cast<float>(i / 4) * 0.0083333f * static_cast<float>((i / 4) % 7 + 1);
    default: {   // uniform in [-1000, 1000]
        const uint64_t r = Next();
        return static_cast<float>(static_cast<double>(r >> 11) * 0x1p-53 * 2000.0 - 1000.0);
    }
    }
}

}   // namespace

int main(int argc, char** argv)
{
    const uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 16000000;
    const bool dump = argc > 3 && std::strcmp(argv[2], "dump") == 0;
    const uint64_t dumpChunk = dump ? std::strtoull(argv[3], nullptr, 10) : 0;
    constexpr uint64_t Chunks = 64;
    const uint64_t perChunk = (count + Chunks - 1) / Chunks;
    uint64_t total = 1469598103934665603ull;
    for (uint64_t chunk = 0; chunk < Chunks; ++chunk) {
        uint64_t hash = 1469598103934665603ull;
        for (uint64_t i = chunk * perChunk; i < count && i < (chunk + 1) * perChunk; ++i) {
            const float a = Angle(i);
#if defined(ORBEL2_OWN_SINCOS)
            const OB_TSinCosResult own = OB_SinCos(a);
            const float s = own.Sine;
            const float c = own.Cosine;
#else
            double sd = 0.0;
            double cd = 0.0;
            ::sincos(static_cast<double>(a), &sd, &cd);
            const float s = static_cast<float>(sd);
            const float c = static_cast<float>(cd);
#endif
            const uint64_t word = (uint64_t(Bits(s)) << 32) | Bits(c);
            hash = (hash ^ word) * 1099511628211ull;
            if (dump && chunk == dumpChunk)
                std::printf("%08x %08x %08x\n", Bits(a), Bits(s), Bits(c));
        }
        if (!dump)
            std::printf("chunk %2llu %016llx\n", static_cast<unsigned long long>(chunk),
                        static_cast<unsigned long long>(hash));
        total = (total ^ hash) * 1099511628211ull;
    }
    if (!dump)
        std::printf("total %016llx over %llu angles\n", static_cast<unsigned long long>(total),
                    static_cast<unsigned long long>(count));
    return 0;
}
