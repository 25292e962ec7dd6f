// Two-dimensional vectors and rotation matrices on single-precision floats:
// the arithmetic of the physics world, the player's thrust and the line
// drawing.
//
// Rule: every result is rounded to float as it is formed, so a run gives the
// same bits on every build. Sine and cosine alone are computed in double (see
// SinCos). In-place operations read their whole second operand first, so the
// same vector may be passed twice (VecAddTo(a, a) doubles a).
#pragma once

#include "physics/D3DValues.h"

#include <cmath>

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

inline TVector2D MakeVector2D(float x, float y)
{
    return TVector2D{x, y};
}

inline TVector2D ZeroVector2D()
{
    return TVector2D{0.0f, 0.0f};
}

inline TVector2D VecAdd(TVector2D a, TVector2D b)
{
    return TVector2D{a.x + b.x, a.y + b.y};
}

inline TVector2D VecSub(TVector2D a, TVector2D b)
{
    return TVector2D{a.x - b.x, a.y - b.y};
}

inline TVector2D VecScale(TVector2D v, float s)
{
    return TVector2D{v.x * s, v.y * s};
}

// The second operand is taken by value, which is what makes a == b safe.
inline void VecAddTo(TVector2D& a, TVector2D b)
{
    a.x = a.x + b.x;
    a.y = a.y + b.y;
}

inline void VecSubFrom(TVector2D& a, TVector2D b)
{
    a.x = a.x - b.x;
    a.y = a.y - b.y;
}

inline void VecScaleBy(TVector2D& v, float s)
{
    v.x = v.x * s;
    v.y = v.y * s;
}

inline float VecDot(TVector2D a, TVector2D b)
{
    return a.x * b.x + a.y * b.y;
}

inline float VecLength(TVector2D v)
{
    return std::sqrt(v.x * v.x + v.y * v.y);
}

// (0, 0) for a zero or NaN length instead of a division by it.
inline TVector2D VecNormalize(TVector2D v)
{
    const float length = VecLength(v);
    if (length == 0.0f || std::isnan(length))
        return ZeroVector2D();
    return TVector2D{v.x / length, v.y / length};
}

// A quarter turn from x toward y; VecDot(VecPerp(r), f) is the 2D cross product.
inline TVector2D VecPerp(TVector2D v)
{
    return TVector2D{-v.y, v.x};
}

// Sine and cosine are evaluated once, in double, and rounded to float. The
// float variants of libm differ between library versions and vector paths;
// the double ones are close to correctly rounded, so the rounded results are
// the same wherever the program runs. glibc's sincos is called directly so
// that optimised and unoptimised builds use the very same routine.
inline TSinCos SinCos(float angle)
{
    double s = 0.0;
    double c = 0.0;
    ::sincos(static_cast<double>(angle), &s, &c);
    return TSinCos{static_cast<float>(s), static_cast<float>(c)};
}

inline TVector2D VecRotated(TVector2D v, float angle)
{
    const TSinCos sc = SinCos(angle);
    return TVector2D{sc.c * v.x - sc.s * v.y, sc.s * v.x + sc.c * v.y};
}

inline void VecRotate(TVector2D& v, float angle)
{
    v = VecRotated(v, angle);
}

inline TMatrix2D RotationMatrix2D(float angle)
{
    const TSinCos sc = SinCos(angle);
    return TMatrix2D{sc.c, -sc.s, sc.s, sc.c};
}

inline TVector2D VecTransformed(TVector2D v, const TMatrix2D& m)
{
    return TVector2D{m.M11 * v.x + m.M12 * v.y, m.M21 * v.x + m.M22 * v.y};
}

inline void VecTransform(TVector2D& v, const TMatrix2D& m)
{
    v = VecTransformed(v, m);
}
