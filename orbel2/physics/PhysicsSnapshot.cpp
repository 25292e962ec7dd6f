#include "orbel2/physics/PhysicsSnapshot.h"

#include "orbel2/kernel/OB_Assert.h"

#include <algorithm>
#include <array>
#include <bit>

namespace orbel2 {

namespace {

constexpr size_t WordSize = 4;
constexpr size_t HeaderWords = 2;
constexpr size_t BodyWords = 19;   // before the vertices
constexpr size_t ConstraintWords = 6;   // before the type's own words
// Word offsets within a body's and a constraint's record.
constexpr size_t CollidedWord = 17;
constexpr size_t VertexCountWord = 18;
constexpr size_t ExtraCountWord = 5;

inline void PutWord(uint8_t* At, uint32_t Word)
{
    At[0] = static_cast<uint8_t>(Word);
    At[1] = static_cast<uint8_t>(Word >> 8);
    At[2] = static_cast<uint8_t>(Word >> 16);
    At[3] = static_cast<uint8_t>(Word >> 24);
}

inline uint32_t GetWord(const uint8_t* At)
{
    return uint32_t(At[0]) | uint32_t(At[1]) << 8 | uint32_t(At[2]) << 16 | uint32_t(At[3]) << 24;
}

class TWriter {
public:
    explicit TWriter(uint8_t* Start) : Next(Start) {}
    void Word(uint32_t W)
    {
        PutWord(Next, W);
        Next += WordSize;
    }
    void Float(float F) { Word(std::bit_cast<uint32_t>(F)); }
    void Vector(TVector2D V)
    {
        Float(V.x);
        Float(V.y);
    }
    uint8_t* At() const { return Next; }

private:
    uint8_t* Next;
};

// Reads bytes already checked to hold what is read.
class TReader {
public:
    explicit TReader(const uint8_t* Start) : Next(Start) {}
    uint32_t Word()
    {
        const uint32_t w = GetWord(Next);
        Next += WordSize;
        return w;
    }
    float Float() { return std::bit_cast<float>(Word()); }
    TVector2D Vector()
    {
        const float x = Float();
        return TVector2D{x, Float()};
    }

private:
    const uint8_t* Next;
};

void WriteBody(TWriter& W, const TBody& Body)
{
    const TBodyState& s = Body.State;
    W.Vector(s.Position);
    W.Vector(s.Velocity);
    W.Vector(s.Force);
    W.Float(s.Angle);
    W.Float(s.AngularVelocity);
    W.Float(s.Torque);
    W.Float(Body.InvMass);
    W.Float(Body.InvInertia);
    W.Vector(Body.LinearDrag);
    W.Float(Body.AngularDrag);
    W.Float(Body.Radius);
    W.Float(Body.Restitution);
    W.Word(static_cast<uint32_t>(Body.Group));
    W.Word(Body.Collided ? 1u : 0u);
    W.Word(static_cast<uint32_t>(Body.LocalVertices.size()));
    for (const TVector2D v : Body.LocalVertices)
        W.Vector(v);
}

void ReadBody(TReader& R, TBody& Body)
{
    TBodyState& s = Body.State;
    s.Position = R.Vector();
    s.Velocity = R.Vector();
    s.Force = R.Vector();
    s.Angle = R.Float();
    s.AngularVelocity = R.Float();
    s.Torque = R.Float();
    Body.InvMass = R.Float();
    Body.InvInertia = R.Float();
    Body.LinearDrag = R.Vector();
    Body.AngularDrag = R.Float();
    Body.Radius = R.Float();
    Body.Restitution = R.Float();
    Body.Group = static_cast<int32_t>(R.Word());
    Body.Collided = R.Word() != 0;
    R.Word();   // the vertex count, checked to be the body's own
    for (TVector2D& v : Body.LocalVertices)
        v = R.Vector();
}

// A type's own words, never more than the most a type may keep (a larger
// count is saved as the most, and a load into the world then refuses it).
uint32_t ExtraCount(const TConstraint& Constraint)
{
    const uint32_t count = Constraint.ExtraCount();
    OB_ASSERT(count <= TConstraint::MaxExtraWords);
    return std::min(count, TConstraint::MaxExtraWords);
}

void WriteConstraint(TWriter& W, const TConstraint& Constraint)
{
    W.Vector(Constraint.AnchorA);
    W.Vector(Constraint.AnchorB);
    W.Float(Constraint.Strain);
    const uint32_t count = ExtraCount(Constraint);
    W.Word(count);
    std::array<uint32_t, TConstraint::MaxExtraWords> extra{};
    Constraint.SaveExtra(std::span<uint32_t>(extra.data(), count));
    for (uint32_t i = 0; i < count; ++i)
        W.Word(extra[i]);
}

void ReadConstraint(TReader& R, TConstraint& Constraint)
{
    Constraint.AnchorA = R.Vector();
    Constraint.AnchorB = R.Vector();
    Constraint.Strain = R.Float();
    const uint32_t count = R.Word();   // checked to be the type's own
    std::array<uint32_t, TConstraint::MaxExtraWords> extra{};
    for (uint32_t i = 0; i < count; ++i)
        extra[i] = R.Word();
    Constraint.LoadExtra(std::span<const uint32_t>(extra.data(), count));
}

std::string Counted(size_t Count, const char* One, const char* Many)
{
    return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

// Whether Bytes fit World, walked word by word without reading past their
// end; Why says where they do not.
bool Fits(const TPhysics2D& World, std::span<const uint8_t> Bytes, std::string& Why)
{
    const size_t words = Bytes.size() / WordSize;
    if (Bytes.size() % WordSize != 0) {
        Why = "the state is " + Counted(Bytes.size(), "byte", "bytes") + " long, not a whole number of words";
        return false;
    }
    if (words < HeaderWords) {
        Why = "the state ends before its counts";
        return false;
    }
    const auto word = [&](size_t Index) { return GetWord(Bytes.data() + WordSize * Index); };
    if (word(0) != World.Bodies.size()) {
        Why = "the state has " + Counted(word(0), "body", "bodies") + ", the world " +
            Counted(World.Bodies.size(), "body", "bodies");
        return false;
    }
    if (word(1) != World.Constraints.size()) {
        Why = "the state has " + Counted(word(1), "constraint", "constraints") + ", the world " +
            Counted(World.Constraints.size(), "constraint", "constraints");
        return false;
    }
    size_t at = HeaderWords;
    for (size_t i = 0; i < World.Bodies.size(); ++i) {
        if (words - at < BodyWords) {
            Why = "the state ends inside body " + std::to_string(i);
            return false;
        }
        const size_t vertices = World.Bodies[i]->LocalVertices.size();
        if (word(at + VertexCountWord) != vertices) {
            Why = "body " + std::to_string(i) + " has " + Counted(word(at + VertexCountWord), "vertex", "vertices") +
                " in the state, " + std::to_string(vertices) + " in the world";
            return false;
        }
        if (word(at + CollidedWord) > 1) {
            Why = "body " + std::to_string(i) + "'s contact flag is neither 0 nor 1";
            return false;
        }
        at += BodyWords;
        if ((words - at) / 2 < vertices) {
            Why = "the state ends inside body " + std::to_string(i) + "'s outline";
            return false;
        }
        at += 2 * vertices;
    }
    for (size_t i = 0; i < World.Constraints.size(); ++i) {
        if (words - at < ConstraintWords) {
            Why = "the state ends inside constraint " + std::to_string(i);
            return false;
        }
        const uint32_t extra = ExtraCount(*World.Constraints[i]);
        if (word(at + ExtraCountWord) != extra) {
            Why = "constraint " + std::to_string(i) + " keeps " + Counted(word(at + ExtraCountWord), "word", "words") +
                " of its own in the state, " + std::to_string(extra) + " in the world";
            return false;
        }
        at += ConstraintWords;
        if (words - at < extra) {
            Why = "the state ends inside constraint " + std::to_string(i);
            return false;
        }
        at += extra;
    }
    if (at != words) {
        Why = "the state goes on for " + Counted(Bytes.size() - WordSize * at, "byte", "bytes") + " past the world's";
        return false;
    }
    return true;
}

}   // namespace

size_t PhysicsStateSize(const TPhysics2D& World)
{
    size_t words = HeaderWords;
    for (const TBody* body : World.Bodies)
        words += BodyWords + 2 * body->LocalVertices.size();
    for (const TConstraint* constraint : World.Constraints)
        words += ConstraintWords + ExtraCount(*constraint);
    return WordSize * words;
}

void SavePhysicsState(const TPhysics2D& World, std::vector<uint8_t>& Out)
{
    Out.resize(PhysicsStateSize(World));
    TWriter writer(Out.data());
    writer.Word(static_cast<uint32_t>(World.Bodies.size()));
    writer.Word(static_cast<uint32_t>(World.Constraints.size()));
    for (const TBody* body : World.Bodies)
        WriteBody(writer, *body);
    for (const TConstraint* constraint : World.Constraints)
        WriteConstraint(writer, *constraint);
    OB_ASSERT(writer.At() == Out.data() + Out.size());
}

bool LoadPhysicsState(TPhysics2D& World, std::span<const uint8_t> Bytes, std::string& Why)
{
    if (!Fits(World, Bytes, Why))
        return false;
    Why.clear();
    TReader reader(Bytes.data() + WordSize * HeaderWords);
    for (TBody* body : World.Bodies)
        ReadBody(reader, *body);
    for (TConstraint* constraint : World.Constraints)
        ReadConstraint(reader, *constraint);
    World.ForgetCarriedState();
    return true;
}

void TPhysics2D::SaveSnapshot(TPhysicsSnapshot& Out) const
{
    SavePhysicsState(*this, Out.Bytes);
}

bool TPhysics2D::LoadSnapshot(const TPhysicsSnapshot& Snapshot, std::string& Why)
{
    return LoadPhysicsState(*this, Snapshot.Bytes, Why);
}

}   // namespace orbel2
