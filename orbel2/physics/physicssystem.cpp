#include "orbel2/physics/physicssystem.h"

#include "orbel2/kernel/OB_Assert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace orbel2 {

namespace {

// Below this many bodies building the grid costs more than it saves.
constexpr size_t GridFromBodies = 48;

// Parameter along the first edge (direction Edge from Start) at which it
// meets the line through OtherStart with normal OtherNormal; -1 when the two
// are parallel.
float EdgeParameter(TVector2D Start, TVector2D Edge, TVector2D OtherStart, TVector2D OtherNormal)
{
    const float denominator = VecDot(Edge, OtherNormal);
    if (denominator == 0.0f)
        return -1.0f;
    return VecDot(VecSub(OtherStart, Start), OtherNormal) / denominator;
}

bool InEdge(float T)
{
    return T >= 0.0f && T < 1.0f;
}

// Four floats as one register (GCC/Clang vector extension, any target):
// each lane rounds exactly as a scalar float operation does.
typedef float TFloat4 __attribute__((vector_size(16)));
typedef int32_t TInt4 __attribute__((vector_size(16)));

}   // namespace

// ---------------------------------------------------------------- springs

void TSpring::Apply(float /*Dt*/)
{
    OB_ASSERT(BodyA != nullptr && BodyB != nullptr);
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

void TSpring::SaveExtra(std::span<uint32_t> Words) const
{
    OB_ASSERT(Words.size() == 3);
    Words[0] = std::bit_cast<uint32_t>(RestLength);
    Words[1] = std::bit_cast<uint32_t>(Stiffness);
    Words[2] = std::bit_cast<uint32_t>(Damping);
}

void TSpring::LoadExtra(std::span<const uint32_t> Words)
{
    OB_ASSERT(Words.size() == 3);
    RestLength = std::bit_cast<float>(Words[0]);
    Stiffness = std::bit_cast<float>(Words[1]);
    Damping = std::bit_cast<float>(Words[2]);
}

// ---------------------------------------------------------------- world step

void TPhysics2D::ApplyDrag(TBody& Body)
{
    TBodyState& s = Body.State;
    const TVector2D local = VecTurned(s.Velocity, Body.ReverseTurn());   // VecRotated(Velocity, -Angle)
    TVector2D drag = MakeVector2D(-Body.LinearDrag.x * local.x, -Body.LinearDrag.y * local.y);
    // Rotation() is RotationMatrix2D(Angle), whose product is VecRotate's
    // to the bit; it also primes the matrix that the collision pass uses.
    VecTransform(drag, Body.Rotation());
    VecAddTo(s.Force, drag);
    s.Torque = -Body.AngularDrag * s.AngularVelocity + s.Torque;
}

void TPhysics2D::Step(TIntegrationMode Mode, float Dt)
{
    for (TBody* body : Bodies)
        ApplyDrag(*body);
    ApplyConstraints(Dt);
    Collide();
    for (TBody* body : Bodies) {
        if (Mode == TIntegrationMode::imEuler)
            IntegrateEuler(*body, Dt);
        else if (Mode == TIntegrationMode::imMidpoint)
            IntegrateMidpoint(*body, Dt);
    }
    for (TBody* body : Bodies) {
        body->State.Force = ZeroVector2D();
        body->State.Torque = 0.0f;
    }
}

void TPhysics2D::IntegrateEuler(TBody& Body, float Dt)
{
    const TBodyDerivative d = Body.Derivative(Body.State, Dt);
    ApplyDerivative(Body.State, d, 1.0f);
}

// Forces are not evaluated again at the midpoint, so the second derivative
// differs from the first only in DPosition and DAngle: the position advances
// with the mean of the old and new velocity.
void TPhysics2D::IntegrateMidpoint(TBody& Body, float Dt)
{
    const TBodyDerivative d1 = Body.Derivative(Body.State, Dt);
    TBodyState half = Body.State;
    ApplyDerivative(half, d1, 0.5f);
    const TBodyDerivative d2 = Body.Derivative(half, Dt);
    ApplyDerivative(Body.State, d2, 1.0f);
}

void TPhysics2D::ApplyConstraints(float Dt)
{
    for (TConstraint* constraint : Constraints)
        constraint->Apply(Dt);
}

// A load calls this: see PhysicsSnapshot.h for why none of it is needed
// for the bits.
void TPhysics2D::ForgetCarriedState()
{
    for (TBody* body : Bodies) {
        body->TurnKnown = false;
        body->ReverseTurnKnown = false;
        body->WorldVerticesCurrent = false;
    }
    PairMarks.Forget();
    CrossingMemo.Forget();
}

// ---------------------------------------------------------------- collisions

void TPhysics2D::Collide()
{
    if (CollisionPass == TCollisionPass::AllPairs)
        CollideAllPairs();
    else
        CollideBroadPhase();
}

// The plain reference: every ordered pair of distinct entries, A in list
// order, then B; the grid pass visits exactly the same pairs in the same
// order, so the two give the same bits.
void TPhysics2D::CollideAllPairs()
{
    for (TBody* body : Bodies) {
        body->Collided = false;
        body->WorldVerticesCurrent = false;
    }
    for (size_t a = 0; a < Bodies.size(); ++a)
        VisitAll(a, 0, false);
}

// One visit of an ordered pair whose circles meet, for both passes: world
// vertices brought up to date, the crossing test, the nudge and the impulse.
// Two shortcuts keep every bit: world vertices are recomputed only when the
// position or angle has changed, and the crossing test reuses B's edge
// vectors across A's edges and stops on an edge pair as soon as A's
// parameter is out of range. True when the pair was nudged.
bool TPhysics2D::TouchPair(TBody& A, TBody& B)
{
    A.RefreshWorldVertices();
    B.RefreshWorldVertices();
    TVector2D P{};
    const bool remembered = RememberCrossings && A.VertexCount() == 4 && B.VertexCount() == 4;
    if (!(remembered ? CrossingMemo.Find(A.WorldVertices, B.WorldVertices, P) : FindEdgeCrossing(A, B, P)))
        return false;
    Resolve(A, B, P);
    return true;
}

void TPhysics2D::Resolve(TBody& A, TBody& B, TVector2D P)
{
    const float e = (A.Restitution + B.Restitution) / 2.0f;
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
}

inline bool TPhysics2D::VisitPair(size_t A, size_t B)
{
    TBody& first = *Bodies[A];
    TBody& second = *Bodies[B];
    if (Known.Ready) {
        if (Known.Unmoved(A, first) && Known.Unmoved(B, second)) {
            const TKnownPairs::TAnswer* answer = Known.Find(A, B);
            if (answer == nullptr)
                return false;
            ++Known.Stats.PairsMet;
            if (!answer->Crossing)
                return false;
            Resolve(first, second, answer->Point);
            return true;
        }
        if (!PassCirclesMeet(first, second))
            return false;
        ++Known.Stats.PairsMet;
        ++Known.Stats.PairsRetested;
        return TouchPair(first, second);
    }
    return PassCirclesMeet(first, second) && TouchPair(first, second);
}

void TPhysics2D::VisitAll(size_t A, size_t From, bool GridBuilt)
{
    for (size_t b = From; b < Bodies.size(); ++b) {
        if (b == A || !VisitPair(A, b) || !GridBuilt)
            continue;
        Grid.NoteMoved(A);
        Grid.NoteMoved(b);
    }
}

// The visits of A's row, in order, to the marked pairs only. A nudge moves
// two bodies, and the marks no longer hold: the row goes on pair by pair,
// and false is returned.
bool TPhysics2D::VisitMarked(size_t A)
{
    for (uint64_t marks = PairMarks.Row(A); marks != 0; marks &= marks - 1) {
        const size_t b = size_t(std::countr_zero(marks));
        if (!VisitPair(A, b))
            continue;
        VisitAll(A, b + 1, false);
        return false;
    }
    return true;
}

// Worlds too small for the grid: the all-pairs visits, with the pairs
// passed over that the circle test would turn away (TPairMarks), and the
// crossing answers of boxes that have not moved since they were asked taken
// from memory. (In large worlds boxes that touch mostly move: there the
// memory would only cost.) The marks hold until the first nudge, which is
// rare; after it, the pass goes on as the all-pairs pass does.
void TPhysics2D::CollideSmall()
{
    static_assert(GridFromBodies <= TPairMarks::MaxBodies, "a row's marks are one 64-bit word");
    const size_t count = Bodies.size();
    RememberCrossings = true;
    PairMarks.Update(Bodies);
    for (size_t a = 0; a < count; ++a) {
        if (VisitMarked(a))
            continue;
        for (++a; a < count; ++a)
            VisitAll(a, 0, false);
    }
    RememberCrossings = false;
}

void TPhysics2D::CollideBroadPhase()
{
    const size_t count = Bodies.size();
    if (Pool && count > 0 && count >= ParallelFromBodies)
        return CollideOnWorkers();
    for (TBody* body : Bodies) {
        body->Collided = false;
        body->WorldVerticesCurrent = false;
    }
    if (count < GridFromBodies)
        return CollideSmall();
    Grid.Build(Bodies);
    WalkPairs();
}

// The grid pass's visits in the all-pairs order, for a grid built where
// the bodies stand.
void TPhysics2D::WalkPairs()
{
    const size_t count = Bodies.size();
    Candidates.reserve(count);
    for (size_t a = 0; a < count; ++a) {
        if (!Grid.Query(a, Candidates)) {
            VisitAll(a, 0, true);
            continue;
        }
        size_t next = 0;
        while (next < Candidates.size()) {
            const uint32_t b = Candidates[next++];
            if (!VisitPair(a, b))
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

}   // namespace

// For each edge of A in order, each edge of B in order: the parameter along
// A's edge at which it meets the line of B's edge, and along B's edge where
// it meets the line of A's; both in [0, 1) is a crossing. Parallel edges
// never cross. Four-sided B takes the lane-parallel path.
bool TPhysics2D::FindEdgeCrossing(const TBody& A, const TBody& B, TVector2D& P) const
{
    const std::vector<TVector2D>& a = A.WorldVertices;
    const std::vector<TVector2D>& b = B.WorldVertices;
    if (b.size() == 4)
        return FindEdgeCrossingQuad(a, b, P);
    for (size_t i = 0; i < a.size(); ++i) {
        const TVector2D a1 = a[i];
        const TVector2D aEdge = VecSub(a[(i + 1) % a.size()], a1);
        const TVector2D aNormal = VecPerp(aEdge);
        for (size_t j = 0; j < b.size(); ++j) {
            const TVector2D b1 = b[j];
            const TVector2D bEdge = VecSub(b[(j + 1) % b.size()], b1);
            const float ta = EdgeParameter(a1, aEdge, b1, VecPerp(bEdge));
            if (!InEdge(ta) || !InEdge(EdgeParameter(b1, bEdge, a1, aNormal)))
                continue;
            P = VecAdd(a1, VecScale(aEdge, ta));
            return true;
        }
    }
    return false;
}

// The answer depends on the two outlines alone; the table is indexed by a
// hash of their bits and holds the outlines themselves to compare with.
bool TQuadCrossingMemo::Find(const std::vector<TVector2D>& A, const std::vector<TVector2D>& B, TVector2D& P)
{
    OB_ASSERT(A.size() == 4 && B.size() == 4);
    std::array<TVector2D, 8> asked;
    std::memcpy(asked.data(), A.data(), 4 * sizeof(TVector2D));
    std::memcpy(asked.data() + 4, B.data(), 4 * sizeof(TVector2D));
    // A first vertex of each outline picks the slot; the comparison decides.
    const uint64_t key =
        (std::bit_cast<uint64_t>(asked[0]) * 0x9E3779B97F4A7C15ull) ^ std::bit_cast<uint64_t>(asked[4]);
    TEntry& entry = Entries[(key ^ key >> 29 ^ key >> 47) % Entries.size()];
    if (!entry.Valid || std::memcmp(entry.Outlines.data(), asked.data(), sizeof asked) != 0) {
        entry.Outlines = asked;
        entry.Crossing = FindEdgeCrossingQuad(A, B, entry.Point);
        entry.Valid = true;
    }
    if (entry.Crossing)
        P = entry.Point;
    return entry.Crossing;
}

void TQuadCrossingMemo::Forget()
{
    for (TEntry& entry : Entries)
        entry.Valid = false;
}

void TPhysics2D::ApplyImpulse(TBody& A, TBody& B, TVector2D P, TVector2D N)
{
    const TVector2D rA = VecSub(P, A.State.Position);
    const TVector2D rB = VecSub(P, B.State.Position);
    const TVector2D vA = VecAdd(A.State.Velocity, VecScale(VecPerp(rA), A.State.AngularVelocity));
    const TVector2D vB = VecAdd(B.State.Velocity, VecScale(VecPerp(rB), B.State.AngularVelocity));
    const float vn = VecDot(VecSub(vA, vB), N);
    if (vn >= 0.0f)
        return;   // the contact points are not approaching
    const float e = (A.Restitution + B.Restitution) / 2.0f;
    const float numerator = vn * -(1.0f + e);
    const float cA = VecDot(VecPerp(rA), N);
    const float cB = VecDot(VecPerp(rB), N);
    const float denominator = VecDot(N, N) * (A.InvMass + B.InvMass) + cA * cA * A.InvInertia + cB * cB * B.InvInertia;
    const float j = denominator == 0.0f ? 0.0f : numerator / denominator;
    VecAddTo(A.State.Velocity, VecScale(N, A.InvMass * j));
    A.State.AngularVelocity = A.State.AngularVelocity + cA * j * A.InvInertia;
    VecSubFrom(B.State.Velocity, VecScale(N, B.InvMass * j));
    B.State.AngularVelocity = B.State.AngularVelocity - cB * j * B.InvInertia;
}

}   // namespace orbel2
