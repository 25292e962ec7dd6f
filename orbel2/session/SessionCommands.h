// The fixed-step session's console entries, and the files it keeps beside a
// recording. The commands run on the session given as their data, through
// what TSessionCommands asks of it; user mistakes become console lines.
#pragma once

#include "orbel2/console/OB_Console.h"
#include "orbel2/session/WorldSnapshot.h"

#include <cstdint>
#include <string>

namespace orbel2 {

// What the console's commands ask of a session; errors are EInOutError.
class TSessionCommands {
public:
    virtual void StartRecording(const std::string& Name) = 0;
    virtual void StartPlayback(const std::string& Name) = 0;
    virtual void SaveToFile(const std::string& Name) = 0;
    virtual void LoadFromFile(const std::string& Name) = 0;
    virtual uint32_t Rewind(uint32_t Steps) = 0;
    virtual uint32_t StepCount() const = 0;
    virtual uint64_t StateHash() const = 0;

protected:
    ~TSessionCommands() = default;
};

// "record <file>" and "play <file>".
void RegisterRecordingCommands(TSessionCommands& Session);
// "save <file>", "load <file>", "hash", "rewind <seconds>", and the
// variables "playpause" bound to PlayPause and "physicsworkers" bound to
// Workers, held to WorkersRange.
void RegisterStateCommands(TSessionCommands& Session, int32_t& PlayPause, int32_t& Workers,
                           TVariableRange WorkersRange);
// Everything both registered, and the core's variables.
void UnregisterSessionCommands(TSessionCommands& Session, uint32_t& StepCount, float& PlaySpeed,
                               int32_t& PlayPause, int32_t& Workers);

// "run1" -> "run1.state": the world as the recording run1 began.
std::string RecordingStartName(const std::string& RecordingName);
// Writes State, the world as the recording Name begins, beside it, when
// Name is a regular file outside /dev and /proc; a state that cannot be
// written is reported on the console, and no stale one is left behind.
void WriteRecordingStart(const std::string& Name, const TWorldState& State);
// The world as the recording Name began: false when there is no such file;
// EInOutError when there is one that is not a whole state file of at most
// MaxSize bytes.
bool ReadRecordingStart(const std::string& Name, size_t MaxSize, TWorldState& State);

// "hash at step N: 0x0123456789ABCDEF"
std::string HashLine(uint64_t Step, uint64_t Hash);

}   // namespace orbel2
