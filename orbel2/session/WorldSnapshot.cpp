#include "orbel2/session/WorldSnapshot.h"

#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orbel2 {

namespace {

constexpr uint8_t Magic[4] = {'O', 'B', '2', 'W'};
constexpr size_t HeaderSize = 20;
constexpr size_t HashSize = 8;

void Put(std::vector<uint8_t>& Out, uint64_t Value, int Bytes)
{
    for (int i = 0; i < Bytes; ++i)
        Out.push_back(static_cast<uint8_t>(Value >> (8 * i)));
}

uint64_t Get(const uint8_t* In, int Bytes)
{
    uint64_t value = 0;
    for (int i = Bytes - 1; i >= 0; --i)
        value = value << 8 | In[i];
    return value;
}

bool DecodeCounters(const uint8_t* In, TSessionCounters& Counters, std::string& Why)
{
    Counters.StepCount = static_cast<uint32_t>(Get(In, 4));
    const uint64_t mode = Get(In + 4, 4);
    Counters.Pending.StepNumber = static_cast<uint32_t>(Get(In + 8, 4));
    Counters.Pending.InputBits = static_cast<uint32_t>(Get(In + 12, 4));
    const uint64_t valid = Get(In + 16, 4);
    Counters.PlaybackPosition = Get(In + 20, 8);
    if (mode > 2 || valid > 1) {
        Why = "its session part is damaged";
        return false;
    }
    Counters.Mode = static_cast<uint8_t>(mode);
    Counters.PendingValid = valid == 1;
    return true;
}

}   // namespace

uint64_t HashBytes(std::span<const uint8_t> Bytes, uint64_t Hash)
{
    for (const uint8_t byte : Bytes) {
        Hash ^= byte;
        Hash *= 0x100000001B3ull;
    }
    return Hash;
}

void EncodeWorldState(const TWorldState& State, std::vector<uint8_t>& Out)
{
    Out.clear();
    Out.reserve(HeaderSize + WorldStateCountersSize + State.Physics.size() + State.Game.size() + HashSize);
    for (const uint8_t byte : Magic)
        Out.push_back(byte);
    Put(Out, WorldStateVersion, 4);
    Put(Out, WorldStateCountersSize, 4);
    Put(Out, State.Physics.size(), 4);
    Put(Out, State.Game.size(), 4);
    const TSessionCounters& c = State.Counters;
    Put(Out, c.StepCount, 4);
    Put(Out, c.Mode, 4);
    Put(Out, c.Pending.StepNumber, 4);
    Put(Out, c.Pending.InputBits, 4);
    Put(Out, c.PendingValid ? 1 : 0, 4);
    Put(Out, c.PlaybackPosition, 8);
    Out.insert(Out.end(), State.Physics.begin(), State.Physics.end());
    Out.insert(Out.end(), State.Game.begin(), State.Game.end());
    Put(Out, HashBytes(Out), 8);
}

bool DecodeWorldState(std::span<const uint8_t> Bytes, TWorldState& State, std::string& Why)
{
    if (!Bytes.empty() && std::memcmp(Bytes.data(), Magic, std::min(sizeof Magic, Bytes.size())) != 0) {
        Why = "not a saved world (it does not begin with OB2W)";
        return false;
    }
    if (Bytes.size() < HeaderSize + WorldStateCountersSize + HashSize) {
        Why = "cut short: " + std::to_string(Bytes.size()) + " bytes";
        return false;
    }
    if (const uint64_t version = Get(Bytes.data() + 4, 4); version != WorldStateVersion) {
        Why = "version " + std::to_string(version) + ", and this program reads version " +
            std::to_string(WorldStateVersion);
        return false;
    }
    const uint64_t counters = Get(Bytes.data() + 8, 4);
    const uint64_t physics = Get(Bytes.data() + 12, 4);
    const uint64_t game = Get(Bytes.data() + 16, 4);
    if (counters != WorldStateCountersSize || HeaderSize + counters + physics + game + HashSize != Bytes.size()) {
        Why = "its sizes do not add up to its length";
        return false;
    }
    const size_t body = Bytes.size() - HashSize;
    if (HashBytes(Bytes.first(body)) != Get(Bytes.data() + body, 8)) {
        Why = "damaged: its checksum does not match";
        return false;
    }
    if (!DecodeCounters(Bytes.data() + HeaderSize, State.Counters, Why))
        return false;
    const uint8_t* parts = Bytes.data() + HeaderSize + counters;
    State.Physics.assign(parts, parts + physics);
    State.Game.assign(parts + physics, parts + physics + game);
    return true;
}

void WriteWorldStateFile(const std::string& Name, const std::vector<uint8_t>& Bytes)
{
    // The new file takes the place of the old one, or of the file a link
    // names; never of a device, a pipe or a directory.
    namespace fs = std::filesystem;
    std::error_code error;
    std::string target = Name;
    if (fs::exists(Name, error)) {
        target = fs::canonical(Name, error).string();
        if (error || !fs::is_regular_file(target, error))
            throw EInOutError(OB_FileErrorText("Cannot create file", Name, "Not a regular file"));
    }
    const std::string temporary = target + ".new";
    std::string reason;
    TFileDescriptor file = OB_OpenFile(temporary, O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!file.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", temporary, reason));
    if (!OB_WriteAll(file.Get(), Bytes.data(), Bytes.size(), reason)) {
        file.Reset();
        ::unlink(temporary.c_str());
        throw EInOutError(OB_FileErrorText("Cannot write to file", Name, reason));
    }
    file.Reset();
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        throw EInOutError(OB_FileErrorText("Cannot create file", Name, failure));
    }
}

std::vector<uint8_t> ReadWorldStateFile(const std::string& Name, size_t MaxSize)
{
    std::string reason;
    TFileDescriptor file = OB_OpenFile(Name, O_RDONLY, reason);
    if (!file.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot open file", Name, reason));
    // The file's length says how much to read; one byte more tells a file
    // that grew meanwhile.
    struct stat info {};
    const uint64_t length = ::fstat(file.Get(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    if (length > MaxSize)
        throw EInOutError("Not a saved world: " + OB_QuotedName(Name) + " is larger than any world this game saves");
    std::vector<uint8_t> bytes(length + 1);
    bytes.resize(OB_ReadUpTo(file.Get(), bytes.data(), bytes.size(), reason));
    if (!reason.empty())
        throw EInOutError(OB_FileErrorText("Cannot read file", Name, reason));
    if (bytes.size() > length)
        throw EInOutError("Not a saved world: " + OB_QuotedName(Name) + " changed while it was read");
    return bytes;
}

}   // namespace orbel2
