// A platform whose clock, keyboard and memory figures a test or a fuzz
// target sets: time moves only when it is told to.
#pragma once

#include "orbel2/kernel/OB_FrameTimer.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/kernel/OB_Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

namespace orbel2 {

class TFakePlatform : public OB_TPlatform {
public:
    int64_t Counter = 0;   // in microseconds
    uint32_t Ticks = 0;
    std::set<uint16_t> KeysDown;
    OB_TMemoryStatus Memory;
    OB_THeapStatus Heap;
    int Waits = 0;
    int Sleeps = 0;

    int64_t PerformanceCounter() override { return Counter; }
    int64_t PerformanceFrequency() override { return 1'000'000; }
    uint32_t TickCount() override { return Ticks; }
    bool IsKeyDown(uint16_t virtualKey) override { return KeysDown.count(virtualKey) != 0; }
    OB_TMemoryStatus MemoryStatus() override { return Memory; }
    OB_THeapStatus HeapStatus() override { return Heap; }
    void WaitForEvents(int) override { ++Waits; }
    // A sleep is the clock moving on to its end; the frame timer does not run.
    void SleepUntil(int64_t Target) override
    {
        ++Sleeps;
        Counter = std::max(Counter, Target);
    }

    // Moves the clock on by Seconds and runs the frame timer, as the
    // present of a frame that took that long would.
    void Advance(double Seconds)
    {
        Counter += std::llround(Seconds * 1e6);
        OB_Kernel_UpdateTimer();
    }

    // A player at random: Seed moves on one draw and the arrow keys held
    // are those its bits 16 to 19 pick.
    void HoldArrowsAtRandom(uint32_t& Seed)
    {
        Seed = Seed * 1103515245u + 12345u;
        KeysDown.clear();
        for (uint16_t key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            if ((Seed >> (16 + key - VK_LEFT)) & 1)
                KeysDown.insert(key);
    }
};

// Installs the fake platform for the life of the object.
struct TFakePlatformScope {
    TFakePlatformScope() { OB_SetPlatform(&Platform); }
    ~TFakePlatformScope() { OB_SetPlatform(nullptr); }
    TFakePlatform Platform;
};

}   // namespace orbel2
