#include "vfs/OB_vfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

std::unique_ptr<TFileSystem> FileSystem;

namespace {

constexpr const char* TempFileName = "_ob_temp";

// An open read-only disk file; handles of TNormalFileSystem point to one.
struct TDiskFile {
    int Descriptor = -1;
    ~TDiskFile()
    {
        if (Descriptor >= 0)
            ::close(Descriptor);
    }
};

std::string FullPath(const std::string& path)
{
    std::error_code error;
    auto full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

std::string CannotMessage(const char* what, const std::string& path, int error)
{
    return std::string(what) + " \"" + FullPath(path) + "\". " + std::strerror(error);
}

TDiskFile& DiskFile(TFileHandle handle)
{
    return *static_cast<TDiskFile*>(handle);
}

void WriteAll(int descriptor, const char* data, size_t size, const std::string& path)
{
    while (size > 0) {
        ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(CannotMessage("Cannot write to file", path, errno));
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

} // namespace

void TFileSystem::ExtractToFile(TFileHandle handle, const std::string& fileName)
{
    int target = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (target < 0)
        throw EInOutError(CannotMessage("Cannot create file", fileName, errno));
    TDiskFile closer{target};
    std::vector<char> buffer(static_cast<size_t>(Size(handle)));
    const uint32_t got = Read(handle, buffer.data(), static_cast<int64_t>(buffer.size()));
    (void)got;  // the whole buffer is written, as the format of this copy says
    WriteAll(target, buffer.data(), buffer.size(), fileName);
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
    auto file = std::make_unique<TDiskFile>();
    // Opened without waiting, as a named pipe would hold the program until
    // another process opened its other end.
    file->Descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file->Descriptor < 0)
        throw OB_EFileSystemError("VFS Error. " + CannotMessage("Cannot open file", path, errno));
    // A directory opens read-only on Linux, but it is not a file to read;
    // nor are pipes and sockets, whose reads would wait.
    struct stat info {};
    if (::fstat(file->Descriptor, &info) != 0)
        throw OB_EFileSystemError("VFS Error. " + CannotMessage("Cannot open file", path, errno));
    if (S_ISDIR(info.st_mode))
        throw OB_EFileSystemError("VFS Error. " + CannotMessage("Cannot open file", path, EISDIR));
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        throw OB_EFileSystemError("VFS Error. Cannot open file \"" + FullPath(path) + "\". Not a regular file");
    ::fcntl(file->Descriptor, F_SETFL, ::fcntl(file->Descriptor, F_GETFL) & ~O_NONBLOCK);
    return file.release();
}

bool TNormalFileSystem::Close(TFileHandle handle)
{
    delete static_cast<TDiskFile*>(handle);
    return true;
}

uint32_t TNormalFileSystem::Read(TFileHandle handle, void* buffer, int64_t count)
{
    // Only the low 32 bits of the count are passed on.
    uint32_t left = static_cast<uint32_t>(count);
    char* target = static_cast<char*>(buffer);
    uint32_t total = 0;
    while (left > 0) {
        ssize_t got = ::read(DiskFile(handle).Descriptor, target + total, left);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += static_cast<uint32_t>(got);
        left -= static_cast<uint32_t>(got);
    }
    return total;
}

int64_t TNormalFileSystem::Size(TFileHandle handle)
{
    struct stat info {};
    if (::fstat(DiskFile(handle).Descriptor, &info) != 0)
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
