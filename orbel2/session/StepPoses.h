// Interpolated drawing: where to draw each body of the world between its
// last two fixed steps. The world only ever holds the state after its last
// step; this keeps, beside it, every body's pose (position and angle) from
// just before and just after that step, read from the bodies and never
// written to them, so the physics, the recording and the replay are the
// same whether or not anything is drawn in between.
#pragma once

#include "orbel2/physics/Body.h"
#include "orbel2/physics/Vector2D.h"

#include <unordered_map>
#include <vector>

namespace orbel2 {

struct TPose {
    TVector2D Position;
    float Angle;
};

// Body's pose now.
TPose PoseOf(const TBody& Body);
// Alpha of the way from From to To: the position along the straight line,
// the angle along the shorter arc. Alpha <= 0 (or not a number) gives From
// and Alpha >= 1 gives To, bit for bit.
TPose InterpolatePose(const TPose& From, const TPose& To, float Alpha);

class TStepPoses {
public:
    // Call just before and just after every step of the world, with its
    // list of bodies.
    void BeforeStep(const std::vector<TBody*>& Bodies);
    void AfterStep(const std::vector<TBody*>& Bodies);

    // Where to draw Body: Alpha of the way from its pose before the last
    // step to its pose now. At Alpha >= 1 that is its pose now, bit for bit.
    // A body that has not stepped yet, or that something moved since its
    // last step (a playback putting the player at its recorded start), is
    // drawn where it is.
    TPose DrawPose(const TBody& Body, float Alpha) const;
    // The body-local point LocalPoint where Body is drawn (a spring's
    // anchor); at Alpha >= 1 exactly Body.WorldPoint(LocalPoint).
    TVector2D DrawPoint(const TBody& Body, TVector2D LocalPoint, float Alpha) const;

private:
    struct TStepped {
        const TBody* Body = nullptr;
        TPose Before{};
        TPose After{};
        bool Stepped = false;
    };
    const TStepped* Find(const TBody& Body) const;

    std::vector<TStepped> FBodies;
    // Where each body's entry is, so that drawing a world of n bodies
    // costs n lookups, not n searches; made again when the list changes.
    std::unordered_map<const TBody*, size_t> FIndex;
};

}   // namespace orbel2
