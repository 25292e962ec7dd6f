// The replay behind "orbel2 --replay FILE": no display, no log, no console.
// The demo's world is built afresh, the player placed from the recording's
// header, and the records applied as playback applies them (at most one per
// step, when its step number is not ahead of the step counter), until the
// step that applies the last one. Checked against FILE.sum as it goes when
// that is there. Prints on Out, one "name: value" line each:
//   hash at step N: 0x...        every HashEvery steps, when asked for
//   records: R                   records applied
//   steps: S                     steps run
//   player: x X y Y angle A      the player's final position and angle
//   hash: 0x...                  HashWorld of the final world
//   checkpoints: ...             how many of FILE.sum's matched, or why none
// or, at the first checkpoint that differs, "Replay diverges at step N" and
// no more. Problems go to Err as "orbel2: <message>" lines, in the words of
// the console's "play"; a last record cut short is said so there, and the
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

int RunHeadlessReplay(const TReplayRequest& Request, std::ostream& Out, std::ostream& Err);
