// Two-dimensional vectors and rotation matrices on single-precision floats:
// the arithmetic of the physics world, the player's thrust and the line
// drawing.
//
// Rule: every result is rounded to float as it is formed, so a run gives the
// same bits on every build. Sine and cosine alone are computed in double (see
// SinCos). In-place operations read their whole second operand first, so the
// same vector may be passed twice (VecAddTo(a, a) doubles a).
#pragma once

#include "orbel2/physics/D3DValues.h"
#include "orbel2/physics/OB_SinCos.h"

#include <cfloat>
#include <cmath>
#include <limits>

// Replays rely on every float operation rounding to single precision as it
// is formed. Where float expressions are evaluated in a wider format (x87,
// as with -m32 -mfpmath=387: dt * InvMass is kept in 80 bits) a run takes
// other bits from its first step, so such builds are refused.
#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error                                                                                                                 \
    "Orbel2 physics needs float arithmetic in plain IEEE single precision (FLT_EVAL_METHOD 0), but this target evaluates floats with excess precision (x87), so recordings would not replay to the same bits; build with SSE (-msse2 -mfpmath=sse) or for a 64-bit target"
#endif

namespace orbel2 {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<float>::digits == 24,
              "Orbel2 physics needs IEEE-754 single-precision floats");

struct TVector2D {
    float x, y;
};

// Row-major; only ever a rotation. Applied to v: (M11 x + M12 y, M21 x + M22 y).
struct TMatrix2D {
    float M11, M12, M21, M22;
};

struct TSinCos {
    float s, c;
};

inline TVector2D MakeVector2D(float X, float Y)
{
    return TVector2D{X, Y};
}

inline TVector2D ZeroVector2D()
{
    return TVector2D{0.0f, 0.0f};
}

inline TVector2D VecAdd(TVector2D A, TVector2D B)
{
    return TVector2D{A.x + B.x, A.y + B.y};
}

inline TVector2D VecSub(TVector2D A, TVector2D B)
{
    return TVector2D{A.x - B.x, A.y - B.y};
}

inline TVector2D VecScale(TVector2D V, float S)
{
    return TVector2D{V.x * S, V.y * S};
}

// The second operand is taken by value, which is what makes a == b safe.
inline void VecAddTo(TVector2D& A, TVector2D B)
{
    A.x = A.x + B.x;
    A.y = A.y + B.y;
}

inline void VecSubFrom(TVector2D& A, TVector2D B)
{
    A.x = A.x - B.x;
    A.y = A.y - B.y;
}

inline void VecScaleBy(TVector2D& V, float S)
{
    V.x = V.x * S;
    V.y = V.y * S;
}

inline float VecDot(TVector2D A, TVector2D B)
{
    return A.x * B.x + A.y * B.y;
}

inline float VecLength(TVector2D V)
{
    return std::sqrt(V.x * V.x + V.y * V.y);
}

// (0, 0) for a zero or NaN length instead of a division by it.
inline TVector2D VecNormalize(TVector2D V)
{
    const float length = VecLength(V);
    if (length == 0.0f || std::isnan(length))
        return ZeroVector2D();
    return TVector2D{V.x / length, V.y / length};
}

// A quarter turn from x toward y; VecDot(VecPerp(r), f) is the 2D cross product.
inline TVector2D VecPerp(TVector2D V)
{
    return TVector2D{-V.y, V.x};
}

// Sine and cosine come from the engine's own routine (OB_SinCos): the C
// libraries of the engine's targets differ in the last bit for some angles,
// and a replay must give the same bits wherever it runs. Its results are
// those of glibc's double sincos rounded to float.
inline TSinCos SinCos(float Angle)
{
    const OB_TSinCosResult turn = OB_SinCos(Angle);
    return TSinCos{turn.Sine, turn.Cosine};
}

// V turned by the angle whose sine and cosine SC holds.
inline TVector2D VecTurned(TVector2D V, TSinCos SC)
{
    return TVector2D{SC.c * V.x - SC.s * V.y, SC.s * V.x + SC.c * V.y};
}

inline TVector2D VecRotated(TVector2D V, float Angle)
{
    return VecTurned(V, SinCos(Angle));
}

inline void VecRotate(TVector2D& V, float Angle)
{
    V = VecRotated(V, Angle);
}

inline TMatrix2D RotationMatrix2D(float Angle)
{
    const TSinCos sc = SinCos(Angle);
    return TMatrix2D{sc.c, -sc.s, sc.s, sc.c};
}

inline TVector2D VecTransformed(TVector2D V, const TMatrix2D& M)
{
    return TVector2D{M.M11 * V.x + M.M12 * V.y, M.M21 * V.x + M.M22 * V.y};
}

inline void VecTransform(TVector2D& V, const TMatrix2D& M)
{
    V = VecTransformed(V, M);
}

}   // namespace orbel2
