#include "physics/Body.h"

#include <algorithm>
#include <bit>

void TBody::SetVertexCount(size_t Count)
{
    LocalVertices.resize(Count, ZeroVector2D());
    WorldVertices.resize(Count, ZeroVector2D());
    WorldVerticesCurrent = false;
}

void TBody::ComputeRadius()
{
    Radius = 0.0f;
    for (const TVector2D& v : LocalVertices) {
        const float length = VecLength(v);
        if (length > Radius)
            Radius = length;
    }
}

void TBody::SetBox(float Width, float Height)
{
    SetVertexCount(4);
    const float hw = Width / 2.0f;
    const float hh = Height / 2.0f;
    LocalVertices[0] = MakeVector2D(-hw, -hh);
    LocalVertices[1] = MakeVector2D(hw, -hh);
    LocalVertices[2] = MakeVector2D(hw, hh);
    LocalVertices[3] = MakeVector2D(-hw, hh);
    ComputeRadius();
}

void TBody::UpdateWorldVertices(const TBodyState& From)
{
    PlaceWorldVertices(RotationMatrix2D(From.Angle), From.Position);
    WorldVerticesCurrent = false;
}

TVector2D TBody::WorldPoint(TVector2D LocalPoint) const
{
    return VecAdd(State.Position, VecRotated(LocalPoint, State.Angle));
}

TVector2D TBody::PointVelocity(TVector2D LocalPoint) const
{
    const TVector2D r = VecRotated(LocalPoint, State.Angle);
    return VecAdd(State.Velocity, VecScale(VecPerp(r), State.AngularVelocity));
}

void TBody::AddForceAtPoint(TVector2D LocalPoint, TVector2D Force)
{
    const TVector2D r = VecTransformed(LocalPoint, RotationMatrix2D(State.Angle));
    VecAddTo(State.Force, Force);
    State.Torque = State.Torque + VecDot(VecPerp(r), Force);
}

void TBody::AddLocalForceAtPoint(TVector2D LocalPoint, TVector2D LocalForce)
{
    const TMatrix2D m = RotationMatrix2D(State.Angle);
    const TVector2D r = VecTransformed(LocalPoint, m);
    const TVector2D force = VecTransformed(LocalForce, m);
    VecAddTo(State.Force, force);
    State.Torque = State.Torque + VecDot(VecPerp(r), force);
}
