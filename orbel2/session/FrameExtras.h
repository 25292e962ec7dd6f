// What makes the demo's fixed step visible, all off until asked for:
// - "maxfps" (INT, 0 = no cap): the frame cap of TFramePacer;
// - "interpolate" (INT, 0 = off): the scene drawn between its last two
//   steps, Alpha = leftover time / step length, by TStepPoses;
// - "graph" (command and INT variable, 0 = hidden): the live graph of
//   frames and steps, TFrameGraph; showing it starts an empty window.
// Off, none of them changes a pixel, a step or a byte of a recording; on,
// none of them changes a step or a recording either.
#pragma once

#include "orbel2/physics/physicssystem.h"
#include "orbel2/session/FrameGraph.h"
#include "orbel2/session/FrameGraph.h"
#include "orbel2/session/FramePacer.h"
#include "orbel2/session/StepPoses.h"

#include <cstdint>

namespace orbel2 {

// The length of one fixed step, in seconds.
constexpr float SessionStepTime = 0.02f;

class TFrameExtras {
public:
    TFrameExtras() = default;
    TFrameExtras(const TFrameExtras&) = delete;
    TFrameExtras& operator=(const TFrameExtras&) = delete;
    // Takes its variables and command out of the console.
    ~TFrameExtras();

    // Registers the variables "maxfps", "interpolate" and "graph", then the
    // command "graph".
    void Register();

    // Around every fixed step of World.
    void BeforeStep(const TPhysics2D& World) { FPoses.BeforeStep(World.Bodies); }
    void AfterStep(const TPhysics2D& World) { FPoses.AfterStep(World.Bodies); }
    // Once a frame's steps have run: its frame time, the steps it ran,
    // whether it hit the step cap, and the accumulator before and after;
    // Rewound when its steps went backwards.
    void FrameStepped(double FrameTime, uint32_t Steps, bool Capped, double LeftoverBefore, double LeftoverAfter,
                      bool Rewound = false);
    // What the variables hold, set from code.
    void SetMaxFPS(int32_t FramesPerSecond) { FMaxFPS = FramesPerSecond; }
    void SetInterpolate(bool On) { FInterpolate = On ? 1 : 0; }
    void SetGraphShown(bool Shown) { FGraph = Shown ? 1 : 0; }

    // How far between the last two steps to draw: the leftover time in
    // steps, clamped to [0, 1]; 1 (the state now) while "interpolate" is 0.
    float DrawAlpha(double Leftover) const;
    const TStepPoses& Poses() const { return FPoses; }
    // The graph, when shown; call after the scene and before the console.
    void DrawOverlay();
    // The frame cap's wait; call right after the present.
    void AfterPresent() { FPacer.AfterPresent(FMaxFPS); }

    bool GraphShown() const { return FGraph != 0; }
    const TFrameGraph& Graph() const { return FFrameGraph; }

private:
    static bool GraphCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* Data);

    int32_t FMaxFPS = 0;
    int32_t FInterpolate = 0;
    int32_t FGraph = 0;
    bool FGraphWasShown = false;
    TFramePacer FPacer;
    TStepPoses FPoses;
    TFrameGraph FFrameGraph;
};

}   // namespace orbel2
