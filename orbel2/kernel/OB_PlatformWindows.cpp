// Windows' system platform: the calls the engine's design was written
// against. <windows.h> stays inside this file, lean and without its min and
// max macros; its VK_ and WM_ names would clash with the engine's own.
#if defined(_WIN32)
#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/kernel/OB_SystemPlatform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <SDL.h>

namespace orbel2 {

namespace {

class TWindowsPlatform final : public OB_TPlatform {
public:
    int64_t PerformanceCounter() override
    {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        return counter.QuadPart;
    }

    int64_t PerformanceFrequency() override
    {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }

    uint32_t TickCount() override { return GetTickCount(); }

    // The engine's key codes are Windows' virtual-key codes.
    bool IsKeyDown(uint16_t virtualKey) override { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

    OB_TMemoryStatus MemoryStatus() override
    {
        OB_TMemoryStatus status;
        status.dwLength = sizeof(OB_TMemoryStatus);
        MEMORYSTATUSEX windows{};
        windows.dwLength = sizeof(windows);
        if (!GlobalMemoryStatusEx(&windows))
            return status;
        status.dwMemoryLoad = windows.dwMemoryLoad;
        status.dwTotalPhys = windows.ullTotalPhys;
        status.dwAvailPhys = windows.ullAvailPhys;
        status.dwTotalPageFile = windows.ullTotalPageFile;
        status.dwAvailPageFile = windows.ullAvailPageFile;
        status.dwTotalVirtual = windows.ullTotalVirtual;
        status.dwAvailVirtual = windows.ullAvailVirtual;
        return status;
    }

    // The C runtime's heap offers no cheap summary: every figure stays 0.
    OB_THeapStatus HeapStatus() override { return {}; }

    void WaitForEvents(int timeoutMs) override
    {
        if (SDL_WasInit(SDL_INIT_EVENTS) != 0)
            SDL_WaitEventTimeout(nullptr, timeoutMs);
        else
            Sleep(static_cast<DWORD>(timeoutMs));
    }

    // Sleep is coarse (a timer tick, often 1 to 15.6 ms), so it is asked for
    // the whole milliseconds but one and the rest is waited out by yielding.
    void SleepUntil(int64_t Counter) override
    {
        const int64_t frequency = PerformanceFrequency();
        for (int64_t now = PerformanceCounter(); now < Counter; now = PerformanceCounter()) {
            const int64_t milliseconds = (Counter - now) * 1000 / frequency;
            Sleep(milliseconds > 1 ? static_cast<DWORD>(milliseconds - 1) : 0);
        }
    }
};

}   // namespace

OB_TPlatform& OB_SystemPlatform()
{
    static TWindowsPlatform systemPlatform;
    return systemPlatform;
}

}   // namespace orbel2
#endif
