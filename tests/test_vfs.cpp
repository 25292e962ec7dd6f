#include "vfs/OB_vfs.h"
#include "TestSupport.h"

#include <cstring>

class FileSystems : public TTempDirTest {};

namespace {

// A file system whose one file is served from memory.
class TMemoryFileSystem : public TFileSystem {
public:
    std::string Content;
    size_t Position = 0;
    TFileHandle Open(const std::string&) override { Position = 0; return this; }
    bool Close(TFileHandle) override { return true; }
    uint32_t Read(TFileHandle, void* buffer, int64_t count) override
    {
        const size_t n = std::min(static_cast<size_t>(count), Content.size() - Position);
        std::memcpy(buffer, Content.data() + Position, n);
        Position += n;
        return static_cast<uint32_t>(n);
    }
    int64_t Size(TFileHandle) override { return static_cast<int64_t>(Content.size()); }
};

} // namespace

TEST_F(FileSystems, OpensSizesAndReadsFilesUnderTheRootAndErrorsNameTheFullPath)
{
    EXPECT_EQ(TNormalFileSystem("data").Root(), "data/");
    std::filesystem::create_directories("textures/adir");
    WriteWholeFile("textures/a.png", "0123456789");
    TNormalFileSystem fs(".");
    EXPECT_EQ(fs.ResolvePath("/usr/share/a.png"), "/usr/share/a.png");
    TFileHandle handle = fs.Open("textures/a.png");
    EXPECT_EQ(fs.Size(handle), 10);
    char buffer[16] = {};
    EXPECT_EQ(fs.Read(handle, buffer, 4), 4u);
    EXPECT_EQ(fs.Read(handle, buffer + 4, 16), 6u);   // only what is left
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_TRUE(fs.Close(handle));
    EXPECT_EQ(fs.LocalFileName("textures/a.png"), "./textures/a.png");

    const std::string full = (Dir / "textures").string();
    EXPECT_EQ(ErrorText<OB_EFileSystemError>([&] { fs.Open("textures/missing.png"); }),
              "VFS Error. Cannot open file \"" + full + "/missing.png\". No such file or directory");
    EXPECT_EQ(ErrorText<OB_EFileSystemError>([&] { fs.Open("textures/adir"); }),
              "VFS Error. Cannot open file \"" + full + "/adir\". Is a directory");
    EXPECT_EQ(ErrorText<OB_EFileSystemError>([&] { fs.LocalFileName("textures/adir"); }),
              "VFS Error. File not found: \"./textures/adir\"");
}

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
