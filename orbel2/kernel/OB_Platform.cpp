#include "orbel2/kernel/OB_Platform.h"

#include "orbel2/kernel/OB_SystemPlatform.h"

#include <SDL.h>

// Linux's system platform; Windows and the browser have theirs in
// OB_PlatformWindows.cpp and OB_PlatformWeb.cpp.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include "orbel2/kernel/OB_KeyCodes.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace orbel2 {

namespace {

uint64_t ReadKiBField(const char* path, const std::string& field)
{
    std::ifstream in(path);
    std::string name;
    uint64_t value = 0;
    std::string unit;
    while (in >> name) {
        if (name == field) {
            in >> value;
            return value * 1024;
        }
        std::getline(in, unit);
    }
    return 0;
}

class TSystemPlatform final : public OB_TPlatform {
public:
    int64_t PerformanceCounter() override
    {
        using namespace std::chrono;
        return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    }

    int64_t PerformanceFrequency() override { return 1'000'000'000; }

    uint32_t TickCount() override
    {
        using namespace std::chrono;
        auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        return static_cast<uint32_t>(ms);
    }

    bool IsKeyDown(uint16_t virtualKey) override { return OB_SDLKeyDown(virtualKey); }

    OB_TMemoryStatus MemoryStatus() override
    {
        OB_TMemoryStatus status;
        status.dwLength = sizeof(OB_TMemoryStatus);
        struct sysinfo info {};
        if (sysinfo(&info) == 0) {
            const uint64_t unit = info.mem_unit;
            status.dwTotalPhys = uint64_t(info.totalram) * unit;
            status.dwTotalPageFile = (uint64_t(info.totalram) + info.totalswap) * unit;
            status.dwAvailPageFile = (uint64_t(info.freeram) + info.freeswap) * unit;
        }
        status.dwAvailPhys = ReadKiBField("/proc/meminfo", "MemAvailable:");
        if (status.dwTotalPhys > 0 && status.dwAvailPhys <= status.dwTotalPhys)
            status.dwMemoryLoad = (status.dwTotalPhys - status.dwAvailPhys) * 100 / status.dwTotalPhys;
        const uint64_t commitLimit = ReadKiBField("/proc/meminfo", "CommitLimit:");
        const uint64_t committed = ReadKiBField("/proc/meminfo", "Committed_AS:");
        if (commitLimit > 0) {
            status.dwTotalPageFile = std::max(status.dwTotalPageFile, commitLimit);
            status.dwAvailPageFile = status.dwTotalPageFile > committed ? status.dwTotalPageFile - committed : 0;
        }
        // Virtual: the address-space limit (the x86-64 user half when
        // unlimited) and what of it the process has not mapped yet.
        uint64_t limit = uint64_t(1) << 47;
        struct rlimit rl {};
        if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
            limit = rl.rlim_cur;
        const uint64_t used = ReadKiBField("/proc/self/status", "VmSize:");
        status.dwTotalVirtual = limit;
        status.dwAvailVirtual = limit > used ? limit - used : 0;
        return status;
    }

    OB_THeapStatus HeapStatus() override
    {
        const struct mallinfo2 mi = mallinfo2();
        OB_THeapStatus heap;
        heap.AddrSpace = mi.arena + mi.hblkhd;
        heap.Committed = mi.arena + mi.hblkhd;
        heap.Allocated = mi.uordblks + mi.hblkhd;
        heap.Free = mi.fordblks;
        heap.FreeSmall = mi.fsmblks;
        heap.FreeBig = mi.fordblks > mi.fsmblks ? mi.fordblks - mi.fsmblks : 0;
        heap.Unused = mi.keepcost;
        return heap;
    }

    void WaitForEvents(int timeoutMs) override
    {
        if (SDL_WasInit(SDL_INIT_EVENTS) != 0)
            SDL_WaitEventTimeout(nullptr, timeoutMs);
        else
            SDL_Delay(static_cast<Uint32>(timeoutMs));
    }

    // The counter is the steady clock in nanoseconds, so the sleep ends on
    // the very clock the frame timer reads.
    void SleepUntil(int64_t Counter) override
    {
        using namespace std::chrono;
        std::this_thread::sleep_until(
            steady_clock::time_point(duration_cast<steady_clock::duration>(nanoseconds(Counter))));
    }
};

}   // namespace

OB_TPlatform& OB_SystemPlatform()
{
    static TSystemPlatform systemPlatform;
    return systemPlatform;
}

}   // namespace orbel2
#endif

namespace orbel2 {

namespace {

OB_TPlatform* CurrentPlatform = nullptr;

}   // namespace

OB_TPlatform& OB_Platform()
{
    return CurrentPlatform != nullptr ? *CurrentPlatform : OB_SystemPlatform();
}

void OB_SetPlatform(OB_TPlatform* platform)
{
    CurrentPlatform = platform;
}

namespace {

constexpr Uint32 PlatformServices = SDL_INIT_EVENTS | SDL_INIT_TIMER;

}   // namespace

void OB_StartPlatformServices()
{
    SDL_InitSubSystem(PlatformServices);
}

void OB_StopPlatformServices()
{
    SDL_QuitSubSystem(PlatformServices);
}

}   // namespace orbel2
