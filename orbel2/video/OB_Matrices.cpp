#include "orbel2/video/OB_Matrices.h"

#include <cmath>

namespace orbel2 {

namespace {

D3DVECTOR Subtract(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return MakeVector3D(a.x - b.x, a.y - b.y, a.z - b.z);
}

D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return MakeVector3D(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DVECTOR Normalize(const D3DVECTOR& v)
{
    const float length = std::sqrt(Dot(v, v));
    if (length == 0.0f)
        return v;
    return MakeVector3D(v.x / length, v.y / length, v.z / length);
}

}   // namespace

// Left-handed look-at: the eye's axes as the columns of the rotation, the
// eye position moved to the origin in the bottom row.
D3DMATRIX OB_MatrixLookAtLH(const D3DVECTOR& Eye, const D3DVECTOR& At, const D3DVECTOR& Up)
{
    const D3DVECTOR zaxis = Normalize(Subtract(At, Eye));
    const D3DVECTOR xaxis = Normalize(Cross(Up, zaxis));
    const D3DVECTOR yaxis = Cross(zaxis, xaxis);
    D3DMATRIX m{};
    m.m[0][0] = xaxis.x;
    m.m[0][1] = yaxis.x;
    m.m[0][2] = zaxis.x;
    m.m[1][0] = xaxis.y;
    m.m[1][1] = yaxis.y;
    m.m[1][2] = zaxis.y;
    m.m[2][0] = xaxis.z;
    m.m[2][1] = yaxis.z;
    m.m[2][2] = zaxis.z;
    m.m[3][0] = -Dot(xaxis, Eye);
    m.m[3][1] = -Dot(yaxis, Eye);
    m.m[3][2] = -Dot(zaxis, Eye);
    m.m[3][3] = 1.0f;
    return m;
}

// Left-handed perspective: depth maps from [ZNear, ZFar] to [0, 1], and w
// takes the view-space z for the divide.
D3DMATRIX OB_MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar)
{
    const float yScale = 1.0f / std::tan(FovY / 2.0f);
    const float xScale = yScale / Aspect;
    D3DMATRIX m{};
    m.m[0][0] = xScale;
    m.m[1][1] = yScale;
    m.m[2][2] = ZFar / (ZFar - ZNear);
    m.m[2][3] = 1.0f;
    m.m[3][2] = -ZNear * ZFar / (ZFar - ZNear);
    return m;
}

}   // namespace orbel2
