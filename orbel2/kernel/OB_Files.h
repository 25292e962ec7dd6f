// Disk files as every part of the engine opens them: a descriptor closed by
// its owner; opened without waiting (a named pipe would hold the program
// until another process opened its other end) and refused when it is a
// directory, a pipe or a socket, whose reads and writes could wait too;
// written whole or not at all. Failures are described as
//   <what> "<absolute path>". <the system's reason>
// and the caller raises them as its own kind of error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orbel2 {

class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int descriptor) : FDescriptor(descriptor) {}
    TFileDescriptor(TFileDescriptor&& other) noexcept : FDescriptor(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    ~TFileDescriptor() { Reset(); }

    int Get() const { return FDescriptor; }
    bool IsOpen() const { return FDescriptor >= 0; }
    int Release();
    void Reset();

private:
    int FDescriptor = -1;
};

// A file name as a one-line message shows it: between double quotes, with
// every control character (a newline, ESC, BEL, ...) and DEL written as \xHH,
// so that no name can split or recolour the line.
// Names without such characters come back unchanged within the quotes.
std::string OB_QuotedName(const std::string& Name);

// what + " " + the quoted absolute path + ". " + reason
std::string OB_FileErrorText(const char* What, const std::string& Path, const std::string& Reason);
std::string OB_FileErrorText(const char* What, const std::string& Path, int Error);

// Opens Path with Flags (O_RDONLY, or O_WRONLY | O_CREAT | O_TRUNC); on
// failure the descriptor is closed and Reason says why.
TFileDescriptor OB_OpenFile(const std::string& Path, int Flags, std::string& Reason);
// Writes all Size bytes; false, with Reason, when that cannot be done.
bool OB_WriteAll(int Descriptor, const void* Data, size_t Size, std::string& Reason);
// Cuts the file back to Size bytes and places the descriptor there, so that
// a write that failed halfway leaves only what was whole before it; false
// when the file cannot be cut (a device, say).
bool OB_TruncateFile(int Descriptor, unsigned long long Size);
// Reads up to Count bytes, fewer only at the end of the file or on an error
// (then with Reason set); returns how many were read.
size_t OB_ReadUpTo(int Descriptor, void* Buffer, size_t Count, std::string& Reason);

// A file that holds only whole pieces: bytes added to Held() stay in memory
// until WriteHeld hands them to the system, and a write that fails is cut
// back off the file, so the file ends where the last whole write ended.
// What is still held when it goes is written then, a failure dropped.
class THeldWrites {
public:
    explicit THeldWrites(TFileDescriptor File) : FFile(std::move(File)) {}
    ~THeldWrites();
    THeldWrites(const THeldWrites&) = delete;
    THeldWrites& operator=(const THeldWrites&) = delete;

    std::vector<uint8_t>& Held() { return FHeld; }
    // Bytes in the file, all of them whole.
    uint64_t OnDisk() const { return FOnDisk; }
    // Writes what is held and drops it; false, with Reason, once the file
    // is cut back to what it held before.
    bool WriteHeld(std::string& Reason);
    // Keeps the first Size bytes, on disk and held; false when the file
    // cannot be cut (what is held is dropped all the same).
    bool CutTo(uint64_t Size);

private:
    TFileDescriptor FFile;
    std::vector<uint8_t> FHeld;
    uint64_t FOnDisk = 0;
};

}   // namespace orbel2
