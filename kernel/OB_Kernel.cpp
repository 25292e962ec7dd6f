#include "kernel/OB_Kernel.h"

#include "console/OB_Console.h"
#include "console/OB_Logfile.h"
#include "kernel/OB_Visuals.h"
#include "video/OB_Font.h"
#include "video/OB_Video.h"
#include "vfs/OB_vfs.h"

#include <SDL.h>

namespace {

int64_t PerfFrequency = 0;
int64_t LastFrameTicks = 0;
int64_t NextSecondTicks = 0;
int32_t FrameCounter = 0;

// Stands in for COM: the event and timer subsystems live as long as the kernel.
constexpr Uint32 KernelSubsystems = SDL_INIT_EVENTS | SDL_INIT_TIMER;

} // namespace

TResourceManager::~TResourceManager()
{
    // Entries left here could no longer be released through the derived
    // class; derived destructors clear first.
}

int32_t TResourceManager::Add(std::unique_ptr<TResource> item)
{
    Items.push_back(std::move(item));
    return Count() - 1;
}

void TResourceManager::Release(TResource& item)
{
    ReleaseResource(item.Data);
}

void TResourceManager::Delete(int32_t index)
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    auto position = Items.begin() + index;
    Release(**position);
    Items.erase(position);
}

void TResourceManager::Clear()
{
    while (!Items.empty()) {
        Release(*Items.back());
        Items.pop_back();
    }
}

TResource* TResourceManager::Find(const std::string& name) const
{
    for (const auto& item : Items)
        if (item->Name == name)
            return item.get();
    return nullptr;
}

TResource* TResourceManager::Acquire(const std::string& name)
{
    if (TResource* found = Find(name)) {
        ++found->Count;
        return found;
    }
    void* data = nullptr;
    if (!LoadResource(name, data))
        return nullptr;
    auto item = std::make_unique<TResource>();
    item->Name = name;
    item->Data = data;
    item->Count = 1;
    return Items.at(static_cast<size_t>(Add(std::move(item)))).get();
}

void OB_Kernel_Init()
{
    SDL_InitSubSystem(KernelSubsystems);
    CreateFileSystem();
    LogInit();
    OB_Font_Init();
    CreateVisuals();
    ConsoleInit();
    LogWriteLine("Orbel2 Initialized");
    PerfFrequency = OB_Platform().PerformanceFrequency();
    LastFrameTicks = OB_Platform().PerformanceCounter();
}

void OB_Kernel_Finalize()
{
    LogWriteLine("Orbel2 Finalizing");
    ConsoleShutdown();
    OB_Font_Shutdown();
    FreeVisuals();
    FreeFileSystem();
    OB_Video_Close();
    LogShutdown();
    SDL_QuitSubSystem(KernelSubsystems);
}

void OB_Kernel_UpdateTimer()
{
    const int64_t now = OB_Platform().PerformanceCounter();
    if (now > NextSecondTicks) {
        OB_VideoInfo.FPS = FrameCounter;
        FrameCounter = 1;
        NextSecondTicks = now + PerfFrequency;
    } else {
        ++FrameCounter;
    }
    // Before OB_Kernel_Init the frequency is unknown; treat it as one tick
    // per second rather than divide by zero.
    const double frequency = PerfFrequency > 0 ? static_cast<double>(PerfFrequency) : 1.0;
    OB_VideoInfo.FrameTime = static_cast<double>(now - LastFrameTicks) / frequency;
    if (OB_VideoInfo.FrameTime > 1.0)
        OB_VideoInfo.FrameTime = 1.0;
    LastFrameTicks = now;
}

void OB_Kernel_GetStatus(OB_TSystemStatus& Status)
{
    const OB_THeapStatus heap = OB_Platform().HeapStatus();
    Status.HeapAddrSpace = heap.AddrSpace;
    Status.HeapUncommitted = heap.Uncommitted;
    Status.HeapCommitted = heap.Committed;
    Status.HeapAllocated = heap.Allocated;
    Status.HeapFree = heap.Free;
    Status.HeapFreeSmall = heap.FreeSmall;
    Status.HeapFreeBig = heap.FreeBig;
    Status.HeapUnused = heap.Unused;
    Status.HeapOverhead = heap.Overhead;
    Status.HeapErrorCode = heap.ErrorCode;
    Status.Memory = OB_Platform().MemoryStatus();
    if (OB_VideoInfo.Device != nullptr)
        Status.AvailTextureMem = OB_Video_AvailableTextureMemory();
}
