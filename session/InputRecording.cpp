#include "session/InputRecording.h"

#include "kernel/OB_Kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

// Records are read in blocks of this many bytes.
constexpr size_t ReadBlockSize = 64 * 1024;

std::string FullPath(const std::string& name)
{
    std::error_code error;
    auto full = std::filesystem::absolute(name, error);
    return error ? name : full.lexically_normal().string();
}

[[noreturn]] void RaiseIOError(const char* what, const std::string& path, const std::string& reason)
{
    throw EInOutError(std::string(what) + " \"" + FullPath(path) + "\". " + reason);
}

[[noreturn]] void RaiseIOError(const char* what, const std::string& path, int error)
{
    RaiseIOError(what, path, std::strerror(error));
}

// Opens without waiting: a named pipe would otherwise hold the program until
// another process opened its other end. Pipes, sockets and directories are
// refused, since every read or write of a step would wait on them too.
TFileDescriptor OpenFile(const char* what, const std::string& path, int flags)
{
    TFileDescriptor file(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644));
    if (!file.IsOpen())
        RaiseIOError(what, path, errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        RaiseIOError(what, path, errno);
    if (S_ISDIR(info.st_mode))
        RaiseIOError(what, path, EISDIR);
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        RaiseIOError(what, path, "Not a regular file");
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
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

} // namespace

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept
{
    if (this != &other) {
        Reset();
        FDescriptor = other.Release();
    }
    return *this;
}

int TFileDescriptor::Release()
{
    int descriptor = FDescriptor;
    FDescriptor = -1;
    return descriptor;
}

void TFileDescriptor::Reset()
{
    if (FDescriptor >= 0)
        ::close(FDescriptor);
    FDescriptor = -1;
}

TRecordWriter::TRecordWriter(const std::string& fileName, const TRecordingHeader& header) : FPath(fileName)
{
    FFile = OpenFile("Cannot create file", fileName, O_WRONLY | O_CREAT | O_TRUNC);
    PutUInt32(FPending, std::bit_cast<uint32_t>(header.X));
    PutUInt32(FPending, std::bit_cast<uint32_t>(header.Y));
    PutUInt32(FPending, std::bit_cast<uint32_t>(header.Angle));
    Flush();
}

void TRecordWriter::Write(const TInputRecord& record)
{
    PutUInt32(FPending, record.StepNumber);
    PutUInt32(FPending, record.InputBits);
}

void TRecordWriter::Flush()
{
    size_t done = 0;
    while (done < FPending.size()) {
        ssize_t written = ::write(FFile.Get(), FPending.data() + done, FPending.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            FPending.erase(FPending.begin(), FPending.begin() + static_cast<std::ptrdiff_t>(done));
            RaiseIOError("Cannot write to file", FPath, error);
        }
        done += static_cast<size_t>(written);
    }
    FPending.clear();
}

TRecordReader::TRecordReader(const std::string& fileName) : FPath(fileName)
{
    FFile = OpenFile("Cannot open file", fileName, O_RDONLY);
}

size_t TRecordReader::ReadUpTo(uint8_t* buffer, size_t count)
{
    size_t got = 0;
    while (got < count) {
        if (FBufferPos == FBuffer.size()) {
            if (FAtEnd)
                break;
            FBuffer.resize(ReadBlockSize);
            ssize_t n = ::read(FFile.Get(), FBuffer.data(), FBuffer.size());
            if (n < 0 && errno == EINTR) {
                FBuffer.clear();
                FBufferPos = 0;
                continue;
            }
            if (n < 0)
                RaiseIOError("Cannot read file", FPath, errno);
            FBuffer.resize(static_cast<size_t>(n));
            FBufferPos = 0;
            if (n == 0) {
                FAtEnd = true;
                break;
            }
        }
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
