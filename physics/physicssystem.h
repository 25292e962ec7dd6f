// A small two-dimensional rigid-body world: polygon bodies with linear and
// angular drag, springs between them, and a collision pass that nudges
// crossing outlines apart and gives each body at most one impulse per step.
//
// Rule: the world only lists its bodies and constraints; whoever creates one
// frees it, after the world has stopped stepping it. Everything is single
// precision with each intermediate rounded to float, so a run recorded as
// inputs replays to the same bits on every build.
#pragma once

#include "physics/CollisionGrid.h"
#include "physics/Vector2D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Copied whole by the midpoint integrator.
struct TBodyState {
    TVector2D Position;
    TVector2D Velocity;
    TVector2D Force;  // world axes; cleared at the end of every step
    float Angle;
    float AngularVelocity;
    float Torque;  // cleared at the end of every step
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
    bool Collided = false;  // took part in a contact in the current step
    TBodyState State{};
    float InvMass = 1.0f;  // 0: forces and impulses leave the velocity alone
    float InvInertia = 1.0f / 3600.0f;
    TVector2D LinearDrag{0.0f, 0.0f};  // along the body's own x and y axes
    float AngularDrag = 0.0f;
    int32_t Group = 0;  // only bodies of equal groups collide
    float Radius = 0.0f;  // bounding radius, as last set by ComputeRadius
    float Restitution = 0.0f;  // a pair uses the mean of its two values
    std::vector<TVector2D> LocalVertices;  // outline in body axes; the last vertex joins the first
    std::vector<TVector2D> WorldVertices;  // as last computed by UpdateWorldVertices

    // Resizes both outlines; kept entries keep their values, new ones are (0, 0).
    void SetVertexCount(size_t count);
    size_t VertexCount() const { return WorldVertices.size(); }
    void ComputeRadius();
    // Centred width x height rectangle, width along the body's x axis; sets
    // the radius but not the world vertices.
    void SetBox(float width, float height);
    void UpdateWorldVertices(const TBodyState& state);

    TVector2D WorldPoint(TVector2D localPoint) const;
    TVector2D PointVelocity(TVector2D localPoint) const;
    // World force at a body-local point.
    void AddForceAtPoint(TVector2D localPoint, TVector2D force);
    // Force in body axes at a body-local point.
    void AddLocalForceAtPoint(TVector2D localPoint, TVector2D localForce);

    TBodyDerivative Derivative(const TBodyState& state, float dt) const;

private:
    friend class TPhysics2D;
    friend class TCollisionGrid;

    // The collision pass recomputes world vertices at every visit of a pair;
    // these remember the rotation and position they were last computed for,
    // so repeated visits cost nothing and give the very same bits.
    void RefreshWorldVertices();
    const TMatrix2D& Rotation();

    bool RotationKnown = false;
    uint32_t RotationAngleBits = 0;
    TMatrix2D CachedRotation{1.0f, 0.0f, 0.0f, 1.0f};
    bool WorldVerticesCurrent = false;
    TVector2D WorldVerticesPosition{0.0f, 0.0f};
    uint32_t GridSlot = 0;  // the body's index while the grid is built
};

void ApplyDerivative(TBodyState& state, const TBodyDerivative& d, float factor);

// Joins two bodies at anchor points given in each body's axes and adds
// forces to them once per step. Neither body is owned.
class TConstraint {
public:
    TBody* BodyA = nullptr;
    TBody* BodyB = nullptr;
    TVector2D AnchorA{0.0f, 0.0f};
    TVector2D AnchorB{0.0f, 0.0f};
    float Strain = 0.0f;  // relative stretch, as of the last Apply

    virtual ~TConstraint() = default;
    virtual void Apply(float dt) = 0;

    TVector2D AnchorWorldA() const { return BodyA->WorldPoint(AnchorA); }
    TVector2D AnchorWorldB() const { return BodyB->WorldPoint(AnchorB); }

protected:
    TConstraint() = default;
    TConstraint(const TConstraint&) = default;
    TConstraint& operator=(const TConstraint&) = default;
};

// Damped spring. Body A receives Stiffness (L - RestLength) u - Damping (vA - vB),
// u the unit vector from A's anchor to B's; body B receives the opposite.
class TSpring : public TConstraint {
public:
    float RestLength = 100.0f;
    float Stiffness = 100.0f;
    float Damping = 10.0f;

    void Apply(float dt) override;
};

enum class TIntegrationMode : uint8_t { imEuler = 0, imMidpoint = 1 };

// Both passes give bit-identical results; all-pairs is the plain reference.
enum class TCollisionPass : uint8_t { AllPairs, BroadPhase };

class TPhysics2D {
public:
    std::vector<TConstraint*> Constraints;  // not owned; visited in list order
    std::vector<TBody*> Bodies;  // not owned; visited in list order
    TCollisionPass CollisionPass = TCollisionPass::BroadPhase;

    TPhysics2D() = default;
    TPhysics2D(const TPhysics2D&) = delete;
    TPhysics2D& operator=(const TPhysics2D&) = delete;

    // Drag, constraints, collisions, integration, then forces cleared. Any
    // mode other than the two integrators integrates nothing. Allocates
    // nothing once the world has stepped at its size.
    void Step(TIntegrationMode mode, float dt);
    void IntegrateEuler(TBody& body, float dt);
    void IntegrateMidpoint(TBody& body, float dt);
    void ApplyConstraints(float dt);

    // The collision pass of CollisionPass.
    void Collide();
    // Every ordered pair of distinct entries, A in list order, then B.
    void CollideAllPairs();
    // The same visits and results, with only the pairs whose bounding
    // circles can meet looked at.
    void CollideBroadPhase();
    const TBroadPhaseStats& LastBroadPhaseStats() const { return Grid.Stats(); }

    // True when an edge of A's world outline crosses one of B's; P is the
    // first crossing in A-edge-major order.
    bool FindEdgeCrossing(const TBody& A, const TBody& B, TVector2D& P) const;
    // n is the unit normal pointing from B toward A.
    void ApplyImpulse(TBody& A, TBody& B, TVector2D P, TVector2D n);

private:
    void ApplyDrag(TBody& body);
    // Steps 3 to 6 of one ordered visit, for a pair whose circles meet;
    // true when the pair was nudged.
    bool TouchPair(TBody& A, TBody& B);
    // Visits (a, b) for every b from `from` on, as the all-pairs pass would.
    void VisitAll(size_t a, size_t from, bool gridBuilt);
    bool FindEdgeCrossingFast(const TBody& A, const TBody& B, TVector2D& P) const;

    TCollisionGrid Grid;
    std::vector<uint32_t> Candidates;
};
