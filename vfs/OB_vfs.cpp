#include "vfs/OB_vfs.h"

#include "kernel/OB_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

std::unique_ptr<TFileSystem> FileSystem;

namespace {

constexpr const char* TempFileName = "_ob_temp";
constexpr size_t CopyBlockSize = 64 * 1024;

// Handles of TNormalFileSystem point to the open file's descriptor.
TFileDescriptor& DiskFile(TFileHandle handle)
{
    return *static_cast<TFileDescriptor*>(handle);
}

}   // namespace

// The copy is written beside fileName and then takes its name, so that the
// file being read is never cut short under the reader, even when it is
// fileName itself.
void TFileSystem::ExtractToFile(TFileHandle handle, const std::string& fileName)
{
    const std::string partName = fileName + ".part";
    std::string reason;
    const TFileDescriptor target = OB_OpenFile(partName, O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!target.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", fileName, reason));
    const int64_t position = Position(handle);
    Seek(handle, 0);
    std::vector<char> block(CopyBlockSize);
    bool written = true;
    while (written) {
        const uint32_t got = Read(handle, block.data(), static_cast<int64_t>(block.size()));
        if (got == 0)
            break;
        written = OB_WriteAll(target.Get(), block.data(), got, reason);
    }
    Seek(handle, position);
    if (written && std::rename(partName.c_str(), fileName.c_str()) == 0)
        return;
    if (written)
        reason = std::strerror(errno);
    std::remove(partName.c_str());
    throw EInOutError(OB_FileErrorText(written ? "Cannot create file" : "Cannot write to file", fileName, reason));
}

std::string TFileSystem::LocalFileName(const std::string& name)
{
    TFileHandle handle = Open(name);
    try {
        ExtractToFile(handle, TempFileName);
    } catch (...) {
        Close(handle);
        throw;
    }
    Close(handle);
    return TempFileName;
}

TNormalFileSystem::TNormalFileSystem(const std::string& rootDirectory) : FRoot(rootDirectory)
{
    if (FRoot.empty() || FRoot.back() != '/')
        FRoot += '/';
}

std::string TNormalFileSystem::ResolvePath(const std::string& name) const
{
    if (!name.empty() && name.front() == '/')
        return name;
    return FRoot + name;
}

TFileHandle TNormalFileSystem::Open(const std::string& name)
{
    const std::string path = ResolvePath(name);
    std::string reason;
    auto file = std::make_unique<TFileDescriptor>(OB_OpenFile(path, O_RDONLY, reason));
    if (!file->IsOpen())
        throw OB_EFileSystemError("VFS Error. " + OB_FileErrorText("Cannot open file", path, reason));
    return file.release();
}

bool TNormalFileSystem::Close(TFileHandle handle)
{
    delete static_cast<TFileDescriptor*>(handle);
    return true;
}

uint32_t TNormalFileSystem::Read(TFileHandle handle, void* buffer, int64_t count)
{
    // Only the low 32 bits of the count are passed on.
    std::string ignored;
    return static_cast<uint32_t>(OB_ReadUpTo(DiskFile(handle).Get(), buffer, static_cast<uint32_t>(count), ignored));
}

int64_t TNormalFileSystem::Size(TFileHandle handle)
{
    struct stat info {};
    if (::fstat(DiskFile(handle).Get(), &info) != 0)
        return 0;
    return static_cast<int64_t>(info.st_size);
}

std::string TNormalFileSystem::LocalFileName(const std::string& name)
{
    const std::string path = ResolvePath(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw OB_EFileSystemError("VFS Error. File not found: \"" + path + "\"");
    return path;
}

int64_t TNormalFileSystem::Position(TFileHandle handle)
{
    const off_t position = ::lseek(DiskFile(handle).Get(), 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<int64_t>(position);
}

void TNormalFileSystem::Seek(TFileHandle handle, int64_t position)
{
    ::lseek(DiskFile(handle).Get(), static_cast<off_t>(position), SEEK_SET);
}

void CreateFileSystem()
{
    FileSystem = std::make_unique<TNormalFileSystem>(".");
}

void FreeFileSystem()
{
    FileSystem.reset();
}
