#include "bench/PhysicsWorlds.h"

#include <cmath>
#include <numeric>

namespace orbel2 {

namespace bench {
namespace {

constexpr float kUnitsPerMetre = 40.0f;

b2Vec2 Metres(TVector2D units)
{
    return b2Vec2(units.x / kUnitsPerMetre, units.y / kUnitsPerMetre);
}

// Linear and angular damping with which Box2D, which divides the velocity
// by 1 + step x damping, keeps the fractions that ours keeps.
float Box2DDamping(double keptPerStep)
{
    return static_cast<float>((1.0 / keptPerStep - 1.0) / kStep);
}

// Chipmunk's own update, but with the spin damped by its own fraction: the
// space's damping applies one fraction to both.
void DampLikeOurs(cpBody* body, cpVect gravity, cpFloat, cpFloat dt)
{
    const cpFloat spin = cpBodyGetAngularVelocity(body);
    cpBodyUpdateVelocity(body, gravity, kSpeedKeptPerStep, dt);
    cpBodySetAngularVelocity(body, cpBodyGetAngularVelocity(body) + spin * (kSpinKeptPerStep - kSpeedKeptPerStep));
}

const double kChipmunkFriction = std::sqrt(0.2);

cpVect ChipmunkVect(TVector2D v)
{
    return cpv(v.x, v.y);
}

}   // namespace

// ---------------------------------------------------------------- ours

TSprungGrid::TSprungGrid(int boxes)
{
    const TScene scene = SpreadGrid(boxes);
    Bodies.resize(scene.Boxes.size());
    Springs.resize(Bodies.size() / 10);
    for (size_t i = 0; i < Bodies.size(); ++i) {
        Bodies[i].SetBox(scene.Boxes[i].Size.x, scene.Boxes[i].Size.y);
        Bodies[i].State.Position = scene.Boxes[i].Centre;
        Bodies[i].State.Angle = scene.Boxes[i].Angle;
        World.Bodies.push_back(&Bodies[i]);
    }
    for (size_t i = 0; i < Springs.size(); ++i) {
        Springs[i].BodyA = &Bodies[10 * i];
        Springs[i].BodyB = &Bodies[10 * i + 1];
        World.Constraints.push_back(&Springs[i]);
    }
}

TOurWorld::TOurWorld(const TScene& scene, TCollisionPass timedPass, unsigned workers, size_t parallelFromBodies)
    : Bodies(scene.Walls.size() + scene.Boxes.size()),
      PushForce(MakeVector2D(0.0f, scene.PushAcceleration / kBoxInvMass)), TimedPass(timedPass)
{
    size_t next = 0;
    for (const TBoxPlacement& wall : scene.Walls) {
        TBody& body = Bodies[next++];
        body.SetBox(wall.Size.x, wall.Size.y);
        body.State.Position = wall.Centre;
        body.State.Angle = wall.Angle;
        body.InvMass = 0.0f;
        body.InvInertia = 0.0f;
        WallPlaces.push_back(wall.Centre);
    }
    for (const TBoxPlacement& box : scene.Boxes) {
        TBody& body = Bodies[next++];
        body.SetBox(box.Size.x, box.Size.y);
        body.State.Position = box.Centre;
        body.State.Angle = box.Angle;
        body.InvMass = kBoxInvMass;
        body.InvInertia = kBoxInvInertia;
        body.LinearDrag = MakeVector2D(kBoxLinearDrag, kBoxLinearDrag);
        body.AngularDrag = kBoxAngularDrag;
    }
    for (TBody& body : Bodies)
        Physics.Bodies.push_back(&body);
    Physics.SetWorkerCount(workers);
    Physics.ParallelFromBodies = parallelFromBodies;
}

void TOurWorld::WarmUp(int steps)
{
    Physics.CollisionPass = TCollisionPass::BroadPhase;
    for (int i = 0; i < steps; ++i)
        Step();
    Physics.CollisionPass = TimedPass;
}

void TOurWorld::Step()
{
    if (PushForce.y != 0.0f) {
        for (size_t i = WallPlaces.size(); i < Bodies.size(); ++i)
            VecAddTo(Bodies[i].State.Force, PushForce);
    }
    Physics.Step(TIntegrationMode::imMidpoint, kStep);
    for (size_t i = 0; i < WallPlaces.size(); ++i) {
        TVector2D& position = Bodies[i].State.Position;
        if (position.x != WallPlaces[i].x || position.y != WallPlaces[i].y) {
            position = WallPlaces[i];
            ++WallMoves;
        }
    }
}

bool TOurWorld::Crossing(const TBody& a, const TBody& b) const
{
    if (a.Group != b.Group)
        return false;
    if (!(VecLength(VecSub(b.State.Position, a.State.Position)) < a.Radius + b.Radius))
        return false;
    TVector2D point;
    return Physics.FindEdgeCrossing(a, b, point);
}

// Every collision pass recomputes the world vertices it uses, so bringing
// them up to date here changes nothing in the next step.
size_t TOurWorld::TouchingPairs()
{
    for (TBody& body : Bodies)
        body.UpdateWorldVertices(body.State);
    CountingGrid.Build(Physics.Bodies);
    size_t pairs = 0;
    for (size_t a = 0; a < Bodies.size(); ++a) {
        if (!CountingGrid.Query(a, Candidates)) {
            Candidates.resize(Bodies.size());
            std::iota(Candidates.begin(), Candidates.end(), 0u);
        }
        for (const uint32_t b : Candidates) {
            if (b > a && Crossing(Bodies[a], Bodies[b]))
                ++pairs;
        }
    }
    return pairs;
}

// ---------------------------------------------------------------- Box2D

TBox2DWorld::TBox2DWorld(const TScene& scene)
    : PushForce(0.0f, scene.PushAcceleration / kUnitsPerMetre)   // on a body of 1 kg
{
    World.SetAllowSleeping(false);
    if (!scene.Walls.empty()) {
        b2BodyDef wallsDef;
        b2Body* walls = World.CreateBody(&wallsDef);
        for (const TBoxPlacement& wall : scene.Walls) {
            b2PolygonShape shape;
            shape.SetAsBox(wall.Size.x / 2.0f / kUnitsPerMetre, wall.Size.y / 2.0f / kUnitsPerMetre,
                           Metres(wall.Centre), wall.Angle);
            walls->CreateFixture(&shape, 0.0f);
        }
    }
    for (const TBoxPlacement& box : scene.Boxes) {
        b2BodyDef def;
        def.type = b2_dynamicBody;
        def.position = Metres(box.Centre);
        def.angle = box.Angle;
        def.linearDamping = Box2DDamping(kSpeedKeptPerStep);
        def.angularDamping = Box2DDamping(kSpinKeptPerStep);
        b2PolygonShape shape;
        shape.SetAsBox(box.Size.x / 2.0f / kUnitsPerMetre, box.Size.y / 2.0f / kUnitsPerMetre);
        const float density = kUnitsPerMetre * kUnitsPerMetre / (box.Size.x * box.Size.y);   // 1 kg
        b2Body* body = World.CreateBody(&def);
        body->CreateFixture(&shape, density);
        Boxes.push_back(body);
    }
}

void TBox2DWorld::WarmUp(int steps)
{
    for (int i = 0; i < steps; ++i)
        Step();
}

void TBox2DWorld::Step()
{
    if (PushForce.y != 0.0f) {
        for (b2Body* box : Boxes)
            box->ApplyForceToCenter(PushForce, false);
    }
    World.Step(kStep, 8, 3);
}

size_t TBox2DWorld::TouchingPairs() const
{
    size_t pairs = 0;
    for (const b2Contact* contact = World.GetContactList(); contact; contact = contact->GetNext()) {
        if (contact->IsTouching())
            ++pairs;
    }
    return pairs;
}

TVector2D TBox2DWorld::BoxCentre(size_t box) const
{
    const b2Vec2 p = Boxes[box]->GetPosition();
    return MakeVector2D(p.x * kUnitsPerMetre, p.y * kUnitsPerMetre);
}

// ---------------------------------------------------------------- Chipmunk2D

TChipmunkWorld::TChipmunkWorld(const TScene& scene)
    : Space(cpSpaceNew()), PushForce(cpv(0.0, scene.PushAcceleration))   // on a body of mass 1
{
    cpBody* walls = cpSpaceGetStaticBody(Space.get());
    for (const TBoxPlacement& wall : scene.Walls) {
        const cpTransform place = cpTransformRigid(ChipmunkVect(wall.Centre), wall.Angle);
        const cpFloat hw = wall.Size.x / 2.0;
        const cpFloat hh = wall.Size.y / 2.0;
        const cpVect corners[4] = {cpv(-hw, -hh), cpv(hw, -hh), cpv(hw, hh), cpv(-hw, hh)};
        Shapes.emplace_back(cpPolyShapeNew(walls, 4, corners, place, 0.0));
    }
    for (const TBoxPlacement& box : scene.Boxes) {
        Boxes.emplace_back(cpBodyNew(1.0, cpMomentForBox(1.0, box.Size.x, box.Size.y)));
        cpBody* body = Boxes.back().get();
        cpBodySetPosition(body, ChipmunkVect(box.Centre));
        cpBodySetAngle(body, box.Angle);
        cpBodySetVelocityUpdateFunc(body, DampLikeOurs);
        Shapes.emplace_back(cpBoxShapeNew(body, box.Size.x, box.Size.y, 0.0));
    }
    for (const auto& body : Boxes)
        cpSpaceAddBody(Space.get(), body.get());
    for (const auto& shape : Shapes) {
        cpShapeSetFriction(shape.get(), kChipmunkFriction);
        cpSpaceAddShape(Space.get(), shape.get());
    }
}

void TChipmunkWorld::WarmUp(int steps)
{
    for (int i = 0; i < steps; ++i)
        Step();
}

void TChipmunkWorld::Step()
{
    if (PushForce.y != 0.0) {
        for (const auto& box : Boxes)
            cpBodyApplyForceAtLocalPoint(box.get(), PushForce, cpvzero);
    }
    cpSpaceStep(Space.get(), kStep);
}

size_t TChipmunkWorld::TouchingPairs() const
{
    // A pair of boxes is listed by both boxes, a box on a wall by the box
    // alone: count every pair twice, then halve.
    size_t twice = 0;
    const auto count = [](cpBody*, cpArbiter* arbiter, void* total) {
        if (cpArbiterGetCount(arbiter) == 0)
            return;
        CP_ARBITER_GET_BODIES(arbiter, self, other);
        (void)self;
        *static_cast<size_t*>(total) += cpBodyGetType(other) == CP_BODY_TYPE_DYNAMIC ? 1 : 2;
    };
    for (const auto& box : Boxes)
        cpBodyEachArbiter(box.get(), count, &twice);
    return twice / 2;
}

TVector2D TChipmunkWorld::BoxCentre(size_t box) const
{
    const cpVect p = cpBodyGetPosition(Boxes[box].get());
    return MakeVector2D(static_cast<float>(p.x), static_cast<float>(p.y));
}

}   // namespace bench

}   // namespace orbel2
