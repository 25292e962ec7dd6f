// A pendulum: a bob hanging from a fixed pivot on a stiff spring, pulled
// down by gravity and pushed sideways by the arrow keys. It runs on the
// engine's fixed-step core, so it records, plays back, saves, loads and
// rewinds like the demo; the console shows the swing and takes "kick";
// "gravity" is a variable.
#pragma once

#include "physics/physicssystem.h"
#include "session/FixedStepSession.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TPendulumSession : public TFixedStepSession {
public:
    ~TPendulumSession() override;

    void Kick(float Speed);

protected:
    void StartGame() override;
    uint32_t SampleInput() const override;
    void ApplyInput(uint32_t Input, float Dt) override;
    void StepPhysics(float Dt) override;
    void DrawScene(float Alpha) override;
    TPhysics2D* World() override { return &FWorld; }
    void SaveGameState(std::vector<uint8_t>& Out) const override;
    bool LoadGameState(std::span<const uint8_t> Bytes, std::string& Why) override;
    TRecordingHeader RecordingHeader() const override;
    void ApplyRecordingHeader(const TRecordingHeader& Header) override;
    std::string ReplayReport() const override;

private:
    TPhysics2D FWorld;
    TBody FPivot;
    TBody FBob;
    TSpring FString;
    float FGravity = 300.0f;
    float FSwing = 0.0f;   // degrees from straight down, for the watch
};
