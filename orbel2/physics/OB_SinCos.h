// The engine's own sine and cosine of a float angle, rounded to float.
//
// The physics turns bodies with them, so their bits decide a replay's
// hash. The C libraries of the engine's targets do not agree in the last
// bit (MinGW's sincos differs from glibc's for some large angles), so the
// engine computes them itself, in plain IEEE double arithmetic that gives
// the same bits on every target. The result is glibc's: the correctly
// rounded double result rounded to float. Recordings made before the engine
// had its own routine were made with glibc's, and replay unchanged.
//
// Mostly a quick evaluation in double does: a reduction by a quarter turn in
// three parts and the series in double, good to about 2 ulps of the double,
// its float taken only when a margin of 8 or more ulps either way rounds to
// the same float. Otherwise (rarely, and for angles of 2^18 and more) the
// exact way decides: the angle reduced by a quarter turn with 2/pi to 448
// bits, the series summed in double-double to about 72 bits.
#pragma once

namespace orbel2 {

struct OB_TSinCosResult {
    float Sine;
    float Cosine;
};

// NaN and infinities give NaN for both.
OB_TSinCosResult OB_SinCos(float Angle);

}   // namespace orbel2
