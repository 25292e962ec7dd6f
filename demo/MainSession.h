// The demo: the fixed-step core (orbel2/session/FixedStepSession.h) driving a
// rigid-body scene, a red player rectangle that the arrow keys turn and
// push, a row of 21 boxes and one spring. The recording's header holds the
// player's position and angle.
#pragma once

#include "demo/DemoScene.h"
#include "orbel2/session/FixedStepSession.h"
#include "orbel2/session/HeadlessReplay.h"

#include <cstdint>
#include <memory>

namespace orbel2::demo {

class TMainSession : public TFixedStepSession {
public:
    TMainSession() = default;

    // The arrow keys held now, as an input word.
    uint32_t SampleInput() const override;
    void ApplyInput(uint32_t Input, float Dt) override;
    void StepPhysics(float Dt) override;

    TDemoScene& Scene() { return *FScene; }

protected:
    void StartGame() override;
    void DrawScene(float Alpha) override;
    TPhysics2D* World() override { return FScene ? &FScene->Physics : nullptr; }
    TRecordingHeader RecordingHeader() const override;
    void ApplyRecordingHeader(const TRecordingHeader& Header) override;
    // "player: x X y Y angle A", nine significant digits each.
    std::string ReplayReport() const override;

private:
    std::unique_ptr<TDemoScene> FScene;
};

// "orbel2 --replay": the demo's replay, its lines named "orbel2".
int RunHeadlessReplay(const TReplayRequest& Request, std::ostream& Out, std::ostream& Err);

}   // namespace orbel2::demo
