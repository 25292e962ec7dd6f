#include "orbel2/physics/Body.h"

#include <algorithm>
#include <bit>

namespace orbel2 {

namespace {

uint64_t Bits(TVector2D V)
{
    return std::bit_cast<uint64_t>(V);
}

}   // namespace

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

// The one loop that places the outline in the world: turned by Turn, then
// moved to Origin.
void TBody::PlaceWorldVertices(const TMatrix2D& Turn, TVector2D Origin)
{
    const size_t count = std::min(LocalVertices.size(), WorldVertices.size());
    for (size_t i = 0; i < count; ++i) {
        WorldVertices[i] = VecTransformed(LocalVertices[i], Turn);
        VecAddTo(WorldVertices[i], Origin);
    }
}

TSinCos TBody::Turn() const
{
    const uint32_t angleBits = std::bit_cast<uint32_t>(State.Angle);
    if (!TurnKnown || angleBits != TurnAngleBits) {
        CachedTurn = SinCos(State.Angle);
        TurnAngleBits = angleBits;
        TurnKnown = true;
    }
    return CachedTurn;
}

TSinCos TBody::ReverseTurn() const
{
    const uint32_t angleBits = std::bit_cast<uint32_t>(State.Angle);
    if (!ReverseTurnKnown || angleBits != ReverseTurnAngleBits) {
        CachedReverseTurn = SinCos(-State.Angle);
        ReverseTurnAngleBits = angleBits;
        ReverseTurnKnown = true;
    }
    return CachedReverseTurn;
}

// RotationMatrix2D's own arrangement of the sine and cosine.
TMatrix2D TBody::Rotation() const
{
    const TSinCos sc = Turn();
    return TMatrix2D{sc.c, -sc.s, sc.s, sc.c};
}

// The same arithmetic as UpdateWorldVertices(State), skipped when neither
// the angle nor the position has changed since the last time in this pass.
void TBody::RefreshWorldVertices()
{
    if (WorldVerticesCurrent && Bits(WorldVerticesPosition) == Bits(State.Position))
        return;
    PlaceWorldVertices(Rotation(), State.Position);
    WorldVerticesCurrent = true;
    WorldVerticesPosition = State.Position;
}

TVector2D TBody::WorldPoint(TVector2D LocalPoint) const
{
    return VecAdd(State.Position, VecTurned(LocalPoint, Turn()));   // VecRotated(LocalPoint, Angle)
}

TVector2D TBody::PointVelocity(TVector2D LocalPoint) const
{
    const TVector2D r = VecTurned(LocalPoint, Turn());
    return VecAdd(State.Velocity, VecScale(VecPerp(r), State.AngularVelocity));
}

void TBody::AddForceAtPoint(TVector2D LocalPoint, TVector2D Force)
{
    const TVector2D r = VecTransformed(LocalPoint, Rotation());
    VecAddTo(State.Force, Force);
    State.Torque = State.Torque + VecDot(VecPerp(r), Force);
}

void TBody::AddLocalForceAtPoint(TVector2D LocalPoint, TVector2D LocalForce)
{
    const TMatrix2D m = Rotation();
    const TVector2D r = VecTransformed(LocalPoint, m);
    const TVector2D force = VecTransformed(LocalForce, m);
    VecAddTo(State.Force, force);
    State.Torque = State.Torque + VecDot(VecPerp(r), force);
}

}   // namespace orbel2
