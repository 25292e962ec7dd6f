#include "physics/physicssystem.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace {

// Below this many bodies building the grid costs more than it saves.
constexpr size_t kGridFromBodies = 48;

// Outlines up to this many vertices have their edge vectors precomputed on
// the stack in the fast crossing test.
constexpr size_t kMaxFastVertices = 16;

uint64_t Bits(TVector2D v)
{
    return std::bit_cast<uint64_t>(v);
}

// Parameter along the first edge (direction `edge` from `start`) at which it
// meets the line through `otherStart` with normal `otherNormal`; -1 when
// the two are parallel.
float EdgeParameter(TVector2D start, TVector2D edge, TVector2D otherStart, TVector2D otherNormal)
{
    const float denominator = VecDot(edge, otherNormal);
    if (denominator == 0.0f)
        return -1.0f;
    return VecDot(VecSub(otherStart, start), otherNormal) / denominator;
}

// Steps 1 and 2 of a visit, cheap enough to be worth inlining into the loops.
inline bool CirclesMeet(const TBody& A, const TBody& B)
{
    if (A.Group != B.Group)
        return false;
    const float dist = VecLength(VecSub(B.State.Position, A.State.Position));
    return dist < A.Radius + B.Radius;
}

bool InEdge(float t)
{
    return t >= 0.0f && t < 1.0f;
}

// Four floats as one register (GCC/Clang vector extension, any target):
// each lane rounds exactly as a scalar float operation does.
typedef float TFloat4 __attribute__((vector_size(16)));
typedef int32_t TInt4 __attribute__((vector_size(16)));

}  // namespace

// ---------------------------------------------------------------- bodies

void TBody::SetVertexCount(size_t count)
{
    LocalVertices.resize(count, ZeroVector2D());
    WorldVertices.resize(count, ZeroVector2D());
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

void TBody::SetBox(float width, float height)
{
    SetVertexCount(4);
    const float hw = width / 2.0f;
    const float hh = height / 2.0f;
    LocalVertices[0] = MakeVector2D(-hw, -hh);
    LocalVertices[1] = MakeVector2D(hw, -hh);
    LocalVertices[2] = MakeVector2D(hw, hh);
    LocalVertices[3] = MakeVector2D(-hw, hh);
    ComputeRadius();
}

void TBody::UpdateWorldVertices(const TBodyState& state)
{
    const TMatrix2D m = RotationMatrix2D(state.Angle);
    const size_t count = std::min(LocalVertices.size(), WorldVertices.size());
    for (size_t i = 0; i < count; ++i) {
        WorldVertices[i] = VecTransformed(LocalVertices[i], m);
        VecAddTo(WorldVertices[i], state.Position);
    }
    WorldVerticesCurrent = false;
}

const TMatrix2D& TBody::Rotation()
{
    const uint32_t angleBits = std::bit_cast<uint32_t>(State.Angle);
    if (!RotationKnown || angleBits != RotationAngleBits) {
        CachedRotation = RotationMatrix2D(State.Angle);
        RotationAngleBits = angleBits;
        RotationKnown = true;
    }
    return CachedRotation;
}

// The same arithmetic as UpdateWorldVertices(State), skipped when neither
// the angle nor the position has changed since the last time in this pass.
void TBody::RefreshWorldVertices()
{
    if (WorldVerticesCurrent && Bits(WorldVerticesPosition) == Bits(State.Position))
        return;
    const TMatrix2D& m = Rotation();
    const size_t count = std::min(LocalVertices.size(), WorldVertices.size());
    for (size_t i = 0; i < count; ++i) {
        WorldVertices[i] = VecTransformed(LocalVertices[i], m);
        VecAddTo(WorldVertices[i], State.Position);
    }
    WorldVerticesCurrent = true;
    WorldVerticesPosition = State.Position;
}

TVector2D TBody::WorldPoint(TVector2D localPoint) const
{
    return VecAdd(State.Position, VecRotated(localPoint, State.Angle));
}

TVector2D TBody::PointVelocity(TVector2D localPoint) const
{
    const TVector2D r = VecRotated(localPoint, State.Angle);
    return VecAdd(State.Velocity, VecScale(VecPerp(r), State.AngularVelocity));
}

void TBody::AddForceAtPoint(TVector2D localPoint, TVector2D force)
{
    const TVector2D r = VecTransformed(localPoint, RotationMatrix2D(State.Angle));
    VecAddTo(State.Force, force);
    State.Torque = State.Torque + VecDot(VecPerp(r), force);
}

void TBody::AddLocalForceAtPoint(TVector2D localPoint, TVector2D localForce)
{
    const TMatrix2D m = RotationMatrix2D(State.Angle);
    const TVector2D r = VecTransformed(localPoint, m);
    const TVector2D force = VecTransformed(localForce, m);
    VecAddTo(State.Force, force);
    State.Torque = State.Torque + VecDot(VecPerp(r), force);
}

TBodyDerivative TBody::Derivative(const TBodyState& state, float dt) const
{
    TBodyDerivative d;
    d.DPosition = VecScale(state.Velocity, dt);
    d.DVelocity = VecScale(state.Force, dt * InvMass);
    d.DAngle = state.AngularVelocity * dt;
    d.DAngularVelocity = state.Torque * dt * InvInertia;
    return d;
}

void ApplyDerivative(TBodyState& state, const TBodyDerivative& d, float factor)
{
    VecAddTo(state.Velocity, VecScale(d.DVelocity, factor));
    VecAddTo(state.Position, VecScale(d.DPosition, factor));
    state.Angle = state.Angle + d.DAngle * factor;
    state.AngularVelocity = state.AngularVelocity + d.DAngularVelocity * factor;
}

// ---------------------------------------------------------------- springs

void TSpring::Apply(float)
{
    if (!BodyA || !BodyB)
        return;
    TVector2D force = ZeroVector2D();
    const TVector2D pA = AnchorWorldA();
    const TVector2D pB = AnchorWorldB();
    TVector2D d = VecSub(pB, pA);
    const float length = VecLength(d);
    // Coincident anchors give no direction to pull in.
    if (length == 0.0f || std::isnan(length))
        return;
    // The strain is relative to the rest length, so a spring of rest length
    // 0 has none; it still pulls its anchors together below.
    if (RestLength != 0.0f)
        Strain = std::fabs((length - RestLength) / RestLength);
    VecScaleBy(d, 1.0f / length);
    VecScaleBy(d, (length - RestLength) * Stiffness);
    force = VecAdd(force, d);
    const TVector2D vB = BodyB->PointVelocity(AnchorB);
    const TVector2D vA = BodyA->PointVelocity(AnchorA);
    force = VecAdd(force, VecScale(VecSub(vA, vB), -Damping));
    BodyA->AddForceAtPoint(AnchorA, force);
    BodyB->AddForceAtPoint(AnchorB, VecScale(force, -1.0f));
}

// ---------------------------------------------------------------- world step

void TPhysics2D::ApplyDrag(TBody& body)
{
    TBodyState& s = body.State;
    const TVector2D local = VecRotated(s.Velocity, -s.Angle);
    TVector2D drag = MakeVector2D(-body.LinearDrag.x * local.x, -body.LinearDrag.y * local.y);
    // Rotation() is RotationMatrix2D(Angle), whose product is VecRotate's
    // to the bit; it also primes the matrix that the collision pass uses.
    VecTransform(drag, body.Rotation());
    VecAddTo(s.Force, drag);
    s.Torque = -body.AngularDrag * s.AngularVelocity + s.Torque;
}

void TPhysics2D::Step(TIntegrationMode mode, float dt)
{
    for (TBody* body : Bodies)
        ApplyDrag(*body);
    ApplyConstraints(dt);
    Collide();
    for (TBody* body : Bodies) {
        if (mode == TIntegrationMode::imEuler)
            IntegrateEuler(*body, dt);
        else if (mode == TIntegrationMode::imMidpoint)
            IntegrateMidpoint(*body, dt);
    }
    for (TBody* body : Bodies) {
        body->State.Force = ZeroVector2D();
        body->State.Torque = 0.0f;
    }
}

void TPhysics2D::IntegrateEuler(TBody& body, float dt)
{
    const TBodyDerivative d = body.Derivative(body.State, dt);
    ApplyDerivative(body.State, d, 1.0f);
}

// Forces are not evaluated again at the midpoint, so the second derivative
// differs from the first only in DPosition and DAngle: the position advances
// with the mean of the old and new velocity.
void TPhysics2D::IntegrateMidpoint(TBody& body, float dt)
{
    const TBodyDerivative d1 = body.Derivative(body.State, dt);
    TBodyState half = body.State;
    ApplyDerivative(half, d1, 0.5f);
    const TBodyDerivative d2 = body.Derivative(half, dt);
    ApplyDerivative(body.State, d2, 1.0f);
}

void TPhysics2D::ApplyConstraints(float dt)
{
    for (TConstraint* constraint : Constraints)
        constraint->Apply(dt);
}

// ---------------------------------------------------------------- collisions

void TPhysics2D::Collide()
{
    if (CollisionPass == TCollisionPass::AllPairs)
        CollideAllPairs();
    else
        CollideBroadPhase();
}

void TPhysics2D::CollideAllPairs()
{
    for (TBody* body : Bodies)
        body->Collided = false;
    const size_t count = Bodies.size();
    for (size_t a = 0; a < count; ++a) {
        TBody& A = *Bodies[a];
        for (size_t b = 0; b < count; ++b) {
            if (b == a)
                continue;
            TBody& B = *Bodies[b];
            if (A.Group != B.Group)
                continue;
            const float dist = VecLength(VecSub(B.State.Position, A.State.Position));
            if (!(dist < A.Radius + B.Radius))
                continue;
            A.UpdateWorldVertices(A.State);
            B.UpdateWorldVertices(B.State);
            const float e = (A.Restitution + B.Restitution) / 2.0f;
            TVector2D P{};
            if (!FindEdgeCrossing(A, B, P))
                continue;
            // A fixed nudge of half a unit in all, split by restitution.
            const TVector2D h = VecScale(VecNormalize(VecSub(B.State.Position, A.State.Position)), 0.5f);
            VecSubFrom(A.State.Position, VecScale(h, e));
            VecAddTo(B.State.Position, VecScale(h, 1.0f - e));
            A.UpdateWorldVertices(A.State);
            B.UpdateWorldVertices(B.State);
            if (!A.Collided && !B.Collided) {
                const TVector2D n =
                    VecNormalize(VecSub(VecSub(A.State.Position, P), VecSub(B.State.Position, P)));
                ApplyImpulse(A, B, P, n);
            }
            A.Collided = true;
            B.Collided = true;
        }
    }
}

// The all-pairs visit with two shortcuts that keep every bit: world
// vertices are recomputed only when the position has changed, and the
// crossing test reuses B's edge vectors across A's edges and stops working
// on an edge pair as soon as A's parameter is out of range.
bool TPhysics2D::TouchPair(TBody& A, TBody& B)
{
    A.RefreshWorldVertices();
    B.RefreshWorldVertices();
    const float e = (A.Restitution + B.Restitution) / 2.0f;
    TVector2D P{};
    if (!FindEdgeCrossingFast(A, B, P))
        return false;
    const TVector2D h = VecScale(VecNormalize(VecSub(B.State.Position, A.State.Position)), 0.5f);
    VecSubFrom(A.State.Position, VecScale(h, e));
    VecAddTo(B.State.Position, VecScale(h, 1.0f - e));
    A.RefreshWorldVertices();
    B.RefreshWorldVertices();
    if (!A.Collided && !B.Collided) {
        const TVector2D n = VecNormalize(VecSub(VecSub(A.State.Position, P), VecSub(B.State.Position, P)));
        ApplyImpulse(A, B, P, n);
    }
    A.Collided = true;
    B.Collided = true;
    return true;
}

void TPhysics2D::VisitAll(size_t a, size_t from, bool gridBuilt)
{
    TBody& A = *Bodies[a];
    for (size_t b = from; b < Bodies.size(); ++b) {
        if (b == a || !CirclesMeet(A, *Bodies[b]) || !TouchPair(A, *Bodies[b]) || !gridBuilt)
            continue;
        Grid.NoteMoved(a);
        Grid.NoteMoved(b);
    }
}

void TPhysics2D::CollideBroadPhase()
{
    const size_t count = Bodies.size();
    for (TBody* body : Bodies) {
        body->Collided = false;
        body->WorldVerticesCurrent = false;
    }
    if (count < kGridFromBodies) {
        for (size_t a = 0; a < count; ++a)
            VisitAll(a, 0, false);
        return;
    }

    Grid.Build(Bodies);
    Candidates.reserve(count);
    for (size_t a = 0; a < count; ++a) {
        if (!Grid.Query(a, Candidates)) {
            VisitAll(a, 0, true);
            continue;
        }
        TBody& A = *Bodies[a];
        size_t next = 0;
        while (next < Candidates.size()) {
            const uint32_t b = Candidates[next++];
            if (!CirclesMeet(A, *Bodies[b]) || !TouchPair(A, *Bodies[b]))
                continue;
            Grid.NoteMoved(a);
            Grid.NoteMoved(b);
            if (Grid.AnswerCovers(a))
                continue;
            // A has been nudged beyond what its answer covers: ask again
            // from where it stands and go on after b.
            Grid.CountRequery();
            if (!Grid.Query(a, Candidates)) {
                VisitAll(a, size_t(b) + 1, true);
                break;
            }
            next = size_t(std::upper_bound(Candidates.begin(), Candidates.end(), b) - Candidates.begin());
        }
    }
}

bool TPhysics2D::FindEdgeCrossing(const TBody& A, const TBody& B, TVector2D& P) const
{
    const std::vector<TVector2D>& a = A.WorldVertices;
    const std::vector<TVector2D>& b = B.WorldVertices;
    for (size_t i = 0; i < a.size(); ++i) {
        const TVector2D a1 = a[i];
        const TVector2D a2 = a[(i + 1) % a.size()];
        for (size_t j = 0; j < b.size(); ++j) {
            const TVector2D b1 = b[j];
            const TVector2D b2 = b[(j + 1) % b.size()];
            const TVector2D nb = VecPerp(VecSub(b2, b1));
            const float ta = EdgeParameter(a1, VecSub(a2, a1), b1, nb);
            const TVector2D na = VecPerp(VecSub(a2, a1));
            const float tb = EdgeParameter(b1, VecSub(b2, b1), a1, na);
            if (InEdge(tb) && InEdge(ta)) {
                P = VecAdd(a1, VecScale(VecSub(a2, a1), ta));
                return true;
            }
        }
    }
    return false;
}

namespace {

// Four-sided B (every box): A's edge is tested against B's four edges at
// once, lane j doing for edge j exactly the float operations of the scalar
// test, in the same order, so the answers are the same to the bit.
bool FindEdgeCrossingQuad(const std::vector<TVector2D>& a, const std::vector<TVector2D>& b, TVector2D& P)
{
    const TFloat4 b1x{b[0].x, b[1].x, b[2].x, b[3].x};
    const TFloat4 b1y{b[0].y, b[1].y, b[2].y, b[3].y};
    const TFloat4 b2x{b[1].x, b[2].x, b[3].x, b[0].x};
    const TFloat4 b2y{b[1].y, b[2].y, b[3].y, b[0].y};
    const TFloat4 edgeX = b2x - b1x;
    const TFloat4 edgeY = b2y - b1y;
    const TFloat4 normalX = -edgeY;
    const TFloat4 normalY = edgeX;
    const TFloat4 zero{0.0f, 0.0f, 0.0f, 0.0f};
    const TFloat4 one{1.0f, 1.0f, 1.0f, 1.0f};
    const TFloat4 minusOne = -one;
    for (size_t i = 0; i < a.size(); ++i) {
        const TVector2D a1 = a[i];
        const TVector2D aEdge = VecSub(a[(i + 1) % a.size()], a1);
        const TVector2D aNormal = VecPerp(aEdge);
        const TFloat4 t2 = aEdge.x * normalX + aEdge.y * normalY;
        TFloat4 ta = ((b1x - a1.x) * normalX + (b1y - a1.y) * normalY) / t2;
        ta = t2 == zero ? minusOne : ta;
        const TInt4 inA = (ta >= zero) & (ta < one);
        if (!(inA[0] | inA[1] | inA[2] | inA[3]))
            continue;
        const TFloat4 u2 = edgeX * aNormal.x + edgeY * aNormal.y;
        TFloat4 tb = ((a1.x - b1x) * aNormal.x + (a1.y - b1y) * aNormal.y) / u2;
        tb = u2 == zero ? minusOne : tb;
        const TInt4 both = inA & (tb >= zero) & (tb < one);
        for (int j = 0; j < 4; ++j) {
            if (both[j]) {
                P = VecAdd(a1, VecScale(aEdge, ta[j]));
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool TPhysics2D::FindEdgeCrossingFast(const TBody& A, const TBody& B, TVector2D& P) const
{
    const std::vector<TVector2D>& a = A.WorldVertices;
    const std::vector<TVector2D>& b = B.WorldVertices;
    if (b.size() == 4)
        return FindEdgeCrossingQuad(a, b, P);
    if (b.size() > kMaxFastVertices)
        return FindEdgeCrossing(A, B, P);
    std::array<TVector2D, kMaxFastVertices> bEdge;
    std::array<TVector2D, kMaxFastVertices> bNormal;
    for (size_t j = 0; j < b.size(); ++j) {
        bEdge[j] = VecSub(b[(j + 1) % b.size()], b[j]);
        bNormal[j] = VecPerp(bEdge[j]);
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const TVector2D a1 = a[i];
        const TVector2D aEdge = VecSub(a[(i + 1) % a.size()], a1);
        const TVector2D aNormal = VecPerp(aEdge);
        for (size_t j = 0; j < b.size(); ++j) {
            const float ta = EdgeParameter(a1, aEdge, b[j], bNormal[j]);
            if (!InEdge(ta))
                continue;
            if (!InEdge(EdgeParameter(b[j], bEdge[j], a1, aNormal)))
                continue;
            P = VecAdd(a1, VecScale(aEdge, ta));
            return true;
        }
    }
    return false;
}

void TPhysics2D::ApplyImpulse(TBody& A, TBody& B, TVector2D P, TVector2D n)
{
    const TVector2D rA = VecSub(P, A.State.Position);
    const TVector2D rB = VecSub(P, B.State.Position);
    const TVector2D vA = VecAdd(A.State.Velocity, VecScale(VecPerp(rA), A.State.AngularVelocity));
    const TVector2D vB = VecAdd(B.State.Velocity, VecScale(VecPerp(rB), B.State.AngularVelocity));
    const float vn = VecDot(VecSub(vA, vB), n);
    if (vn >= 0.0f)
        return;  // the contact points are not approaching
    const float e = (A.Restitution + B.Restitution) / 2.0f;
    const float numerator = vn * -(1.0f + e);
    const float cA = VecDot(VecPerp(rA), n);
    const float cB = VecDot(VecPerp(rB), n);
    const float denominator =
        VecDot(n, n) * (A.InvMass + B.InvMass) + cA * cA * A.InvInertia + cB * cB * B.InvInertia;
    const float j = denominator == 0.0f ? 0.0f : numerator / denominator;
    VecAddTo(A.State.Velocity, VecScale(n, A.InvMass * j));
    A.State.AngularVelocity = A.State.AngularVelocity + cA * j * A.InvInertia;
    VecSubFrom(B.State.Velocity, VecScale(n, B.InvMass * j));
    B.State.AngularVelocity = B.State.AngularVelocity - cB * j * B.InvInertia;
}
