#include "orbel2/physics/WorkerPool.h"

#include <system_error>

// Builds for the web without shared memory have no threads to start.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define ORBEL2_NO_THREADS 1
#endif

namespace orbel2 {

TWorkerPool::~TWorkerPool()
{
    StopAll();
}

void TWorkerPool::SetWorkers(unsigned Count)
{
    const size_t wanted = Count > 1 ? Count - 1 : 0;
    if (wanted == Threads.size())
        return;
    StopAll();
#if !defined(ORBEL2_NO_THREADS)
    while (Threads.size() < wanted) {
        try {
            Threads.emplace_back([this] { WorkerLoop(); });
        } catch (const std::system_error&) {
            break;   // the ones started carry the runs
        }
    }
#endif
}

void TWorkerPool::StopAll()
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    for (std::thread& thread : Threads)
        thread.join();
    Threads.clear();
    std::lock_guard<std::mutex> guard(Lock);
    Stopping = false;
}

// Tasks are handed out one at a time under the lock: a run has a few tasks
// per worker, each long enough that the lock costs nothing.
void TWorkerPool::WorkOn(TCall Run, void* RunContext)
{
    for (;;) {
        size_t task;
        {
            std::lock_guard<std::mutex> guard(Lock);
            if (NextTask >= TaskCount)
                return;
            task = NextTask++;
        }
        Run(RunContext, task);
    }
}

// The caller takes tasks alongside the workers. Once every task has been
// taken, the run is closed to late wakers, and the caller waits only for
// the workers still inside it; their writes are seen through the lock.
void TWorkerPool::RunErased(size_t Tasks, TCall Run, void* RunContext)
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Call = Run;
        Context = RunContext;
        TaskCount = Tasks;
        NextTask = 0;
        Open = true;
        ++Generation;
    }
    Wake.notify_all();
    WorkOn(Run, RunContext);
    std::unique_lock<std::mutex> guard(Lock);
    Open = false;
    Idle.wait(guard, [this] { return Joined == 0; });
    Call = nullptr;
    Context = nullptr;
}

void TWorkerPool::WorkerLoop()
{
    // A worker that starts while a run is open joins it: some runs need
    // every thread (their tasks wait for each other).
    uint64_t seen = 0;
    std::unique_lock<std::mutex> guard(Lock);
    for (;;) {
        Wake.wait(guard, [&] { return Stopping || Generation != seen; });
        if (Stopping)
            return;
        seen = Generation;
        if (!Open)
            continue;   // woke after the caller had finished the run
        ++Joined;
        const TCall run = Call;
        void* runContext = Context;
        guard.unlock();
        WorkOn(run, runContext);
        guard.lock();
        if (--Joined == 0)
            Idle.notify_one();
    }
}

}   // namespace orbel2
