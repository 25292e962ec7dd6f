// A file name, any bytes, through the directory file system rooted at a
// scratch directory holding a few files: open, size, read, close, the disk
// name, and the base class's temporary copy.
#include "FuzzSupport.h"

#include "orbel2/vfs/OB_vfs.h"

#include <fstream>

using namespace orbel2;

namespace {

std::unique_ptr<TNormalFileSystem> Files;
std::unique_ptr<TNormalFileSystem> Copier;

// Uses the base class's LocalFileName, which copies the file to "_ob_temp".
class TCopyingFileSystem : public TNormalFileSystem {
public:
    using TNormalFileSystem::TNormalFileSystem;
    std::string LocalFileName(const std::string& name) override { return TFileSystem::LocalFileName(name); }
};

void Exercise(TFileSystem& files, const std::string& name)
{
    TFileHandle handle = nullptr;
    try {
        handle = files.Open(name);
    } catch (const OB_EFileSystemError&) {
        return;
    }
    const int64_t size = files.Size(handle);
    std::vector<char> buffer(size >= 0 && size < 64 * 1024 ? static_cast<size_t>(size) : 64 * 1024);
    if (size < 0 || files.Read(handle, buffer.data(), static_cast<int64_t>(buffer.size())) > buffer.size())
        std::abort();
    files.Close(handle);
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::filesystem::path scratch = fuzz::EnterScratchDir("vfs_name");
    std::filesystem::create_directories("root/sub");
    std::ofstream("root/a.png") << "not an image";
    std::ofstream("root/sub/b.txt") << "hello";
    std::ofstream("root/empty");
    Files = std::make_unique<TNormalFileSystem>((scratch / "root").string());
    Copier = std::make_unique<TCopyingFileSystem>("root");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    Exercise(*Files, name);
    try {
        if (Files->LocalFileName(name).empty())
            std::abort();
    } catch (const OB_EFileSystemError&) {
    }
    // The copy reads the whole file into memory: only names under the root.
    if ((name.empty() || name.front() != '/') && name.find("..") == std::string::npos) {
        try {
            Copier->LocalFileName(name);
        } catch (const OB_EGeneric&) {
        } catch (const EInOutError&) {
        }
    }
    return 0;
}
