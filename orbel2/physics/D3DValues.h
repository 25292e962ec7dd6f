// The Direct3D value records the engine still speaks in: a three-component
// vector for the camera and colour values with their packing into 32-bit
// ARGB (alpha in the top byte). Our own small structs, no graphics API.
#pragma once

#include <cstdint>

namespace orbel2 {

struct D3DVECTOR {
    float x, y, z;
};

struct D3DCOLORVALUE {
    float r, g, b, a;
};

using D3DCOLOR = uint32_t;

inline D3DVECTOR MakeVector3D(float X, float Y, float Z)
{
    return D3DVECTOR{X, Y, Z};
}

inline D3DCOLORVALUE MakeColourValue(float R, float G, float B, float A)
{
    return D3DCOLORVALUE{R, G, B, A};
}

// 1 and above give 255; [0, 1) scales by 255 truncating toward zero (0.5
// gives 127); negative values and NaN give 0.
inline uint8_t ColourComponentToByte(float V)
{
    if (V > 1.0f)
        return 255;
    if (V >= 0.0f)
        return static_cast<uint8_t>(V * 255.0f);
    return 0;
}

inline D3DCOLOR ColourValueToARGB(const D3DCOLORVALUE& C)
{
    return (D3DCOLOR(ColourComponentToByte(C.a)) << 24) | (D3DCOLOR(ColourComponentToByte(C.r)) << 16) |
        (D3DCOLOR(ColourComponentToByte(C.g)) << 8) | D3DCOLOR(ColourComponentToByte(C.b));
}

}   // namespace orbel2
