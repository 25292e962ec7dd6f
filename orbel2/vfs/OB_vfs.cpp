#include "orbel2/vfs/OB_vfs.h"

#include "orbel2/kernel/OB_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace orbel2 {

std::unique_ptr<TFileSystem> FileSystem;

namespace {

constexpr const char* TempFileName = "_ob_temp";
constexpr size_t CopyBlockSize = 64 * 1024;

// Handles of TNormalFileSystem point to the open file's descriptor.
TFileDescriptor& DiskFile(TFileHandle Handle)
{
    return *static_cast<TFileDescriptor*>(Handle);
}

}   // namespace

// The copy is written beside FileName and then takes its name, so that the
// file being read is never cut short under the reader, even when it is
// FileName itself.
void TFileSystem::ExtractToFile(TFileHandle Handle, const std::string& FileName)
{
    const std::string partName = FileName + ".part";
    std::string reason;
    const TFileDescriptor target = OB_OpenFile(partName, O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!target.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", FileName, reason));
    const int64_t position = Position(Handle);
    const bool seekable = position >= 0;
    if (seekable)
        Seek(Handle, 0);
    std::vector<char> block(CopyBlockSize);
    bool written = true;
    while (written) {
        const uint32_t got = Read(Handle, block.data(), static_cast<int64_t>(block.size()));
        if (got == 0)
            break;
        written = OB_WriteAll(target.Get(), block.data(), got, reason);
    }
    if (seekable)
        Seek(Handle, position);
    // std::filesystem::rename replaces an existing FileName on Windows too.
    std::error_code renamed;
    if (written)
        std::filesystem::rename(partName, FileName, renamed);
    if (written && !renamed)
        return;
    if (written)
        reason = renamed.message();
    std::remove(partName.c_str());
    throw EInOutError(OB_FileErrorText(written ? "Cannot create file" : "Cannot write to file", FileName, reason));
}

std::string TFileSystem::LocalFileName(const std::string& Name)
{
    TFileHandle handle = Open(Name);
    try {
        ExtractToFile(handle, TempFileName);
    } catch (...) {
        Close(handle);
        throw;
    }
    Close(handle);
    return TempFileName;
}

int64_t TFileSystem::Position(TFileHandle /*Handle*/)
{
    return -1;
}

void TFileSystem::Seek(TFileHandle /*Handle*/, int64_t /*To*/)
{
    throw OB_EFileSystemError("VFS Error. This file system cannot seek");
}

TNormalFileSystem::TNormalFileSystem(const std::string& rootDirectory) : FRoot(rootDirectory)
{
    if (FRoot.empty() || FRoot.back() != '/')
        FRoot += '/';
}

std::string TNormalFileSystem::ResolvePath(const std::string& Name) const
{
    if (!Name.empty() && Name.front() == '/')
        return Name;
    return FRoot + Name;
}

TFileHandle TNormalFileSystem::Open(const std::string& Name)
{
    const std::string path = ResolvePath(Name);
    std::string reason;
    auto file = std::make_unique<TFileDescriptor>(OB_OpenFile(path, O_RDONLY, reason));
    if (!file->IsOpen())
        throw OB_EFileSystemError("VFS Error. " + OB_FileErrorText("Cannot open file", path, reason));
    return file.release();
}

bool TNormalFileSystem::Close(TFileHandle Handle)
{
    delete static_cast<TFileDescriptor*>(Handle);
    return true;
}

uint32_t TNormalFileSystem::Read(TFileHandle Handle, void* Buffer, int64_t Count)
{
    // Only the low 32 bits of the Count are passed on.
    std::string ignored;
    return static_cast<uint32_t>(OB_ReadUpTo(DiskFile(Handle).Get(), Buffer, static_cast<uint32_t>(Count), ignored));
}

int64_t TNormalFileSystem::Size(TFileHandle Handle)
{
    struct stat info {};
    if (::fstat(DiskFile(Handle).Get(), &info) != 0)
        return 0;
    return static_cast<int64_t>(info.st_size);
}

std::string TNormalFileSystem::LocalFileName(const std::string& Name)
{
    const std::string path = ResolvePath(Name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw OB_EFileSystemError("VFS Error. File not found: " + OB_QuotedName(path));
    return path;
}

int64_t TNormalFileSystem::Position(TFileHandle Handle)
{
    // -1 for a file that cannot seek, such as a named pipe.
    const off_t position = ::lseek(DiskFile(Handle).Get(), 0, SEEK_CUR);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

void TNormalFileSystem::Seek(TFileHandle Handle, int64_t To)
{
    if (::lseek(DiskFile(Handle).Get(), static_cast<off_t>(To), SEEK_SET) < 0)
        throw OB_EFileSystemError("VFS Error. Cannot seek: " + std::string(std::strerror(errno)));
}

void CreateFileSystem()
{
    FileSystem = std::make_unique<TNormalFileSystem>(".");
}

void FreeFileSystem()
{
    FileSystem.reset();
}

}   // namespace orbel2
