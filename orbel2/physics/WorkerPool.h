// A small pool of worker threads for the physics step: started once, asleep
// on a condition variable between runs (no spinning while idle), and woken
// for a run of tasks in which the calling thread works too. Where threads
// are not available (a build without them, or a system that refuses to
// start one) every task runs on the calling thread.
//
// Rule: a run's tasks must write only their own data, so that whichever
// thread runs a task, and in whatever order, the results are the same bits.
// One run at a time, from the thread that owns the pool. Tasks may wait for
// each other only if a run has no more tasks than Workers(): every thread
// joins every run that is open when it wakes, and holds one task at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orbel2 {

class TWorkerPool {
public:
    TWorkerPool() = default;
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    // Count threads in all, the caller's included; 1 stops every worker.
    // Fewer are kept if the system refuses to start more.
    void SetWorkers(unsigned Count);
    unsigned Workers() const { return static_cast<unsigned>(Threads.size()) + 1; }

    // Calls Task(t) for every t in [0, Tasks) and returns when all are done.
    template <class TTask>
    void Run(size_t Tasks, TTask&& Task)
    {
        if (Threads.empty() || Tasks <= 1) {
            for (size_t t = 0; t < Tasks; ++t)
                Task(t);
            return;
        }
        RunErased(Tasks, [](void* Context, size_t T) { (*static_cast<TTask*>(Context))(T); }, &Task);
    }

private:
    using TCall = void (*)(void* Context, size_t Task);

    void RunErased(size_t Tasks, TCall Call, void* Context);
    void WorkOn(TCall Call, void* Context);
    void WorkerLoop();
    void StopAll();

    std::vector<std::thread> Threads;
    std::mutex Lock;
    std::condition_variable Wake;   // a run has begun, or the workers must stop
    std::condition_variable Idle;   // the last worker in a run has left it
    uint64_t Generation = 0;
    bool Open = false;   // workers may still join the current run
    bool Stopping = false;
    unsigned Joined = 0;   // workers inside the current run
    TCall Call = nullptr;
    void* Context = nullptr;
    size_t TaskCount = 0;
    size_t NextTask = 0;   // under Lock
};

// Splits [0, Count) into Tasks ranges of nearly equal size; the split
// depends on nothing but its arguments.
struct TTaskRange {
    size_t Begin, End;
};

inline TTaskRange TaskRange(size_t Count, size_t Tasks, size_t Task)
{
    return TTaskRange{Count * Task / Tasks, Count * (Task + 1) / Tasks};
}

}   // namespace orbel2
