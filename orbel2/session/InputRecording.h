// Input recordings: the player's starting position and angle, then one
// 8-byte record per fixed step (step number, input word), all little-endian:
//   offset 0: x (float32), 4: y (float32), 8: angle (float32),
//   12 + 8k: StepNumber of record k (uint32), 16 + 8k: InputBits (uint32).
// The writer keeps the records of a frame in memory and hands them to the
// operating system at Flush, so a killed program leaves whole records up to
// its last finished frame, and a write that fails (a full disk) is cut back
// to the last whole record. The reader never loads the file whole.
// Failures raise EInOutError naming the file and the system's reason.
#pragma once

#include "orbel2/kernel/OB_Files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orbel2 {

struct TInputRecord {
    uint32_t StepNumber = 0;
    uint32_t InputBits = 0;
};

struct TRecordingHeader {
    float X = 0;
    float Y = 0;
    float Angle = 0;
};

constexpr size_t RecordingHeaderSize = 12;
constexpr size_t InputRecordSize = 8;

class TRecordWriter {
public:
    // Creates (or replaces) the file and writes the header through to it.
    // What is still held when the writer goes is handed to the operating
    // system however it goes (an exception unwinding past it included); a
    // failure then can no longer be reported and is dropped.
    TRecordWriter(const std::string& fileName, const TRecordingHeader& header);
    void Write(const TInputRecord& record);
    // Hands every record written so far to the operating system. When that
    // fails, the file is cut back to what it held before, whole records
    // only, and EInOutError is raised; the records held are dropped.
    void Flush();
    // The records the file holds whole (those handed over by Flush).
    uint64_t RecordsOnDisk() const { return (FOut.OnDisk() - RecordingHeaderSize) / InputRecordSize; }
    // Keeps only the first Records records, held or on disk: the recording
    // of a world stepped back. Failures raise EInOutError.
    void CutTo(uint64_t Records);

private:
    std::string FPath;
    THeldWrites FOut;
};

class TRecordReader {
public:
    explicit TRecordReader(const std::string& fileName);
    // The file's length in bytes when it was opened.
    uint64_t FileSize() const { return FSize; }
    // The header; false when the file is shorter than a whole header.
    bool ReadHeader(TRecordingHeader& header);
    // The next whole record; false at the end of the file, and for a last
    // record cut short.
    bool ReadRecord(TInputRecord& record);
    // Where the next read begins, and a move there; Seek raises EInOutError
    // when the file cannot be read from Position.
    uint64_t Position() const { return FBufferOffset + FBufferPos; }
    void Seek(uint64_t Position);

private:
    size_t ReadUpTo(uint8_t* buffer, size_t count);
    // Reads the next block of the file into the buffer; false at its end.
    bool Refill();

    std::string FPath;
    TFileDescriptor FFile;
    uint64_t FSize = 0;
    std::vector<uint8_t> FBuffer;
    size_t FBufferPos = 0;
    uint64_t FBufferOffset = 0;   // where in the file FBuffer begins
    bool FAtEnd = false;
};

// What playback ("play", and the headless replay) requires of a file: its
// header, read from a reader that has read nothing yet. A file shorter than
// the header, or whose header is not three finite numbers, is not a
// recording: EInOutError, with a message naming the file as Name gives it.
TRecordingHeader ReadPlaybackHeader(TRecordReader& Reader, const std::string& Name);
// The line that says the file's last record is cut short (playback ignores
// those bytes); empty for a file of whole records.
std::string PartialRecordNote(const TRecordReader& Reader, const std::string& Name);

}   // namespace orbel2
