// A pendulum: a bob hanging from a fixed pivot on a stiff spring, pulled
// down by gravity and pushed sideways by the arrow keys, stepped in fixed
// steps of 0.02 s like every Orbel2 session. The console shows the swing and
// takes "kick", "rec" and "replay"; "gravity" is a variable.
#pragma once

#include "physics/physicssystem.h"
#include "session/InputRecording.h"
#include "session/Session.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class TPendulumSession : public TSession {
public:
    // After FrameLimit frames the session ends by itself (0: never); a
    // recording to RecordTo or a replay of PlayFrom starts with it.
    explicit TPendulumSession(int32_t FrameLimit = 0, std::string RecordTo = "", std::string PlayFrom = "")
        : FFrameLimit(FrameLimit), FRecordTo(std::move(RecordTo)), FPlayFrom(std::move(PlayFrom))
    {
    }
    ~TPendulumSession() override;

    void Start() override;
    void Update() override;
    void KeyDown(uint16_t Key) override;
    void KeyPress(char Ch) override;
    void Stop() override;

    void StartRecording(const std::string& Name);
    void StartReplay(const std::string& Name);
    void Kick(float Speed);

    int32_t Frames() const { return FFrames; }
    uint32_t Steps() const { return FSteps; }
    uint32_t RecordsReplayed() const { return FReplayed; }

private:
    uint32_t SampleInput() const;
    void Step(uint32_t Input);
    void Render();

    TPhysics2D FWorld;
    TBody FPivot;
    TBody FBob;
    TSpring FString;
    float FGravity = 300.0f;
    float FSwing = 0.0f;   // degrees from straight down, for the watch
    double FAccumulator = 0;
    int32_t FFrameLimit;
    std::string FRecordTo;
    std::string FPlayFrom;
    int32_t FFrames = 0;
    uint32_t FSteps = 0;
    uint32_t FReplayed = 0;
    std::unique_ptr<TRecordWriter> FWriter;
    std::unique_ptr<TRecordReader> FReader;
};
