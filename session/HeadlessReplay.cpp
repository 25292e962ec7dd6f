#include "session/HeadlessReplay.h"

#include "kernel/OB_Files.h"
#include "physics/DemoScene.h"
#include "physics/WorldHash.h"
#include "session/InputRecording.h"
#include "session/ReplayChecksums.h"

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

namespace {

std::string HashText(uint64_t Hash)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, Hash);
    return text;
}

// Nine significant digits: the float itself, read back to the same bits.
std::string FloatText(float Value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(Value));
    return text;
}

std::string CheckpointsText(const TReplayCheck& Check, uint64_t Steps)
{
    if (Check.HasChecksums() && Check.EndedAt())
        return std::to_string(Check.Matched()) + " matched in " + Check.FileName() + ", which ends before step " +
            std::to_string(*Check.EndedAt()) + ": steps " + std::to_string(*Check.EndedAt()) + " to " +
            std::to_string(Steps) + " went unchecked";
    if (Check.HasChecksums())
        return std::to_string(Check.Matched()) + " matched in " + Check.FileName();
    return "none, " + Check.FileName() + (Check.Problem().empty() ? " not found" : " ignored");
}

class TReplay {
public:
    TReplay(const TReplayRequest& Request, std::ostream& Out, std::ostream& Err)
        : FRequest(Request), FOut(Out), FErr(Err), FReader(Request.FileName), FCheck(Request.FileName)
    {
        BuildDemoBodies(*FScene);
    }

    int Run()
    {
        const TRecordingHeader header = ReadPlaybackHeader(FReader, FRequest.FileName);
        if (const std::string note = PartialRecordNote(FReader, FRequest.FileName); !note.empty())
            FErr << "orbel2: " << note << '\n';
        FScene->Player.State.Position = TVector2D{header.X, header.Y};
        FScene->Player.State.Angle = header.Angle;
        if (!FCheck.Problem().empty())
            FErr << "orbel2: " << FCheck.Problem() << '\n';
        if (const auto step = FCheck.Begin(FScene->Physics.Bodies))
            return Diverged(*step);
        const uint64_t records = (FReader.FileSize() - RecordingHeaderSize) / InputRecordSize;
        while (FApplied < records) {
            if (!ReadPending())
                return CutShort();
            if (FPending.StepNumber > FStepCount && FIdleSteps++ == FRequest.MaxIdleSteps)
                return Stopped();
            if (const auto step = RunStep())
                return Diverged(*step);
        }
        Summarise();
        return ReplayMatched;
    }

private:
    // One step as playback runs it; a divergence found after it.
    std::optional<uint32_t> RunStep()
    {
        if (FPending.StepNumber <= FStepCount) {
            ApplyDemoInput(FScene->Player, FPending.InputBits);
            ++FApplied;
            FPendingRead = false;
        }
        ++FStepCount;
        ++FSteps;
        FScene->Physics.Step(TIntegrationMode::imMidpoint, DemoStepTime);
        if (FRequest.HashEvery != 0 && FSteps % FRequest.HashEvery == 0)
            FOut << "hash at step " << FSteps << ": " << HashText(HashWorld(FScene->Physics.Bodies)) << '\n';
        return FCheck.AfterStep(FScene->Physics.Bodies);
    }

    // The next record is in FPending; false when the file no longer has it.
    bool ReadPending()
    {
        if (!FPendingRead)
            FPendingRead = FReader.ReadRecord(FPending);
        return FPendingRead;
    }

    int CutShort()
    {
        FErr << "orbel2: " << OB_QuotedName(FRequest.FileName) << " was cut short while it was replayed: it ended after "
             << FApplied << " records\n";
        return ReplayNotARecording;
    }

    int Stopped()
    {
        FErr << "orbel2: replay stopped at step " << FSteps << ": more than " << FRequest.MaxIdleSteps
             << " steps waited for a record (--max-idle-steps N allows more)\n";
        return ReplayStopped;
    }

    int Diverged(uint32_t Step)
    {
        FOut << DivergenceLine(Step) << '\n';
        return ReplayDiverged;
    }

    void Summarise()
    {
        const TBodyState& player = FScene->Player.State;
        FOut << "records: " << FApplied << '\n'
             << "steps: " << FSteps << '\n'
             << "player: x " << FloatText(player.Position.x) << " y " << FloatText(player.Position.y) << " angle "
             << FloatText(player.Angle) << '\n'
             << "hash: " << HashText(HashWorld(FScene->Physics.Bodies)) << '\n'
             << "checkpoints: " << CheckpointsText(FCheck, FSteps) << '\n';
    }

    const TReplayRequest& FRequest;
    std::ostream& FOut;
    std::ostream& FErr;
    TRecordReader FReader;
    TReplayCheck FCheck;
    std::unique_ptr<TDemoScene> FScene = std::make_unique<TDemoScene>();
    TInputRecord FPending;
    bool FPendingRead = false;
    uint32_t FStepCount = 0;   // the step counter records are due by, as playback keeps it
    uint64_t FSteps = 0;
    uint64_t FApplied = 0;
    uint64_t FIdleSteps = 0;   // steps that applied no record
};

}   // namespace

int RunHeadlessReplay(const TReplayRequest& Request, std::ostream& Out, std::ostream& Err)
{
    try {
        TReplay replay(Request, Out, Err);
        return replay.Run();
    } catch (const std::exception& error) {
        Err << "orbel2: " << error.what() << '\n';
        return ReplayNotARecording;
    }
}
