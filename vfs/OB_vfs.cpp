#include "vfs/OB_vfs.h"

#include "kernel/OB_Files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

std::unique_ptr<TFileSystem> FileSystem;

namespace {

constexpr const char* TempFileName = "_ob_temp";

// Handles of TNormalFileSystem point to the open file's descriptor.
TFileDescriptor& DiskFile(TFileHandle handle)
{
    return *static_cast<TFileDescriptor*>(handle);
}

} // namespace

void TFileSystem::ExtractToFile(TFileHandle handle, const std::string& fileName)
{
    std::string reason;
    const TFileDescriptor target = OB_OpenFile(fileName, O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!target.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", fileName, reason));
    std::vector<char> buffer(static_cast<size_t>(Size(handle)));
    Read(handle, buffer.data(), static_cast<int64_t>(buffer.size()));
    // The whole buffer is written, as much as the file's size says.
    if (!OB_WriteAll(target.Get(), buffer.data(), buffer.size(), reason))
        throw EInOutError(OB_FileErrorText("Cannot write to file", fileName, reason));
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

void CreateFileSystem()
{
    FileSystem = std::make_unique<TNormalFileSystem>(".");
}

void FreeFileSystem()
{
    FileSystem.reset();
}
