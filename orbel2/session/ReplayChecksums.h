// Checksums of a recorded run, kept beside the recording FILE as FILE.sum,
// so that a replay can tell at which step it left the recorded run. The
// recording itself is not touched: every reader of recordings keeps working.
// All values little-endian:
//   offset 0: magic "OB2S", 4: version (uint32, 1),
//   8: interval (uint32, steps between checkpoints, 50),
//   12 + 8k: checkpoint k, the world's hash (uint64) after k * interval
//            steps; checkpoint 0 is the world as the recording began. The
//            hash is the session's StateHash: orbel2/physics/WorldHash.h for a
//            game with a physics world, the demo's among them.
// The writer keeps the checkpoints of a frame in memory and hands them to
// the operating system at Flush, as the recording's writer does, so a
// killed program leaves whole checkpoints up to its last finished frame; a
// write that fails is cut back to the last whole checkpoint.
#pragma once

#include "orbel2/kernel/OB_Files.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orbel2 {

constexpr uint32_t ChecksumVersion = 1;
constexpr uint32_t ChecksumInterval = 50;
constexpr size_t ChecksumHeaderSize = 12;
constexpr size_t ChecksumSize = 8;

// "run1" -> "run1.sum"
std::string ChecksumFileName(const std::string& RecordingName);
// Whether files may go beside the recording Name (its checksums, its start):
// only when Name, after following links, is a regular file, and neither it
// nor the place beside it lies in /dev or /proc.
bool CompanionFilesBelongBeside(const std::string& Name);

// The world's hash as it stands, asked for only at a checkpoint: working
// it out after every step would cost about as much as the step itself.
using THashOfWorld = std::function<uint64_t()>;

class TChecksumWriter {
public:
    // Creates (or replaces) FileName and writes the header and checkpoint 0,
    // Hash, the world as it stands, through to it. Failures raise EInOutError.
    // What is still held when the writer goes is handed to the operating
    // system; a failure then can no longer be reported and is dropped.
    TChecksumWriter(const std::string& FileName, uint64_t Hash);

    // Counts one recorded step; every interval-th adds a checkpoint, the
    // only steps whose hash is asked for.
    void AfterStep(const THashOfWorld& Hash);
    void Flush();
    // Drops every checkpoint taken after Steps recorded steps, held or on
    // disk, and counts on from Steps: the checksums of a recording cut back
    // to its first Steps records.
    void CutTo(uint32_t Steps);

private:
    std::string FPath;
    THeldWrites FOut;
    uint32_t FSteps = 0;
};

// Follows a replay of a recording and compares its world with the
// recording's checkpoints as it goes.
class TReplayCheck {
public:
    // Opens the checksums beside RecordingName. Without them the check
    // compares nothing; damaged ones (not a checksum file, another version,
    // cut short, unreadable) are ignored, and Problem says why in one line.
    explicit TReplayCheck(const std::string& RecordingName);
    // Whether there were checksums to compare with (none, or damaged ones,
    // leave the replay unchecked).
    bool HasChecksums() const { return FLoaded; }
    const std::string& Problem() const { return FProblem; }
    const std::string& FileName() const { return FPath; }
    // The checkpoints that matched so far.
    uint32_t Matched() const { return FMatched; }
    // The step whose checkpoint the file no longer had, once the replay has
    // run past the file's last one.
    std::optional<uint32_t> EndedAt() const { return FEndedAt; }

    // The world's hash as the replay begins, then after each step. At the
    // first checkpoint whose hash differs, the step it was taken at; nothing
    // before and nothing after it.
    std::optional<uint32_t> Begin(uint64_t Hash);
    std::optional<uint32_t> AfterStep(const THashOfWorld& Hash);
    // The replay went back to Steps steps: the checkpoints after it are
    // compared again as it steps on.
    void RewindTo(uint32_t Steps);

private:
    std::optional<uint32_t> Compare(uint64_t Hash);
    bool ReadCheckpoint(uint64_t& Hash);
    std::string Open();

    std::string FPath;
    std::string FProblem;
    TFileDescriptor FFile;
    bool FLoaded = false;
    bool FActive = false;   // checkpoints are left to compare
    uint32_t FInterval = ChecksumInterval;
    uint32_t FSteps = 0;
    uint32_t FMatched = 0;
    std::optional<uint32_t> FEndedAt;
    std::vector<uint8_t> FBuffer;
    size_t FBufferPos = 0;
};

// "Replay diverges at step N"
std::string DivergenceLine(uint32_t Step);

// The demo session's checksums: written beside each recording, compared
// with during each playback. What goes wrong is shown on the console; a
// divergence and damaged checksums are also written to the log. Nothing
// here ever stops a recording or a playback.
class TSessionChecksums {
public:
    // Beside a regular file only (not beside /dev/null, say); one that
    // cannot be created is reported and the recording goes on without.
    void StartRecording(const std::string& Name, uint64_t Hash);
    // Compares the world as playback begins with checkpoint 0.
    void StartPlayback(const std::string& Name, uint64_t Hash);
    // After every step; the hash is worked out only for a checkpoint of the
    // recording or of the playback, once.
    void AfterStep(const THashOfWorld& Hash);
    // Once per frame, after the recording's own flush.
    void Flush();
    // The recording now holds only its first Steps records: checkpoints
    // after them are dropped.
    void CutTo(uint32_t Steps);
    // The playback went back to Steps steps.
    void RewindTo(uint32_t Steps);
    void Close();

private:
    std::unique_ptr<TChecksumWriter> FWriter;
    std::unique_ptr<TReplayCheck> FCheck;
};

}   // namespace orbel2
