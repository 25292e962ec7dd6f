#include "orbel2/kernel/OB_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orbel2 {

// Windows has no non-blocking open and no close-on-exec; there descriptors
// stay out of child processes, and every file is opened in binary mode so
// that nothing turns line ends or stops at a ^Z.
#if defined(_WIN32)
constexpr int OpenModeFlags = O_BINARY | O_NOINHERIT;
#ifndef S_ISSOCK
#define S_ISSOCK(mode) false
#endif
#else
constexpr int OpenModeFlags = O_NONBLOCK | O_CLOEXEC;
#endif

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
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    return descriptor;
}

void TFileDescriptor::Reset()
{
    if (FDescriptor >= 0)
        ::close(FDescriptor);
    FDescriptor = -1;
}

std::string OB_QuotedName(const std::string& Name)
{
    std::string quoted = "\"";
    for (const char c : Name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            constexpr char Hex[] = "0123456789ABCDEF";
            quoted += "\\x";
            quoted += Hex[byte >> 4];
            quoted += Hex[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string OB_FileErrorText(const char* What, const std::string& Path, const std::string& Reason)
{
    std::error_code error;
    const auto full = std::filesystem::absolute(Path, error);
    const std::string shown = error ? Path : full.lexically_normal().string();
    return std::string(What) + " " + OB_QuotedName(shown) + ". " + Reason;
}

std::string OB_FileErrorText(const char* What, const std::string& Path, int Error)
{
    return OB_FileErrorText(What, Path, std::strerror(Error));
}

TFileDescriptor OB_OpenFile(const std::string& Path, int Flags, std::string& Reason)
{
    TFileDescriptor file(::open(Path.c_str(), Flags | OpenModeFlags, 0644));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0) {
        // Opening a named pipe for writing without waiting fails with
        // ENXIO while nothing reads it; the system's words for that ("No
        // such device or address") mean nothing to a person.
        const int error = errno;
        Reason = error == ENXIO && ::stat(Path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)
            ? "Not a regular file"
            : std::strerror(error);
        file.Reset();
        return file;
    }
    if (S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
        Reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
        file.Reset();
        return file;
    }
#if !defined(_WIN32)
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
#endif
    return file;
}

bool OB_WriteAll(int Descriptor, const void* Data, size_t Size, std::string& Reason)
{
    const auto* bytes = static_cast<const char*>(Data);
    while (Size > 0) {
        const ssize_t written = ::write(Descriptor, bytes, Size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            Reason = std::strerror(errno);
            return false;
        }
        bytes += written;
        Size -= static_cast<size_t>(written);
    }
    return true;
}

bool OB_TruncateFile(int Descriptor, unsigned long long Size)
{
    const auto offset = static_cast<off_t>(Size);
    return ::ftruncate(Descriptor, offset) == 0 && ::lseek(Descriptor, offset, SEEK_SET) == offset;
}

size_t OB_ReadUpTo(int Descriptor, void* Buffer, size_t Count, std::string& Reason)
{
    auto* bytes = static_cast<char*>(Buffer);
    size_t total = 0;
    while (total < Count) {
        const ssize_t got = ::read(Descriptor, bytes + total, Count - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Reason = std::strerror(errno);
        if (got <= 0)
            break;
        total += static_cast<size_t>(got);
    }
    return total;
}

THeldWrites::~THeldWrites()
{
    std::string ignored;
    WriteHeld(ignored);
}

bool THeldWrites::WriteHeld(std::string& Reason)
{
    if (FHeld.empty())
        return true;
    const bool written = OB_WriteAll(FFile.Get(), FHeld.data(), FHeld.size(), Reason);
    if (written)
        FOnDisk += FHeld.size();
    else
        OB_TruncateFile(FFile.Get(), FOnDisk);
    FHeld.clear();
    return written;
}

bool THeldWrites::CutTo(uint64_t Size)
{
    if (Size >= FOnDisk) {
        FHeld.resize(std::min<uint64_t>(FHeld.size(), Size - FOnDisk));
        return true;
    }
    FHeld.clear();
    if (!OB_TruncateFile(FFile.Get(), Size))
        return false;
    FOnDisk = Size;
    return true;
}

}   // namespace orbel2
