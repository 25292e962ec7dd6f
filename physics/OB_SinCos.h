// The engine's own sine and cosine of a float angle, rounded to float.
//
// The physics turns bodies with them, so their bits decide a replay's
// hash. The C libraries of the engine's targets do not agree in the last
// bit (MinGW's sincos differs from glibc's for some large angles), so the
// engine computes them itself, in plain IEEE double arithmetic that gives
// the same bits on every target: the angle is reduced exactly by a quarter
// turn (with 2/pi to 448 bits), its series is summed in double-double to
// about 72 bits, and the result is rounded to double and then to float:
// the correctly rounded double result rounded to float, which is what
// glibc's sincos gives after the same rounding. Recordings made before the
// engine had its own routine were made with glibc's, and replay unchanged.
#pragma once

struct OB_TSinCosResult {
    float Sine;
    float Cosine;
};

// NaN and infinities give NaN for both.
OB_TSinCosResult OB_SinCos(float Angle);
