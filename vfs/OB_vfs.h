// File systems: one interface between the engine's resource loaders and
// wherever their files live. The engine keeps exactly one, FileSystem, a
// directory file system rooted at the current directory, from kernel start-up
// to shut-down. A handle belongs to whoever opened it and is closed through
// the same file system.
#pragma once

#include "kernel/OB_Errors.h"

#include <cstdint>
#include <memory>
#include <string>

class OB_EFileSystemError : public OB_EGeneric {
public:
    using OB_EGeneric::OB_EGeneric;
};

using TFileHandle = void*;

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    // A handle to the file, open for reading at its start.
    virtual TFileHandle Open(const std::string& name) = 0;
    virtual bool Close(TFileHandle handle) = 0;
    // Reads up to count bytes from the current position; returns the number read.
    virtual uint32_t Read(TFileHandle handle, void* buffer, int64_t count) = 0;
    virtual int64_t Size(TFileHandle handle) = 0;
    // Writes exactly the file's bytes, whatever the handle's position, to the
    // disk file fileName (replaced if it exists, also when it is the very
    // file the handle reads). The handle stays open where it was.
    virtual void ExtractToFile(TFileHandle handle, const std::string& fileName);
    // A disk path at which the file's content can be read: here, a copy in
    // "_ob_temp" in the current directory, overwritten by the next call.
    virtual std::string LocalFileName(const std::string& name);
    // The read position, in bytes from the file's start, and moving it.
    virtual int64_t Position(TFileHandle handle) = 0;
    virtual void Seek(TFileHandle handle, int64_t position) = 0;
};

// Files of one directory of the disk. Names beginning with '/' are absolute
// and used unchanged; every other name is appended to Root.
class TNormalFileSystem : public TFileSystem {
public:
    explicit TNormalFileSystem(const std::string& rootDirectory);

    const std::string& Root() const { return FRoot; }
    std::string ResolvePath(const std::string& name) const;

    TFileHandle Open(const std::string& name) override;
    bool Close(TFileHandle handle) override;
    uint32_t Read(TFileHandle handle, void* buffer, int64_t count) override;
    int64_t Size(TFileHandle handle) override;
    std::string LocalFileName(const std::string& name) override;
    int64_t Position(TFileHandle handle) override;
    void Seek(TFileHandle handle, int64_t position) override;

private:
    std::string FRoot;   // always ends in '/'
};

extern std::unique_ptr<TFileSystem> FileSystem;

void CreateFileSystem();
void FreeFileSystem();
