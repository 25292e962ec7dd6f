// A game's whole state at one step, as the fixed-step session saves it: the
// session's own counters, the physics world's bytes (orbel2/physics/PhysicsSnapshot.h)
// and the game's own bytes. "save FILE" writes it, "load FILE" reads it back,
// "record FILE" keeps the world as it began in FILE.state, and the rewind
// history keeps it in memory.
//
// The file, all values little-endian, nothing between them:
//   offset 0   magic: the bytes "OB2W"
//          4   version (uint32, 1)
//          8   size of the session's part in bytes (uint32, 28)
//         12   size of the physics part in bytes (uint32)
//         16   size of the game's part in bytes (uint32)
//         20   the session's part: StepCount, Mode (0 none, 1 record,
//              2 play), the pending record's StepNumber and InputBits,
//              whether it is valid (0 or 1) (uint32 each), and the
//              playback file's read position (uint64)
//         48   the physics part, then the game's part
//   last 8     FNV-1a (64 bits) of every byte before it
// No time stamp and no name: the same state always gives the same bytes.
#pragma once

#include "orbel2/session/InputRecording.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orbel2 {

// The session's counters at one step.
struct TSessionCounters {
    uint32_t StepCount = 0;
    uint8_t Mode = 0;   // a TPlaybackMode
    TInputRecord Pending;
    bool PendingValid = false;
    uint64_t PlaybackPosition = 0;   // where the playback file's next record begins
};

struct TWorldState {
    TSessionCounters Counters;
    std::vector<uint8_t> Physics;
    std::vector<uint8_t> Game;
};

constexpr uint32_t WorldStateVersion = 1;
constexpr size_t WorldStateCountersSize = 28;

// Out := the file's bytes for State (its storage reused).
void EncodeWorldState(const TWorldState& State, std::vector<uint8_t>& Out);
// State := what Bytes hold; false, with Why in a few words, when they are not
// a whole state file of this version (State is then unspecified).
bool DecodeWorldState(std::span<const uint8_t> Bytes, TWorldState& State, std::string& Why);

// The bytes of a state file; Name as the user gave it. Writing goes through
// a temporary file beside it, so a write that fails leaves any earlier file
// of that name as it was. Failures raise EInOutError.
void WriteWorldStateFile(const std::string& Name, const std::vector<uint8_t>& Bytes);
// The file's bytes, at most MaxSize of them: a longer file is no state file
// (EInOutError, as for one that cannot be read).
std::vector<uint8_t> ReadWorldStateFile(const std::string& Name, size_t MaxSize);

// FNV-1a, 64 bits.
uint64_t HashBytes(std::span<const uint8_t> Bytes, uint64_t Hash = 0xCBF29CE484222325ull);

}   // namespace orbel2
