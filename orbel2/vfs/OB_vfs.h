// File systems: one interface between the engine's resource loaders and
// wherever their files live. The engine keeps exactly one, FileSystem, a
// directory file system rooted at the current directory, from kernel start-up
// to shut-down. A handle belongs to whoever opened it and is closed through
// the same file system.
#pragma once

#include "orbel2/kernel/OB_Errors.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orbel2 {

class OB_EFileSystemError : public OB_EGeneric {
public:
    using OB_EGeneric::OB_EGeneric;
};

using TFileHandle = void*;

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    // A handle to the file, open for reading at its start.
    virtual TFileHandle Open(const std::string& Name) = 0;
    virtual bool Close(TFileHandle Handle) = 0;
    // Reads up to Count bytes from the current position; returns the number read.
    virtual uint32_t Read(TFileHandle Handle, void* Buffer, int64_t Count) = 0;
    virtual int64_t Size(TFileHandle Handle) = 0;
    // Copies the file to the disk file FileName (replaced if it exists, also
    // when it is the very file the handle reads), from wherever the handle
    // stands: the file's start for a handle just opened. A handle that can
    // seek is copied whole, from its start, and left where it stood; one
    // that cannot is copied from its position on and left at the file's end.
    virtual void ExtractToFile(TFileHandle Handle, const std::string& FileName);
    // A disk path at which the file's content can be read: here, a copy in
    // "_ob_temp" in the current directory, overwritten by the next call.
    virtual std::string LocalFileName(const std::string& Name);
    // The read position, in bytes from the file's start, and moving it. A
    // file system need not have them: by default a handle cannot seek,
    // Position answers -1 and Seek raises OB_EFileSystemError, and the four
    // calls above are all a file system must write.
    virtual int64_t Position(TFileHandle Handle);
    virtual void Seek(TFileHandle Handle, int64_t To);
};

// Files of one directory of the disk. Names beginning with '/' are absolute
// and used unchanged; every other name is appended to Root.
class TNormalFileSystem : public TFileSystem {
public:
    explicit TNormalFileSystem(const std::string& RootDirectory);

    const std::string& Root() const { return FRoot; }
    std::string ResolvePath(const std::string& Name) const;

    TFileHandle Open(const std::string& Name) override;
    bool Close(TFileHandle Handle) override;
    uint32_t Read(TFileHandle Handle, void* Buffer, int64_t Count) override;
    int64_t Size(TFileHandle Handle) override;
    std::string LocalFileName(const std::string& Name) override;
    int64_t Position(TFileHandle Handle) override;
    void Seek(TFileHandle Handle, int64_t To) override;

private:
    std::string FRoot;   // always ends in '/'
};

extern std::unique_ptr<TFileSystem> FileSystem;

void CreateFileSystem();
void FreeFileSystem();

}   // namespace orbel2
