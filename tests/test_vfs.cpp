#include "TestSupport.h"
#include "orbel2/vfs/OB_vfs.h"

#include <cstring>
#include <map>

using namespace orbel2;

class FileSystems : public TTempDirTest {};

// Keeps the base class's LocalFileName, which copies the file to "_ob_temp".
class TCopyingFileSystem : public TNormalFileSystem {
public:
    using TNormalFileSystem::TNormalFileSystem;
    std::string LocalFileName(const std::string& name) override { return TFileSystem::LocalFileName(name); }
};

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
    const std::string withNul("bytes\0with a nul", 16);
    WriteWholeFile("long", withNul);
    WriteWholeFile("short", "short");
    TCopyingFileSystem fs(".");
    EXPECT_EQ(fs.LocalFileName("long"), "_ob_temp");
    EXPECT_EQ(ReadWholeFile("_ob_temp"), withNul);
    fs.LocalFileName("short");
    EXPECT_EQ(ReadWholeFile("_ob_temp"), "short");   // overwritten, not appended
}

// The copy holds exactly the file's bytes wherever the reader stood, leaves
// the reader where it stood, and never eats the file it copies from, even
// when that file is the copy itself.
TEST_F(FileSystems, CopiesHoldExactlyTheFilesBytes)
{
    WriteWholeFile("data", "0123456789");
    TCopyingFileSystem fs(".");
    TFileHandle handle = fs.Open("data");
    char buffer[4] = {};
    ASSERT_EQ(fs.Read(handle, buffer, 4), 4u);
    fs.ExtractToFile(handle, "copy");
    EXPECT_EQ(ReadWholeFile("copy"), "0123456789");
    EXPECT_EQ(fs.Read(handle, buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "45");
    fs.Close(handle);

    EXPECT_EQ(fs.LocalFileName("data"), "_ob_temp");
    EXPECT_EQ(fs.LocalFileName("_ob_temp"), "_ob_temp");
    EXPECT_EQ(ReadWholeFile("_ob_temp"), "0123456789");
    EXPECT_FALSE(std::filesystem::exists("_ob_temp.part"));
}

// A file system written to the four calls alone, over files held in memory:
// its handles cannot seek.
class TMemoryFileSystem : public TFileSystem {
public:
    std::map<std::string, std::string> Files;

    TFileHandle Open(const std::string& Name) override { return new TReader{Files.at(Name), 0}; }
    bool Close(TFileHandle Handle) override
    {
        delete static_cast<TReader*>(Handle);
        return true;
    }
    uint32_t Read(TFileHandle Handle, void* Buffer, int64_t Count) override
    {
        TReader& reader = *static_cast<TReader*>(Handle);
        const size_t got = std::min(static_cast<size_t>(Count), reader.Bytes.size() - reader.At);
        std::memcpy(Buffer, reader.Bytes.data() + reader.At, got);
        reader.At += got;
        return static_cast<uint32_t>(got);
    }
    int64_t Size(TFileHandle Handle) override { return static_cast<int64_t>(static_cast<TReader*>(Handle)->Bytes.size()); }

private:
    struct TReader {
        std::string Bytes;
        size_t At;
    };
};

TEST_F(FileSystems, AFileSystemOfFourCallsCopiesFromWhereItsHandleStands)
{
    TMemoryFileSystem fs;
    fs.Files["data"] = "0123456789";
    TFileHandle handle = fs.Open("data");
    EXPECT_EQ(fs.Position(handle), -1);
    EXPECT_EQ(ErrorText<OB_EFileSystemError>([&] { fs.Seek(handle, 0); }), "VFS Error. This file system cannot seek");
    char buffer[4] = {};
    ASSERT_EQ(fs.Read(handle, buffer, 3), 3u);
    fs.ExtractToFile(handle, "rest");
    EXPECT_EQ(ReadWholeFile("rest"), "3456789");
    EXPECT_EQ(fs.Read(handle, buffer, 4), 0u);   // the copy read it to its end
    fs.Close(handle);

    EXPECT_EQ(fs.LocalFileName("data"), "_ob_temp");   // a handle just opened: the whole file
    EXPECT_EQ(ReadWholeFile("_ob_temp"), "0123456789");
}

TEST_F(FileSystems, DiskFilesSeekAndRefuseASeekBeforeTheirStart)
{
    WriteWholeFile("data", "0123456789");
    TNormalFileSystem fs(".");
    TFileHandle handle = fs.Open("data");
    char buffer[4] = {};
    ASSERT_EQ(fs.Read(handle, buffer, 4), 4u);
    EXPECT_EQ(fs.Position(handle), 4);
    fs.Seek(handle, 7);
    ASSERT_EQ(fs.Read(handle, buffer, 4), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(ErrorText<OB_EFileSystemError>([&] { fs.Seek(handle, -1); }), "VFS Error. Cannot seek: Invalid argument");
    EXPECT_EQ(fs.Position(handle), 10);
    fs.Close(handle);
}
