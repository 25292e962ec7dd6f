#include "orbel2/session/ReplayChecksums.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Errors.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orbel2 {

namespace {

constexpr char Magic[4] = {'O', 'B', '2', 'S'};
constexpr size_t ReadBlockSize = 4096;

void PutLittleEndian(std::vector<uint8_t>& Out, uint64_t Value, int Bytes)
{
    for (int i = 0; i < Bytes; ++i)
        Out.push_back(static_cast<uint8_t>(Value >> (8 * i)));
}

uint64_t GetLittleEndian(const uint8_t* In, int Bytes)
{
    uint64_t value = 0;
    for (int i = Bytes - 1; i >= 0; --i)
        value = value << 8 | In[i];
    return value;
}

}   // namespace

// /dev/stdout redirected to a file is a regular file, but /dev/stdout.sum is
// no place to write.
bool CompanionFilesBelongBeside(const std::string& Name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_regular_file(Name, error))
        return false;
    const auto inSystemTree = [](const fs::path& Path) {
        const std::string text = Path.string();
        return text.starts_with("/dev/") || text.starts_with("/proc/");
    };
    const fs::path target = fs::canonical(Name, error);
    if (error || inSystemTree(target))
        return false;
    const fs::path beside = fs::weakly_canonical(fs::absolute(ChecksumFileName(Name), error), error);
    return !error && !inSystemTree(beside);
}

namespace {

// Shown on the console and kept in the log.
void Report(const std::string& Line)
{
    ConsolePrint(Line);
    LogWriteLine(Line);
}

}   // namespace

std::string ChecksumFileName(const std::string& RecordingName)
{
    return RecordingName + ".sum";
}

std::string DivergenceLine(uint32_t Step)
{
    return "Replay diverges at step " + std::to_string(Step);
}

// ---------------------------------------------------------------- writing

namespace {

TFileDescriptor CreateChecksumFile(const std::string& FileName)
{
    std::string reason;
    TFileDescriptor file = OB_OpenFile(FileName, O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!file.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", FileName, reason));
    return file;
}

}   // namespace

TChecksumWriter::TChecksumWriter(const std::string& FileName, uint64_t Hash)
    : FPath(FileName), FOut(CreateChecksumFile(FileName))
{
    std::vector<uint8_t>& held = FOut.Held();
    held.insert(held.end(), std::begin(Magic), std::end(Magic));
    PutLittleEndian(held, ChecksumVersion, 4);
    PutLittleEndian(held, ChecksumInterval, 4);
    PutLittleEndian(held, Hash, 8);
    Flush();
}

void TChecksumWriter::CutTo(uint32_t Steps)
{
    if (Steps >= FSteps)
        return;
    // Checkpoint k is taken after k * interval steps, checkpoint 0 at once.
    // A file that cannot be cut (a device) keeps its later checkpoints.
    FOut.CutTo(ChecksumHeaderSize + ChecksumSize * (uint64_t{Steps / ChecksumInterval} + 1));
    FSteps = Steps;
}

void TChecksumWriter::AfterStep(const THashOfWorld& Hash)
{
    if (++FSteps % ChecksumInterval == 0)
        PutLittleEndian(FOut.Held(), Hash(), 8);
}

void TChecksumWriter::Flush()
{
    std::string reason;
    if (!FOut.WriteHeld(reason))
        throw EInOutError(OB_FileErrorText("Cannot write to file", FPath, reason));
}

// ---------------------------------------------------------------- checking

TReplayCheck::TReplayCheck(const std::string& RecordingName) : FPath(ChecksumFileName(RecordingName))
{
    std::error_code missing;
    if (!std::filesystem::exists(FPath, missing) && !missing)
        return;
    if (const std::string why = Open(); !why.empty()) {
        FProblem = "Checksums " + OB_QuotedName(FPath) + " ignored: " + why;
        FFile.Reset();
        return;
    }
    FLoaded = true;
    FActive = true;
}

// Opens the file and reads its header: what is wrong with it, or nothing.
std::string TReplayCheck::Open()
{
    std::string reason;
    FFile = OB_OpenFile(FPath, O_RDONLY, reason);
    struct stat info {};
    if (!FFile.IsOpen() || ::fstat(FFile.Get(), &info) != 0)
        return OB_FileErrorText("Cannot open file", FPath, reason.empty() ? std::strerror(errno) : reason);
    const auto size = static_cast<uint64_t>(info.st_size);
    uint8_t header[ChecksumHeaderSize];
    if (size < ChecksumHeaderSize || OB_ReadUpTo(FFile.Get(), header, sizeof header, reason) != sizeof header)
        return "cut short: " + std::to_string(size) + " bytes, fewer than the " + std::to_string(ChecksumHeaderSize) +
            " of its header";
    if (std::memcmp(header, Magic, sizeof Magic) != 0)
        return "not a checksum file (it does not begin with OB2S)";
    const auto version = static_cast<uint32_t>(GetLittleEndian(header + 4, 4));
    if (version != ChecksumVersion)
        return "version " + std::to_string(version) + ", and this program reads version " +
            std::to_string(ChecksumVersion);
    FInterval = static_cast<uint32_t>(GetLittleEndian(header + 8, 4));
    if (FInterval == 0)
        return "an interval of 0 steps";
    if (const uint64_t partial = (size - ChecksumHeaderSize) % ChecksumSize; partial != 0)
        return "cut short: it ends in " + std::to_string(partial) + " bytes of a partial checksum";
    return {};
}

std::optional<uint32_t> TReplayCheck::Begin(uint64_t Hash)
{
    return FActive ? Compare(Hash) : std::nullopt;
}

std::optional<uint32_t> TReplayCheck::AfterStep(const THashOfWorld& Hash)
{
    if (!FActive || ++FSteps % FInterval != 0)
        return std::nullopt;
    return Compare(Hash());
}

// Past the last checkpoint, and after the first difference, nothing more
// is compared.
std::optional<uint32_t> TReplayCheck::Compare(uint64_t Hash)
{
    uint64_t expected = 0;
    if (!ReadCheckpoint(expected)) {
        FActive = false;
        FEndedAt = FSteps;
        return std::nullopt;
    }
    if (Hash == expected) {
        ++FMatched;
        return std::nullopt;
    }
    FActive = false;
    return FSteps;
}

void TReplayCheck::RewindTo(uint32_t Steps)
{
    if (!FLoaded || Steps >= FSteps)
        return;
    // The next checkpoint to compare is the first after Steps.
    const uint64_t passed = uint64_t{Steps} / FInterval + 1;
    const auto offset = static_cast<off_t>(ChecksumHeaderSize + ChecksumSize * passed);
    if (::lseek(FFile.Get(), offset, SEEK_SET) != offset)
        return;
    FBuffer.clear();
    FBufferPos = 0;
    FSteps = Steps;
    FMatched = static_cast<uint32_t>(std::min<uint64_t>(FMatched, passed));
    FEndedAt.reset();
    FActive = true;
}

// A read error ends the checkpoints as the end of the file does.
bool TReplayCheck::ReadCheckpoint(uint64_t& Hash)
{
    if (FBuffer.size() - FBufferPos < ChecksumSize) {
        FBuffer.resize(ReadBlockSize);
        std::string reason;
        FBuffer.resize(OB_ReadUpTo(FFile.Get(), FBuffer.data(), FBuffer.size(), reason));
        FBufferPos = 0;
        if (FBuffer.size() < ChecksumSize)
            return false;
    }
    Hash = GetLittleEndian(FBuffer.data() + FBufferPos, 8);
    FBufferPos += ChecksumSize;
    return true;
}

// ---------------------------------------------------------------- the session's

void TSessionChecksums::StartRecording(const std::string& Name, uint64_t Hash)
{
    Close();
    if (!CompanionFilesBelongBeside(Name))
        return;
    try {
        FWriter = std::make_unique<TChecksumWriter>(ChecksumFileName(Name), Hash);
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
    }
}

void TSessionChecksums::StartPlayback(const std::string& Name, uint64_t Hash)
{
    Close();
    FCheck = std::make_unique<TReplayCheck>(Name);
    if (!FCheck->Problem().empty())
        Report(FCheck->Problem());
    if (const auto step = FCheck->Begin(Hash))
        Report(DivergenceLine(*step));
}

void TSessionChecksums::AfterStep(const THashOfWorld& Hash)
{
    std::optional<uint64_t> known;
    const THashOfWorld once = [&] {
        if (!known)
            known = Hash();
        return *known;
    };
    if (FWriter)
        FWriter->AfterStep(once);
    if (!FCheck)
        return;
    if (const auto step = FCheck->AfterStep(once))
        Report(DivergenceLine(*step));
}

// A write that fails ends the checksums, not the recording.
void TSessionChecksums::Flush()
{
    if (!FWriter)
        return;
    try {
        FWriter->Flush();
    } catch (const std::exception& error) {
        ConsolePrint(std::string("Error: ") + error.what());
        FWriter.reset();
    }
}

void TSessionChecksums::CutTo(uint32_t Steps)
{
    if (FWriter)
        FWriter->CutTo(Steps);
}

void TSessionChecksums::RewindTo(uint32_t Steps)
{
    if (FCheck)
        FCheck->RewindTo(Steps);
}

void TSessionChecksums::Close()
{
    FWriter.reset();
    FCheck.reset();
}

}   // namespace orbel2
