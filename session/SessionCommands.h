// The fixed-step session's console entries, and the files it keeps beside a
// recording. The commands run on the session given as their data; user
// mistakes become console lines.
#pragma once

#include "session/WorldSnapshot.h"

#include <cstdint>
#include <string>

class TFixedStepSession;

// "record <file>" and "play <file>".
void RegisterRecordingCommands(TFixedStepSession& Session);
// "save <file>", "load <file>", "hash", "rewind <seconds>", and the variable
// "playpause" bound to PlayPause.
void RegisterStateCommands(TFixedStepSession& Session, int32_t& PlayPause);
// Everything both registered, and the core's variables.
void UnregisterSessionCommands(TFixedStepSession& Session, uint32_t& StepCount, float& PlaySpeed,
                               int32_t& PlayPause);

// "run1" -> "run1.state": the world as the recording run1 began.
std::string RecordingStartName(const std::string& RecordingName);
// Writes the world as it stands beside the recording Name, when Name is a
// regular file outside /dev and /proc; a state that cannot be written is
// reported on the console, and no stale one is left behind.
void WriteRecordingStart(const std::string& Name, const TFixedStepSession& Session);
// The world as the recording Name began: false when there is no such file;
// EInOutError when there is one that is not a whole state file.
bool ReadRecordingStart(const std::string& Name, const TFixedStepSession& Session, TWorldState& State);

// "hash at step N: 0x0123456789ABCDEF"
std::string HashLine(uint64_t Step, uint64_t Hash);
