#include "orbel2/session/HeadlessReplay.h"

#include "orbel2/kernel/OB_Files.h"
#include "orbel2/session/FixedStepSession.h"
#include "orbel2/session/InputRecording.h"
#include "orbel2/session/ReplayChecksums.h"
#include "orbel2/session/SessionCommands.h"

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <optional>

namespace orbel2 {

namespace {

std::string HashText(uint64_t Hash)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, Hash);
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
    TReplay(const TReplayRequest& Request, TFixedStepSession& Session, const std::string& Program,
            std::ostream& Out, std::ostream& Err)
        : FRequest(Request), FSession(Session), FPrefix(Program + ": "), FOut(Out), FErr(Err),
          FReader(Request.FileName), FCheck(Request.FileName)
    {}

    int Run()
    {
        FSession.RestoreRecordingStart(FReader, FRequest.FileName);
        if (const std::string note = PartialRecordNote(FReader, FRequest.FileName); !note.empty())
            FErr << FPrefix << note << '\n';
        if (!FCheck.Problem().empty())
            FErr << FPrefix << FCheck.Problem() << '\n';
        if (const auto step = FCheck.Begin(FSession.StateHash()))
            return Diverged(*step);
        const uint64_t records = (FReader.FileSize() - RecordingHeaderSize) / InputRecordSize;
        while (FApplied < records) {
            if (!ReadPending())
                return CutShort();
            const bool due = FPending.StepNumber <= FSession.StepCount();
            if (!due && FIdleSteps++ == FRequest.MaxIdleSteps)
                return Stopped();
            FSession.PlayStep(due ? &FPending : nullptr);
            if (due) {
                ++FApplied;
                FPendingRead = false;
            }
            ++FSteps;
            if (FRequest.HashEvery != 0 && FSteps % FRequest.HashEvery == 0)
                FOut << HashLine(FSteps, FSession.StateHash()) << '\n';
            if (const auto step = FCheck.AfterStep([this] { return FSession.StateHash(); }))
                return Diverged(*step);
        }
        Summarise();
        return ReplayMatched;
    }

private:
    // The next record is in FPending; false when the file no longer has it.
    bool ReadPending()
    {
        if (!FPendingRead)
            FPendingRead = FReader.ReadRecord(FPending);
        return FPendingRead;
    }

    int CutShort()
    {
        FErr << FPrefix << OB_QuotedName(FRequest.FileName) << " was cut short while it was replayed: it ended after "
             << FApplied << " records\n";
        return ReplayNotARecording;
    }

    int Stopped()
    {
        FErr << FPrefix << "replay stopped at step " << FSteps << ": more than " << FRequest.MaxIdleSteps
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
        FOut << "records: " << FApplied << '\n'
             << "steps: " << FSteps << '\n'
             << FSession.ReplayReport() << "hash: " << HashText(FSession.StateHash()) << '\n'
             << "checkpoints: " << CheckpointsText(FCheck, FSteps) << '\n';
    }

    const TReplayRequest& FRequest;
    TFixedStepSession& FSession;
    const std::string FPrefix;
    std::ostream& FOut;
    std::ostream& FErr;
    TRecordReader FReader;
    TReplayCheck FCheck;
    TInputRecord FPending;
    bool FPendingRead = false;
    uint64_t FSteps = 0;
    uint64_t FApplied = 0;
    uint64_t FIdleSteps = 0;   // steps that applied no record
};

}   // namespace

int RunHeadlessReplay(const TReplayRequest& Request, TFixedStepSession& Session, const std::string& Program,
                      std::ostream& Out, std::ostream& Err)
{
    int status = ReplayNotARecording;
    try {
        Session.Start();
        TReplay replay(Request, Session, Program, Out, Err);
        status = replay.Run();
    } catch (const std::exception& error) {
        Err << Program << ": " << error.what() << '\n';
    }
    Session.Stop();
    return status;
}

}   // namespace orbel2
