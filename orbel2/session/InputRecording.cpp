#include "orbel2/session/InputRecording.h"

#include "orbel2/kernel/OB_Errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace orbel2 {

namespace {

// Records are read in blocks of this many bytes.
constexpr size_t ReadBlockSize = 64 * 1024;

[[noreturn]] void RaiseIOError(const char* what, const std::string& path, const std::string& reason)
{
    throw EInOutError(OB_FileErrorText(what, path, reason));
}

TFileDescriptor OpenFile(const char* what, const std::string& path, int flags)
{
    std::string reason;
    TFileDescriptor file = OB_OpenFile(path, flags, reason);
    if (!file.IsOpen())
        RaiseIOError(what, path, reason);
    return file;
}

void PutUInt32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetUInt32(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}   // namespace

TRecordWriter::TRecordWriter(const std::string& fileName, const TRecordingHeader& header)
    : FPath(fileName), FOut(OpenFile("Cannot create file", fileName, O_WRONLY | O_CREAT | O_TRUNC))
{
    PutUInt32(FOut.Held(), std::bit_cast<uint32_t>(header.X));
    PutUInt32(FOut.Held(), std::bit_cast<uint32_t>(header.Y));
    PutUInt32(FOut.Held(), std::bit_cast<uint32_t>(header.Angle));
    Flush();
}

void TRecordWriter::Write(const TInputRecord& record)
{
    PutUInt32(FOut.Held(), record.StepNumber);
    PutUInt32(FOut.Held(), record.InputBits);
}

void TRecordWriter::CutTo(uint64_t Records)
{
    if (!FOut.CutTo(RecordingHeaderSize + InputRecordSize * Records))
        RaiseIOError("Cannot write to file", FPath, std::strerror(errno));
}

void TRecordWriter::Flush()
{
    std::string reason;
    if (!FOut.WriteHeld(reason))
        RaiseIOError("Cannot write to file", FPath, reason);
}

TRecordReader::TRecordReader(const std::string& fileName) : FPath(fileName)
{
    FFile = OpenFile("Cannot open file", fileName, O_RDONLY);
    struct stat info {};
    if (::fstat(FFile.Get(), &info) != 0)
        RaiseIOError("Cannot read file", fileName, std::strerror(errno));
    FSize = static_cast<uint64_t>(info.st_size);
}

bool TRecordReader::Refill()
{
    if (FAtEnd)
        return false;
    FBufferOffset += FBuffer.size();
    FBuffer.resize(ReadBlockSize);
    std::string reason;
    const size_t got = OB_ReadUpTo(FFile.Get(), FBuffer.data(), FBuffer.size(), reason);
    if (!reason.empty())
        RaiseIOError("Cannot read file", FPath, reason);
    FBuffer.resize(got);
    FBufferPos = 0;
    FAtEnd = got < ReadBlockSize;
    return got > 0;
}

void TRecordReader::Seek(uint64_t Position)
{
    const auto offset = static_cast<off_t>(Position);
    if (::lseek(FFile.Get(), offset, SEEK_SET) != offset)
        RaiseIOError("Cannot read file", FPath, std::strerror(errno));
    FBuffer.clear();
    FBufferPos = 0;
    FBufferOffset = Position;
    FAtEnd = false;
}

size_t TRecordReader::ReadUpTo(uint8_t* buffer, size_t count)
{
    size_t got = 0;
    while (got < count && (FBufferPos < FBuffer.size() || Refill())) {
        const size_t take = std::min(count - got, FBuffer.size() - FBufferPos);
        std::memcpy(buffer + got, FBuffer.data() + FBufferPos, take);
        FBufferPos += take;
        got += take;
    }
    return got;
}

bool TRecordReader::ReadHeader(TRecordingHeader& header)
{
    uint8_t bytes[RecordingHeaderSize];
    if (ReadUpTo(bytes, sizeof bytes) != sizeof bytes)
        return false;
    header.X = std::bit_cast<float>(GetUInt32(bytes));
    header.Y = std::bit_cast<float>(GetUInt32(bytes + 4));
    header.Angle = std::bit_cast<float>(GetUInt32(bytes + 8));
    return true;
}

bool TRecordReader::ReadRecord(TInputRecord& record)
{
    uint8_t bytes[InputRecordSize];
    if (ReadUpTo(bytes, sizeof bytes) != sizeof bytes)
        return false;
    record.StepNumber = GetUInt32(bytes);
    record.InputBits = GetUInt32(bytes + 4);
    return true;
}

TRecordingHeader ReadPlaybackHeader(TRecordReader& Reader, const std::string& Name)
{
    TRecordingHeader header;
    // The length counts too: a device that reads endlessly is no recording.
    if (Reader.FileSize() < RecordingHeaderSize || !Reader.ReadHeader(header))
        throw EInOutError("Not a recording: " + OB_QuotedName(Name) + " has " + std::to_string(Reader.FileSize()) +
                          " bytes, fewer than the " + std::to_string(RecordingHeaderSize) + " of a position and angle");
    if (!std::isfinite(header.X) || !std::isfinite(header.Y) || !std::isfinite(header.Angle))
        throw EInOutError("Not a recording: the start of " + OB_QuotedName(Name) + " is not a position and angle");
    return header;
}

std::string PartialRecordNote(const TRecordReader& Reader, const std::string& Name)
{
    if (Reader.FileSize() < RecordingHeaderSize)
        return {};
    const uint64_t partial = (Reader.FileSize() - RecordingHeaderSize) % InputRecordSize;
    if (partial == 0)
        return {};
    return "Not a whole recording: " + OB_QuotedName(Name) + " ends in " + std::to_string(partial) + " bytes of a cut-off record";
}

}   // namespace orbel2
