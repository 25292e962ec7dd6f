// The kernel: starts and stops the engine's services in a fixed order, keeps
// the frame timer every session's timing rests on, takes the memory snapshot
// of the status report, and defines the engine's exception family and the
// resource registry base class.
#pragma once

#include "kernel/OB_Platform.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Base of the engine's own exceptions; never raised by itself.
class OB_EGeneric : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input/output failure of a disk file (the log, a recording): the message
// names the file and gives the system's reason.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a list's entries: the message names the index.
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// The snapshot that "res" prints. The platform's figures are held in 64 bits.
struct OB_TSystemStatus {
    uint64_t HeapAddrSpace = 0;
    uint64_t HeapUncommitted = 0;
    uint64_t HeapCommitted = 0;
    uint64_t HeapAllocated = 0;
    uint64_t HeapFree = 0;
    uint64_t HeapFreeSmall = 0;
    uint64_t HeapFreeBig = 0;
    uint64_t HeapUnused = 0;
    uint64_t HeapOverhead = 0;
    uint64_t HeapErrorCode = 0;
    OB_TMemoryStatus Memory;
    uint64_t AvailTextureMem = 0;
};

// One named resource held by a registry.
struct TResource {
    std::string Name;
    void* Data = nullptr;  // the resource itself (for textures, the texture)
    int32_t Count = 0;     // how many times it was asked for
};

// Registry of named resources. Deleting an entry, clearing the registry or
// destroying it first hands each entry's Data to ReleaseResource and then
// frees the entry; clearing goes from the last entry to the first.
// A derived class must call Clear() in its own destructor, since the base
// destructor can no longer reach the derived ReleaseResource.
class TResourceManager {
public:
    TResourceManager() = default;
    TResourceManager(const TResourceManager&) = delete;
    TResourceManager& operator=(const TResourceManager&) = delete;
    virtual ~TResourceManager();

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    TResource* GetResource(int32_t index) const { return Items.at(static_cast<size_t>(index)).get(); }
    int32_t Add(std::unique_ptr<TResource> item);
    // Releases and frees the entry at index; an index outside 0..Count() - 1
    // raises EListError and releases nothing.
    void Delete(int32_t index);
    void Clear();
    // The entry of that name, or nullptr.
    TResource* Find(const std::string& name) const;
    // The entry of that name with its Count raised by one; loads and adds it
    // through LoadResource when it is not there yet. nullptr when the load
    // reports failure; errors the loader raises pass through.
    TResource* Acquire(const std::string& name);

    virtual bool LoadResource(const std::string& name, void*& Data) = 0;
    virtual void ReleaseResource(void*& Data) = 0;

private:
    void Release(TResource& item);
    std::vector<std::unique_ptr<TResource>> Items;
};

void OB_Kernel_Init();
void OB_Kernel_Finalize();
// The frame timer, run after every presented frame: sets OB_VideoInfo.FPS
// and OB_VideoInfo.FrameTime (seconds since the previous frame, at most 1).
void OB_Kernel_UpdateTimer();
void OB_Kernel_GetStatus(OB_TSystemStatus& Status);
