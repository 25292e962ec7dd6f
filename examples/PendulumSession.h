// A pendulum: a bob hanging from a fixed pivot on a stiff spring, pulled
// down by gravity and pushed sideways by the arrow keys. It runs on the
// engine's fixed-step core, so it records, plays back, saves, loads and
// rewinds like the demo; the console shows the swing and takes "kick";
// "gravity" is a variable.
#pragma once

#include "orbel2/physics/physicssystem.h"
#include "orbel2/session/FixedStepSession.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TPendulumSession : public orbel2::TFixedStepSession {
public:
    ~TPendulumSession() override;

    void Kick(float Speed);

protected:
    void StartGame() override;
    uint32_t SampleInput() const override;
    void ApplyInput(uint32_t Input, float Dt) override;
    void StepPhysics(float Dt) override;
    void DrawScene(float Alpha) override;
    orbel2::TPhysics2D* World() override { return &FWorld; }
    void SaveGameState(std::vector<uint8_t>& Out) const override;
    bool LoadGameState(std::span<const uint8_t> Bytes, std::string& Why) override;
    orbel2::TRecordingHeader RecordingHeader() const override;
    void ApplyRecordingHeader(const orbel2::TRecordingHeader& Header) override;
    std::string ReplayReport() const override;

private:
    orbel2::TPhysics2D FWorld;
    orbel2::TBody FPivot;
    orbel2::TBody FBob;
    orbel2::TSpring FString;
    float FGravity = 300.0f;
    float FSwing = 0.0f;   // degrees from straight down, for the watch
};
