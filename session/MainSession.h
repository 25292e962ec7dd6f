// The demo: a "canonical" fixed-time-step game loop. However fast or slow
// frames come, the world advances in steps of exactly 0.02 s of simulated
// time (as many as real time scaled by "playspeed" has paid for), the arrow
// keys are sampled once per step, and the scene is drawn once per frame.
// Because every step has the same length and its own input word, a run can
// be recorded ("record <file>") and replayed ("play <file>") step for step.
#pragma once

#include "physics/DemoScene.h"
#include "session/FrameExtras.h"
#include "session/InputRecording.h"
#include "session/ReplayChecksums.h"
#include "session/Session.h"

#include <cstdint>
#include <memory>
#include <string>

enum class TPlaybackMode : uint8_t { pmNone = 0, pmRecord = 1, pmPlay = 2 };

class TMainSession : public TSession {
public:
    // One frame runs at most this many steps (50 steps of the one-second
    // frame-time cap at play speed 100) and drops the time beyond them.
    static constexpr uint32_t MaxStepsPerFrame = 5000;
    // The most time a negative play speed can owe: what one frame's steps
    // at the cap pay for (100 s).
    static constexpr double MaxDebt = MaxStepsPerFrame * 0.02;

    TMainSession() = default;
    // Takes the session's commands and variables out of the console.
    ~TMainSession() override;

    void Update() override;
    void KeyDown(uint16_t Key) override;
    void KeyPress(char Ch) override;
    void Start() override;
    void Stop() override;

    // The arrow keys held now, as an input word.
    uint32_t SampleInput() const;
    void ApplyInput(uint32_t Input, float Dt);
    void StepPhysics(float Dt);
    void Render();

    void WriteInputRecord(uint32_t Input);
    // Both close any open recording or playback first. A file that cannot be
    // created or opened raises EInOutError and leaves the session in pmNone.
    void StartRecording(const std::string& Name);
    void StartPlayback(const std::string& Name);

    TDemoScene& Scene() { return *FScene; }
    TPlaybackMode Mode() const { return FMode; }
    uint32_t StepCount() const { return FStepCount; }
    double Accumulator() const { return FAccumulator; }
    float PlaySpeed() const { return FPlaySpeed; }
    // Any finite speed; false, and the speed unchanged, for NaN or ±inf.
    bool SetPlaySpeed(float Speed);
    // The frame cap, interpolated drawing and the live graph.
    const TFrameExtras& Extras() const { return FExtras; }

private:
    void RunStep();
    void PlayStep();
    void RecordStep();
    void CloseRecordFile();
    void DropFiles();
    void StopOnFileError(const std::exception& error);
    void FlushRecording();
    void ToggleFullScreen();

    std::unique_ptr<TRecordWriter> FWriter;   // open while recording
    std::unique_ptr<TRecordReader> FReader;   // open while playing
    TSessionChecksums FChecksums;   // FILE.sum beside the recording FILE
    double FAccumulator = 0;
    uint32_t FStepCount = 0;
    TInputRecord FPending;
    bool FPendingValid = false;   // false once the records are used up
    std::unique_ptr<TDemoScene> FScene;
    TPlaybackMode FMode = TPlaybackMode::pmNone;
    float FPlaySpeed = 0;
    TFrameExtras FExtras;
};
