// The browser's system platform. The page's clock is the only clock; the
// browser owns the thread, so nothing here may block: waiting for events
// returns at once, and the frame cap's sleep only notes its moment, before
// which the page's frame callback runs nothing.
#if defined(__EMSCRIPTEN__)
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/kernel/OB_SystemPlatform.h"

#include <SDL.h>
#include <emscripten/emscripten.h>
#include <emscripten/heap.h>
#include <malloc.h>

#include <algorithm>

namespace orbel2 {

namespace {

int64_t ResumeAt = 0;

class TWebPlatform final : public OB_TPlatform {
public:
    // emscripten_get_now: milliseconds, with microseconds or better.
    int64_t PerformanceCounter() override { return static_cast<int64_t>(emscripten_get_now() * 1'000'000.0); }
    int64_t PerformanceFrequency() override { return 1'000'000'000; }
    uint32_t TickCount() override { return static_cast<uint32_t>(static_cast<int64_t>(emscripten_get_now())); }

    bool IsKeyDown(uint16_t virtualKey) override { return OB_SDLKeyDown(virtualKey); }

    // The program's memory is the WebAssembly heap: "physical" is what it
    // may grow to, available what it has not grown to yet plus what malloc
    // holds free; there is no page file and no other address space.
    OB_TMemoryStatus MemoryStatus() override
    {
        OB_TMemoryStatus status;
        status.dwLength = sizeof(OB_TMemoryStatus);
        const uint64_t limit = emscripten_get_heap_max();
        const uint64_t size = emscripten_get_heap_size();
        const struct mallinfo mi = mallinfo();
        const uint64_t freeBytes = std::min<uint64_t>(static_cast<uint64_t>(mi.fordblks), size);
        const uint64_t used = size - freeBytes;
        status.dwTotalPhys = status.dwTotalPageFile = status.dwTotalVirtual = limit;
        status.dwAvailPhys = status.dwAvailPageFile = status.dwAvailVirtual = limit > used ? limit - used : 0;
        status.dwMemoryLoad = limit > 0 ? used * 100 / limit : 0;
        return status;
    }

    OB_THeapStatus HeapStatus() override
    {
        const struct mallinfo mi = mallinfo();
        OB_THeapStatus heap;
        heap.AddrSpace = emscripten_get_heap_size();
        heap.Committed = static_cast<uint64_t>(mi.arena);
        heap.Allocated = static_cast<uint64_t>(mi.uordblks);
        heap.Free = static_cast<uint64_t>(mi.fordblks);
        heap.Unused = static_cast<uint64_t>(mi.keepcost);
        return heap;
    }

    void WaitForEvents(int /*timeoutMs*/) override {}
    void SleepUntil(int64_t Counter) override { ResumeAt = Counter; }
};

}   // namespace

int64_t OB_WebPlatform_ResumeAt()
{
    return ResumeAt;
}

OB_TPlatform& OB_SystemPlatform()
{
    static TWebPlatform systemPlatform;
    return systemPlatform;
}

}   // namespace orbel2
#endif
