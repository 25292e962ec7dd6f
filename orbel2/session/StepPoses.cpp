#include "orbel2/session/StepPoses.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace orbel2 {

namespace {

bool SameBits(const TPose& A, const TPose& B)
{
    static_assert(sizeof(TPose) == 3 * sizeof(float), "a pose has no padding");
    return std::memcmp(&A, &B, sizeof(TPose)) == 0;
}

}   // namespace

TPose PoseOf(const TBody& Body)
{
    return TPose{Body.State.Position, Body.State.Angle};
}

TPose InterpolatePose(const TPose& From, const TPose& To, float Alpha)
{
    if (!(Alpha > 0.0f))
        return From;
    if (Alpha >= 1.0f)
        return To;
    TPose pose;
    pose.Position.x = From.Position.x + (To.Position.x - From.Position.x) * Alpha;
    pose.Position.y = From.Position.y + (To.Position.y - From.Position.y) * Alpha;
    // The turn from one angle to the other, taken the short way round:
    // from just below pi to just above -pi is a small step, not a whole turn.
    const double turn =
        std::remainder(static_cast<double>(To.Angle) - static_cast<double>(From.Angle), 2.0 * std::numbers::pi);
    pose.Angle = static_cast<float>(static_cast<double>(From.Angle) + turn * static_cast<double>(Alpha));
    return pose;
}

void TStepPoses::BeforeStep(const std::vector<TBody*>& Bodies)
{
    bool listChanged = FBodies.size() != Bodies.size();
    FBodies.resize(Bodies.size());
    for (size_t i = 0; i < Bodies.size(); ++i) {
        TStepped& entry = FBodies[i];
        if (entry.Body != Bodies[i]) {
            entry = TStepped{Bodies[i]};
            listChanged = true;
        }
        entry.Before = PoseOf(*Bodies[i]);
    }
    if (!listChanged)
        return;
    FIndex.clear();
    // The first entry of a body listed twice, as a search from the front
    // would find.
    for (size_t i = 0; i < FBodies.size(); ++i)
        FIndex.emplace(FBodies[i].Body, i);
}

void TStepPoses::AfterStep(const std::vector<TBody*>& Bodies)
{
    for (size_t i = 0; i < Bodies.size() && i < FBodies.size(); ++i) {
        TStepped& entry = FBodies[i];
        if (entry.Body != Bodies[i])
            continue;
        entry.After = PoseOf(*Bodies[i]);
        entry.Stepped = true;
    }
}

const TStepPoses::TStepped* TStepPoses::Find(const TBody& Body) const
{
    const auto found = FIndex.find(&Body);
    return found == FIndex.end() ? nullptr : &FBodies[found->second];
}

TPose TStepPoses::DrawPose(const TBody& Body, float Alpha) const
{
    const TPose now = PoseOf(Body);
    if (Alpha >= 1.0f)
        return now;
    const TStepped* entry = Find(Body);
    if (entry == nullptr || !entry->Stepped || !SameBits(entry->After, now))
        return now;
    return InterpolatePose(entry->Before, now, Alpha);
}

TVector2D TStepPoses::DrawPoint(const TBody& Body, TVector2D LocalPoint, float Alpha) const
{
    if (Alpha >= 1.0f)
        return Body.WorldPoint(LocalPoint);
    const TPose pose = DrawPose(Body, Alpha);
    return VecAdd(pose.Position, VecRotated(LocalPoint, pose.Angle));
}

}   // namespace orbel2
