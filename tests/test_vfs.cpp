#include "vfs/OB_vfs.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

namespace {

class FileSystems : public TTempDirTest {};

std::string ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const OB_EFileSystemError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST_F(FileSystems, RootAlwaysEndsInOneSlashAndAbsoluteNamesPassUnchanged)
{
    EXPECT_EQ(TNormalFileSystem("data").Root(), "data/");
    EXPECT_EQ(TNormalFileSystem("data/").Root(), "data/");
    EXPECT_EQ(TNormalFileSystem(".").Root(), "./");
    TNormalFileSystem fs(".");
    EXPECT_EQ(fs.ResolvePath("textures/a.png"), "./textures/a.png");
    EXPECT_EQ(fs.ResolvePath("/usr/share/a.png"), "/usr/share/a.png");
    EXPECT_EQ(fs.ResolvePath("../x"), "./../x");
}

TEST_F(FileSystems, OpensSizesAndReadsFiles)
{
    std::filesystem::create_directory("textures");
    WriteWholeFile("textures/a.png", "0123456789");
    WriteWholeFile("empty", "");
    TNormalFileSystem fs(".");

    TFileHandle handle = fs.Open("textures/a.png");
    EXPECT_EQ(fs.Size(handle), 10);
    char buffer[16] = {};
    EXPECT_EQ(fs.Read(handle, buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(fs.Read(handle, buffer, 16), 6u);   // only what is left
    EXPECT_EQ(std::string(buffer, 6), "456789");
    // Only the low 32 bits of the count are passed on: 2^32 + 0 reads nothing.
    EXPECT_EQ(fs.Read(handle, buffer, int64_t(1) << 32), 0u);
    EXPECT_TRUE(fs.Close(handle));

    handle = fs.Open("empty");
    EXPECT_EQ(fs.Size(handle), 0);
    EXPECT_EQ(fs.Read(handle, buffer, 0), 0u);
    EXPECT_TRUE(fs.Close(handle));
    EXPECT_TRUE(fs.Close(nullptr));

    EXPECT_EQ(fs.LocalFileName("textures/a.png"), "./textures/a.png");
    EXPECT_EQ(fs.LocalFileName((Dir / "empty").string()), (Dir / "empty").string());
}

TEST_F(FileSystems, ErrorsNameTheFullPath)
{
    std::filesystem::create_directory("adir");
    TNormalFileSystem fs(".");
    EXPECT_EQ(ErrorText([&] { fs.Open("missing.png"); }),
              "VFS Error. Cannot open file \"" + (Dir / "missing.png").string() + "\". No such file or directory");
    EXPECT_EQ(ErrorText([&] { fs.Open("adir"); }),
              "VFS Error. Cannot open file \"" + (Dir / "adir").string() + "\". Is a directory");
    EXPECT_EQ(ErrorText([&] { fs.LocalFileName("adir"); }), "VFS Error. File not found: \"./adir\"");
    EXPECT_EQ(ErrorText([&] { fs.LocalFileName("nothing"); }), "VFS Error. File not found: \"./nothing\"");
}

namespace {

// A file system whose files are not on disk, served from memory.
class TMemoryFileSystem : public TFileSystem {
public:
    std::string Content = "bytes\0with a nul";
    size_t Position = 0;
    TFileHandle Open(const std::string&) override { Position = 0; return this; }
    bool Close(TFileHandle) override { return true; }
    uint32_t Read(TFileHandle, void* buffer, int64_t count) override
    {
        size_t n = std::min(static_cast<size_t>(count), Content.size() - Position);
        std::memcpy(buffer, Content.data() + Position, n);
        Position += n;
        return static_cast<uint32_t>(n);
    }
    int64_t Size(TFileHandle) override { return static_cast<int64_t>(Content.size()); }
};

} // namespace

TEST_F(FileSystems, BaseClassServesAnyFileThroughTheTemporaryCopy)
{
    TMemoryFileSystem fs;
    fs.Content = std::string("bytes\0with a nul", 16);
    EXPECT_EQ(fs.LocalFileName("whatever"), "_ob_temp");
    EXPECT_EQ(ReadWholeFile("_ob_temp"), fs.Content);

    fs.Content = "short";
    EXPECT_EQ(fs.LocalFileName("again"), "_ob_temp");
    EXPECT_EQ(ReadWholeFile("_ob_temp"), "short");   // overwritten, not appended
}

TEST_F(FileSystems, ExtractToAnUncreatableFileRaises)
{
    WriteWholeFile("source", "abc");
    TNormalFileSystem fs(".");
    TFileHandle handle = fs.Open("source");
    EXPECT_THROW(fs.ExtractToFile(handle, "no/such/dir/out"), EInOutError);
    EXPECT_THROW(fs.ExtractToFile(handle, "/dev/full"), EInOutError);
    fs.Close(handle);
}
