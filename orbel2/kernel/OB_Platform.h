// The engine's one seam to the operating system: clocks, the keyboard's
// momentary state and memory figures. Everything the engine asks of the
// machine outside drawing goes through OB_Platform(), and tests replace it
// with OB_SetPlatform() to set the time, hold keys or fix memory figures.
#pragma once

#include <cstdint>

namespace orbel2 {

// The machine's memory, in the shape of the old MEMORYSTATUS record but held
// in 64 bits: a 32-bit field cannot hold today's memory sizes.
struct OB_TMemoryStatus {
    uint64_t dwLength = 0;
    uint64_t dwMemoryLoad = 0;   // percent of physical memory in use
    uint64_t dwTotalPhys = 0;
    uint64_t dwAvailPhys = 0;
    uint64_t dwTotalPageFile = 0;   // RAM plus swap: the commit limit
    uint64_t dwAvailPageFile = 0;
    uint64_t dwTotalVirtual = 0;   // the process's address-space limit
    uint64_t dwAvailVirtual = 0;
};

// Figures of the program's memory manager; those it cannot supply stay 0.
struct OB_THeapStatus {
    uint64_t AddrSpace = 0;
    uint64_t Uncommitted = 0;
    uint64_t Committed = 0;
    uint64_t Allocated = 0;
    uint64_t Free = 0;
    uint64_t FreeSmall = 0;
    uint64_t FreeBig = 0;
    uint64_t Unused = 0;
    uint64_t Overhead = 0;
    uint64_t ErrorCode = 0;
};

class OB_TPlatform {
public:
    virtual ~OB_TPlatform() = default;

    // High-resolution counter and its ticks per second.
    virtual int64_t PerformanceCounter() = 0;
    virtual int64_t PerformanceFrequency() = 0;
    // Milliseconds of a steady clock, truncated to 32 bits (it wraps).
    virtual uint32_t TickCount() = 0;
    // Whether the key with this Windows virtual-key code is down right now.
    virtual bool IsKeyDown(uint16_t virtualKey) = 0;
    virtual OB_TMemoryStatus MemoryStatus() = 0;
    virtual OB_THeapStatus HeapStatus() = 0;
    // Lets the thread sleep until an input event may be pending, at most
    // the given number of milliseconds. Used only while nothing is drawn.
    virtual void WaitForEvents(int timeoutMs) = 0;
    // Lets the thread sleep until PerformanceCounter reaches Counter;
    // returns at once when it already has. The frame cap paces with it.
    virtual void SleepUntil(int64_t Counter) = 0;
};

// The platform in force: the real one unless a test installed another.
OB_TPlatform& OB_Platform();
// Installs a replacement (not owned); nullptr restores the real platform.
void OB_SetPlatform(OB_TPlatform* platform);

// The operating system's services the engine lives on (its event queue and
// timers), brought up by the kernel's start-up and down by its shut-down.
void OB_StartPlatformServices();
void OB_StopPlatformServices();

}   // namespace orbel2
