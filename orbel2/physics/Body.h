// A rigid body of the physics world: a polygon outline with a position, an
// orientation, linear and angular velocity, inverse mass and inertia, drag
// along its own axes, and the force and torque it gathers until the next
// step consumes them.
//
// Rule: a body is created with its defaults, given its outline (SetBox, or
// SetVertexCount with LocalVertices filled and ComputeRadius), then listed in
// a world; whoever creates it frees it, after the world stops stepping it.
#pragma once

#include "orbel2/physics/Vector2D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbel2 {

// Copied whole by the midpoint integrator.
struct TBodyState {
    TVector2D Position;
    TVector2D Velocity;
    TVector2D Force;   // world axes; cleared at the end of every step
    float Angle;
    float AngularVelocity;
    float Torque;   // cleared at the end of every step
};

// Changes of a state over one step (not rates).
struct TBodyDerivative {
    TVector2D DPosition;
    TVector2D DVelocity;
    float DAngle;
    float DAngularVelocity;
};

class TBody {
public:
    bool Collided = false;   // took part in a contact in the current step
    TBodyState State{};
    float InvMass = 1.0f;   // 0: forces and impulses leave the velocity alone
    float InvInertia = 1.0f / 3600.0f;
    TVector2D LinearDrag{0.0f, 0.0f};   // along the body's own x and y axes
    float AngularDrag = 0.0f;
    int32_t Group = 0;   // only bodies of equal groups collide
    float Radius = 0.0f;   // bounding radius, as last set by ComputeRadius
    float Restitution = 0.0f;   // a pair uses the mean of its two values
    std::vector<TVector2D> LocalVertices;   // outline in body axes; the last vertex joins the first
    std::vector<TVector2D> WorldVertices;   // as last computed by UpdateWorldVertices

    // Resizes both outlines; kept entries keep their values, new ones are (0, 0).
    void SetVertexCount(size_t Count);
    size_t VertexCount() const { return WorldVertices.size(); }
    // Radius := the greatest distance of a local vertex from the origin.
    void ComputeRadius();
    // Centred Width x Height rectangle, Width along the body's x axis; sets
    // the radius but not the world vertices.
    void SetBox(float Width, float Height);
    // WorldVertices := the outline turned by From's angle and moved to its
    // position.
    void UpdateWorldVertices(const TBodyState& From);

    // Where a body-local point is in the world, and how fast it moves there.
    TVector2D WorldPoint(TVector2D LocalPoint) const;
    TVector2D PointVelocity(TVector2D LocalPoint) const;
    // World force at a body-local point.
    void AddForceAtPoint(TVector2D LocalPoint, TVector2D Force);
    // Force in body axes at a body-local point.
    void AddLocalForceAtPoint(TVector2D LocalPoint, TVector2D LocalForce);

    // The changes over a step of Dt from the state At, with this body's mass
    // and inertia; At may be a temporary copy.
    TBodyDerivative Derivative(const TBodyState& At, float Dt) const
    {
        TBodyDerivative d;
        d.DPosition = VecScale(At.Velocity, Dt);
        d.DVelocity = VecScale(At.Force, Dt * InvMass);
        d.DAngle = At.AngularVelocity * Dt;
        d.DAngularVelocity = At.Torque * Dt * InvInertia;
        return d;
    }

private:
    friend class TPhysics2D;
    friend class TCollisionGrid;

    // The collision pass recomputes world vertices at every visit of a pair;
    // these remember the rotation and position they were last computed for,
    // so repeated visits cost nothing and give the very same bits.
    void RefreshWorldVertices();
    void PlaceWorldVertices(const TMatrix2D& Turn, TVector2D Origin);
    // SinCos(Angle) and SinCos(-Angle), remembered for the angle they were
    // last computed for: a body at rest is turned with them several times
    // a step (drag, springs, thrust, outline) and its angle rarely changes.
    // RotationMatrix2D(Angle) is made of the former, to the bit.
    TSinCos Turn() const;
    TSinCos ReverseTurn() const;
    TMatrix2D Rotation() const;

    mutable bool TurnKnown = false;
    mutable uint32_t TurnAngleBits = 0;
    mutable TSinCos CachedTurn{0.0f, 1.0f};
    mutable bool ReverseTurnKnown = false;
    mutable uint32_t ReverseTurnAngleBits = 0;
    mutable TSinCos CachedReverseTurn{0.0f, 1.0f};
    bool WorldVerticesCurrent = false;
    TVector2D WorldVerticesPosition{0.0f, 0.0f};
    uint32_t GridSlot = 0;   // the body's index while the grid is built
};

inline void ApplyDerivative(TBodyState& State, const TBodyDerivative& D, float Factor)
{
    VecAddTo(State.Velocity, VecScale(D.DVelocity, Factor));
    VecAddTo(State.Position, VecScale(D.DPosition, Factor));
    State.Angle = State.Angle + D.DAngle * Factor;
    State.AngularVelocity = State.AngularVelocity + D.DAngularVelocity * Factor;
}

}   // namespace orbel2
