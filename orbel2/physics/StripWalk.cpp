#include "orbel2/physics/StripWalk.h"

#include <algorithm>

namespace orbel2 {

namespace {

// Spins before a strip goes to sleep: the row waited for is usually being
// worked on by a running thread and done within microseconds.
constexpr int SpinsBeforeSleep = 4000;

}   // namespace

void TStrips::Allocate(unsigned Strips)
{
    const size_t room = std::max<size_t>(Strips, 8);
    Done = std::make_unique<std::atomic<uint32_t>[]>(room);
    WaitingOn = std::make_unique<std::atomic<uint32_t>[]>(room);
    WaitingFor = std::make_unique<std::atomic<uint32_t>[]>(room);
    Waits.resize(room);
    for (size_t s = 0; s < room; ++s)
        WaitingOn[s].store(NoStrip);
}

// The waiter says what it waits for, then raises Sleepers, then looks at
// the row count; the finisher stores the count, then looks at Sleepers and
// what each sleeper waits for (all sequentially consistent). So either the
// finisher sees the sleeper and wakes it under the lock, or the sleeper
// sees the new count.
void TStrips::WaitUntil(unsigned Waiter, unsigned Strip, uint32_t Needed)
{
    for (int spin = 0; spin < SpinsBeforeSleep; ++spin) {
        if (Done[Strip].load(std::memory_order_acquire) >= Needed)
            return;
    }
    WaitingFor[Waiter].store(Needed);
    WaitingOn[Waiter].store(Strip);
    Sleepers.fetch_add(1);
    {
        std::unique_lock<std::mutex> guard(SleepLock);
        Progress.wait(guard, [&] { return Done[Strip].load() >= Needed; });
    }
    Sleepers.fetch_sub(1);
    WaitingOn[Waiter].store(NoStrip);
}

void TStrips::FinishRow(unsigned Strip, uint32_t RowsDone)
{
    Done[Strip].store(RowsDone);
    if (Sleepers.load() == 0)
        return;
    bool wanted = false;
    for (unsigned w = 0; w < Count; ++w)
        wanted = wanted || (WaitingOn[w].load() == Strip && WaitingFor[w].load() <= RowsDone);
    if (!wanted)
        return;
    { std::lock_guard<std::mutex> guard(SleepLock); }
    Progress.notify_all();
}

}   // namespace orbel2
