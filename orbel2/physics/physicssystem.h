// A small two-dimensional rigid-body world: polygon bodies with linear and
// angular drag, springs between them, and a collision pass that nudges
// crossing outlines apart and gives each body at most one impulse per step.
//
// Rule: the world only lists its bodies and constraints; whoever creates one
// frees it, after the world has stopped stepping it. Everything is single
// precision with each intermediate rounded to float, so a run recorded as
// inputs replays to the same bits on every build.
//
// Limits, measured by orbel2-bench (docs/physics-limits.md): a pair whose
// outlines cross is nudged apart by half a unit whatever the overlap or the
// masses, and a body gets at most one impulse per step; there is no
// friction, no resting contact and no iteration. The nudge moves InvMass 0
// bodies too (52 of 148 wall tiles per step around a pile of 1,000 boxes),
// so put immovable bodies back after each Step. Piles leak under load: in a
// closed box of such walls, 1,000 boxes of 40 x 40, 20 rows deep, pushed to
// the floor at 400 units/s^2, lose 24 after 1,000 steps, 169 after 2,000 and
// 622 after 4,000 (10,000 boxes: 14, 713, 4,314; one row loses none).
#pragma once

#include "orbel2/physics/Body.h"
#include "orbel2/physics/CollisionGrid.h"
#include "orbel2/physics/KnownPairs.h"
#include "orbel2/physics/PairMarks.h"
#include "orbel2/physics/StripWalk.h"
#include "orbel2/physics/Vector2D.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orbel2 {

struct TPhysicsSnapshot;
class TWorkerPool;

// Joins two bodies at anchor points given in each body's axes and adds
// forces to them once per step. Neither body is owned.
class TConstraint {
public:
    TBody* BodyA = nullptr;
    TBody* BodyB = nullptr;
    TVector2D AnchorA{0.0f, 0.0f};
    TVector2D AnchorB{0.0f, 0.0f};
    float Strain = 0.0f;   // relative stretch, as of the last Apply

    virtual ~TConstraint() = default;
    virtual void Apply(float Dt) = 0;

    // State a type keeps beyond the anchors and Strain, for snapshots
    // (PhysicsSnapshot.h): ExtraCount() 32-bit words, at most MaxExtraWords,
    // floats as their bits (std::bit_cast). The count must not change while
    // the world is saved and loaded; a load hands back what a save wrote.
    static constexpr uint32_t MaxExtraWords = 64;
    virtual uint32_t ExtraCount() const { return 0; }
    virtual void SaveExtra(std::span<uint32_t> /*Words*/) const {}
    virtual void LoadExtra(std::span<const uint32_t> /*Words*/) {}

    // The anchors in the world; both bodies must be set.
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

    void Apply(float Dt) override;
    // RestLength, Stiffness, Damping.
    uint32_t ExtraCount() const override { return 3; }
    void SaveExtra(std::span<uint32_t> Words) const override;
    void LoadExtra(std::span<const uint32_t> Words) override;
};

// The answers of TPhysics2D::FindEdgeCrossing for pairs of four-sided
// outlines, kept by the exact bits of both outlines, since boxes resting
// against each other ask the same every step. A small table: an answer
// pushed out by another is computed again.
class TQuadCrossingMemo {
public:
    // A and B have four vertices each.
    bool Find(const std::vector<TVector2D>& A, const std::vector<TVector2D>& B, TVector2D& P);
    void Forget();

private:
    struct TEntry {
        std::array<TVector2D, 8> Outlines{};   // A's four world vertices, then B's
        TVector2D Point{0.0f, 0.0f};
        bool Crossing = false;
        bool Valid = false;
    };
    std::array<TEntry, 64> Entries;
};

enum class TIntegrationMode : uint8_t { imEuler = 0, imMidpoint = 1 };

// Both passes give bit-identical results; all-pairs is the plain reference.
enum class TCollisionPass : uint8_t { AllPairs, BroadPhase };

class TPhysics2D {
public:
    std::vector<TConstraint*> Constraints;   // not owned; visited in list order
    std::vector<TBody*> Bodies;   // not owned; visited in list order
    TCollisionPass CollisionPass = TCollisionPass::BroadPhase;

    // Worlds smaller than this step on the calling thread alone, whatever
    // the worker count: below it waking the workers costs more than they
    // save (docs/performance.md).
    static constexpr size_t DefaultParallelFromBodies = 2000;
    size_t ParallelFromBodies = DefaultParallelFromBodies;

    TPhysics2D();
    ~TPhysics2D();
    TPhysics2D(const TPhysics2D&) = delete;
    TPhysics2D& operator=(const TPhysics2D&) = delete;

    // Drag, constraints, collisions, integration, then forces cleared. Any
    // mode other than the two integrators integrates nothing. Allocates
    // nothing once the world has stepped at its size.
    void Step(TIntegrationMode Mode, float Dt);
    void IntegrateEuler(TBody& Body, float Dt);
    void IntegrateMidpoint(TBody& Body, float Dt);
    void ApplyConstraints(float Dt);

    // The collision pass of CollisionPass.
    void Collide();
    // Every ordered pair of distinct entries, A in list order, then B.
    void CollideAllPairs();
    // The same visits and results, with only the pairs whose bounding
    // circles can meet looked at.
    void CollideBroadPhase();
    const TBroadPhaseStats& LastBroadPhaseStats() const { return Grid.Stats(); }

    // Threads that share the grid pass of worlds of ParallelFromBodies
    // bodies and more, the calling thread included: 1 (the default) starts
    // none. The results are the same bits for every count. Threads are
    // started here, once, and sleep between steps; where the system starts
    // fewer (or none), WorkerCount says how many there are.
    void SetWorkerCount(unsigned Count);
    unsigned WorkerCount() const;
    const TParallelPassStats& LastParallelStats() const { return Known.Stats; }

    // True when an edge of A's world outline crosses one of B's; P is the
    // first crossing in A-edge-major order.
    bool FindEdgeCrossing(const TBody& A, const TBody& B, TVector2D& P) const;
    // N is the unit normal pointing from B toward A.
    void ApplyImpulse(TBody& A, TBody& B, TVector2D P, TVector2D N);

    // Everything a step reads, as a value (PhysicsSnapshot.h); a load that
    // does not fit this world leaves it untouched and says why.
    void SaveSnapshot(TPhysicsSnapshot& Out) const;
    bool LoadSnapshot(const TPhysicsSnapshot& Snapshot, std::string& Why);
    // Drops what the world and its bodies remember from earlier steps (the
    // sine and cosine of each angle, world vertices, pair marks, crossing
    // answers), as a load does. None of it can change a result; forgetting
    // only costs computing it again.
    void ForgetCarriedState();

private:
    void ApplyDrag(TBody& Body);
    // Steps 3 to 6 of one ordered visit, for a pair whose circles meet;
    // true when the pair was nudged.
    bool TouchPair(TBody& A, TBody& B);
    // The nudge and the impulse of a pair whose outlines cross at P.
    void Resolve(TBody& A, TBody& B, TVector2D P);
    // One ordered visit, answered from Known where it can be.
    bool VisitPair(size_t A, size_t B);
    // The grid pass with its tests worked out on the workers first
    // (ParallelPass.cpp).
    void CollideOnWorkers();
    void PrepareOnWorkers(size_t Task);
    void AnswerOnWorkers(size_t Task, std::vector<uint32_t>& Scratch);
    void WalkPairs();
    // The walk by strips (StripWalk.cpp).
    void ChooseStrips();
    bool StripsAreSafe();
    void CheckStripsOn(size_t Task);
    void WalkStrip(size_t Strip);
    void WaitBeforeRow(size_t A, unsigned Strip);
    // Visits (A, b) for every b from From on, as the all-pairs pass would.
    void VisitAll(size_t A, size_t From, bool GridBuilt);
    // The same visits for worlds too small for the grid.
    void CollideSmall();
    bool VisitMarked(size_t A);

    TCollisionGrid Grid;
    std::vector<uint32_t> Candidates;
    TPairMarks PairMarks;
    TQuadCrossingMemo CrossingMemo;
    bool RememberCrossings = false;   // while a small world's pass runs
    std::unique_ptr<TWorkerPool> Pool;   // only while there is more than one worker
    TKnownPairs Known;
    TStrips Strips;
    size_t Tasks = 0;   // of each run on the workers
    std::vector<std::vector<uint32_t>> TaskScratch;
};

}   // namespace orbel2
