// The replay behind "<game> --replay FILE": no display, no log, no console
// on screen. The game's session is made and started afresh, its world put
// back as the recording began (FILE.state when it is there, else what the
// header holds), and the records applied as playback applies them (at most
// one per step, when its step number is not ahead of the step counter),
// until the step that applies the last one. Checked against FILE.sum as it
// goes when that is there. Prints on Out, one "name: value" line each:
//   hash at step N: 0x...        every HashEvery steps, when asked for
//   records: R                   records applied
//   steps: S                     steps run
//   ...                          the game's own lines (ReplayReport)
//   hash: 0x...                  the world's StateHash at the end
//   checkpoints: ...             how many of FILE.sum's matched, or why none
// or, at the first checkpoint that differs, "Replay diverges at step N" and
// no more. Problems go to Err as "<program>: <message>" lines, in the words
// of the console's "play"; a last record cut short is said so there, and the
// whole records before it are replayed.
//
// A replay is bounded by the size of its file: every step applies a record,
// except the steps that wait for a record whose step number lies ahead.
// Those idle steps are limited in all (MaxIdleSteps); a file that would
// need more stops the replay with one line on Err and ReplayStopped.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace orbel2 {

class TFixedStepSession;

// Exit statuses.
constexpr int ReplayMatched = 0;   // replayed to the end; FILE.sum, if any, agreed
constexpr int ReplayNotARecording = 1;   // not a (whole) recording, or unreadable
constexpr int ReplayDiverged = 3;
constexpr int ReplayStopped = 4;   // more idle steps than MaxIdleSteps

// A million steps: 5.5 hours of simulated time, under a second of replay.
constexpr uint32_t DefaultMaxIdleSteps = 1000000;

struct TReplayRequest {
    std::string FileName;
    uint32_t HashEvery = 0;   // 0: only the final hash
    uint32_t MaxIdleSteps = DefaultMaxIdleSteps;
};

// Session: made for the replay and not yet started; it is started, and
// stopped at the end. Program names the lines on Err.
int RunHeadlessReplay(const TReplayRequest& Request, TFixedStepSession& Session, const std::string& Program,
                      std::ostream& Out, std::ostream& Err);

}   // namespace orbel2
