// The plain records the graphics device takes: the engine's 24-byte vertex
// and the 4 x 4 transform. They sit on the ground floor so that the platform
// layer, which draws them, needs nothing above it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orbel2 {

// The device's vertex (position, ARGB colour, texture coordinates): the
// layout of vertex format 142 hex, exactly 24 bytes.
struct TQuadVertex {
    float X;
    float Y;
    float Z;
    uint32_t Diffuse;   // ARGB, alpha in the top byte
    float U;
    float V;
};
static_assert(sizeof(TQuadVertex) == 24, "the device reads 24-byte vertices");
static_assert(offsetof(TQuadVertex, Diffuse) == 12 && offsetof(TQuadVertex, U) == 16);

// Row-vector convention: a point p becomes p * M.
struct D3DMATRIX {
    float m[4][4];
};

inline D3DMATRIX IdentityMatrix()
{
    D3DMATRIX result{};
    for (int i = 0; i < 4; ++i)
        result.m[i][i] = 1.0f;
    return result;
}

}   // namespace orbel2
