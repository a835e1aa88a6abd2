#include "core/worker_pool.h"

#include "core/array.h"
#include "core/fatal_error.h"
#include "platform/os/os.h"

#include <atomic>

namespace {

enum EWorkerStatus : s32 {
    E_WORKER_RUNNING = -1,
    E_WORKER_STOPPED = 0,
    E_WORKER_FAILED = 1,
};

// A worker that is still busy at shutdown is looked at again after this long.
constexpr u32 kShutdownBusyPollMs = 16;

}  // namespace

// The job fields are written by the main thread before the event is set and read by the worker
// after its wait returns; the event's own lock orders the two. The worker publishes the end of a
// job through busy and done (release), which the main thread reads with acquire before it
// touches the job fields again.
struct SWorker {
    ClThread thread;
    u32 index = 0;
    ClEvent event{false, false};
    void* jobArgument = nullptr;
    WorkerJobFunction jobFunction = nullptr;
    // The completion queue of the thread that handed the job out: a waiter there is woken.
    OsThreadQueueRef dispatcher;
    // Set by the main thread when it hands a job out, cleared by the worker when the job returns.
    std::atomic<u32> busy{0};
    std::atomic<u32> done{0};
    std::atomic<u32> stop{0};
    std::atomic<s32> status{E_WORKER_RUNNING};
};

namespace {

struct SWorkerPool {
    bool ready = false;
    SWorker* workers = nullptr;
    u32 workerCount = 0;
    ClArray<SWorkerJob> pending;
    ClArray<SWorkerJob> running;
    ClArray<SWorker*> idle;
};

SWorkerPool g_WorkerPool;
// Threads inside workerPoolWaitForJobs. A finishing job wakes its dispatcher only while one
// waits, so no thread's completion queue fills with wake-ups it never takes. Both sides use
// sequentially consistent order (done then waiters on the worker, waiters then done on the
// waiter), so either the worker sees the waiter or the waiter sees the finished job.
std::atomic<u32> g_uPoolWaiters{0};

void wakeNoOp(void*) {}

u32 systemLogicalProcessorCount() { return osLogicalProcessorCount(); }
u32 systemProcessorCoreCount() { return osProcessorCoreCount(); }

void workerThreadMain(void* argument) {
    SWorker* worker = static_cast<SWorker*>(argument);
    while (!worker->stop.load(std::memory_order_acquire) &&
           worker->status.load(std::memory_order_relaxed) != E_WORKER_FAILED) {
        if (worker->event.wait(OS_INFINITE) != E_OSWAIT_SIGNALLED) {
            worker->status.store(E_WORKER_FAILED, std::memory_order_release);
            break;
        }
        // Copied first: once done is set the dispatcher may hand this worker its next job.
        const OsThreadQueueRef dispatcher = worker->dispatcher;
        if (worker->jobFunction) {
            worker->jobFunction(worker->jobArgument);
        } else if (worker->stop.load(std::memory_order_acquire)) {
            worker->status.store(E_WORKER_STOPPED, std::memory_order_release);
        }
        worker->busy.store(0, std::memory_order_release);
        worker->done.store(1, std::memory_order_seq_cst);
        if (dispatcher && g_uPoolWaiters.load(std::memory_order_seq_cst) > 0) osQueueCompletion(dispatcher, wakeNoOp, nullptr);
    }
    worker->busy.store(0, std::memory_order_release);
}

// Runs completions of finished jobs, in running-array order, and makes their workers idle.
void collectFinishedJobs() {
    SWorkerPool& pool = g_WorkerPool;
    for (u32 i = 0; i < pool.running.count;) {
        SWorker* worker = pool.running[i].worker;
        if (!worker->done.load(std::memory_order_acquire)) {
            ++i;
            continue;
        }
        // The worker is idle again before the completion runs, so a completion that submits
        // or dispatches finds the lists consistent.
        const SWorkerJob finished = pool.running[i];
        worker->jobFunction = nullptr;
        worker->jobArgument = nullptr;
        worker->done.store(0, std::memory_order_relaxed);
        pool.running.removeAt(i);
        pool.idle.push(worker);
        if (finished.completion) finished.completion(finished.completionArgument);
    }
}

// The newest pending job goes to the most recently idled worker.
void handOutJobs() {
    SWorkerPool& pool = g_WorkerPool;
    while (pool.running.count < g_uLogicalProcessorCount && pool.pending.count > 0 && pool.idle.count > 0) {
        SWorker* worker = pool.idle[pool.idle.count - 1];
        pool.idle.removeAt(pool.idle.count - 1);
        // A worker whose thread has ended would never run the job: it leaves the idle list.
        if (worker->status.load(std::memory_order_acquire) != E_WORKER_RUNNING) continue;

        SWorkerJob job = pool.pending[pool.pending.count - 1];
        pool.pending.removeAt(pool.pending.count - 1);
        job.worker = worker;
        worker->jobArgument = job.jobArgument;
        worker->jobFunction = job.work;
        worker->dispatcher = osCurrentThreadQueue();
        worker->busy.store(1, std::memory_order_release);
        pool.running.push(job);
        worker->event.set();
    }
}

}  // namespace

const SProcessorQuery kSystemProcessorQuery = {systemLogicalProcessorCount, systemProcessorCoreCount};
SProcessorQuery g_ProcessorQuery = kSystemProcessorQuery;

u32 g_uLogicalProcessorCount = 1;
u32 g_uProcessorCoreCount = 1;

EProcessorCountResult countLogicalProcessors() {
    g_uLogicalProcessorCount = 1;
    g_uProcessorCoreCount = 1;
    if (!g_ProcessorQuery.logicalProcessorCount || !g_ProcessorQuery.processorCoreCount) {
        return E_PROCESSORCOUNT_NO_QUERY;
    }
    const u32 logical = g_ProcessorQuery.logicalProcessorCount();
    if (logical == 0) return E_PROCESSORCOUNT_QUERY_FAILED;
    const u32 cores = g_ProcessorQuery.processorCoreCount();
    g_uLogicalProcessorCount = logical;
    g_uProcessorCoreCount = cores != 0 ? cores : 1;
    return E_PROCESSORCOUNT_OK;
}

s32 workerPoolInit() {
    SWorkerPool& pool = g_WorkerPool;
    if (pool.ready) return 1;
    countLogicalProcessors();
    pool.pending.init(ARRAY_INITIAL_CAPACITY);
    pool.running.init(ARRAY_INITIAL_CAPACITY);
    pool.idle.init(ARRAY_INITIAL_CAPACITY);

    pool.workerCount = g_uLogicalProcessorCount;
    pool.workers = new SWorker[pool.workerCount];
    u32 started = 0;
    for (u32 i = 0; i < pool.workerCount; ++i) {
        SWorker& worker = pool.workers[i];
        worker.index = i;
        if (!worker.thread.start(workerThreadMain, &worker, "worker")) {
            // Never made idle; the pool works with the others.
            worker.status.store(E_WORKER_FAILED, std::memory_order_relaxed);
            continue;
        }
        pool.idle.push(&worker);
        ++started;
    }
    if (started == 0) fatalErrorf("no worker thread could be started (%u tried)", pool.workerCount);
    pool.ready = true;
    return 1;
}

void workerPoolSubmit(void* completionArgument, void* jobArgument, WorkerJobFunction work,
                      WorkerCompletionFunction completion) {
    g_WorkerPool.pending.push(SWorkerJob{jobArgument, work, completion, nullptr, completionArgument});
}

void workerPoolDispatch() {
    if (!g_WorkerPool.ready) return;
    collectFinishedJobs();
    handOutJobs();
}

void workerPoolWaitForJobs(u32 milliseconds) {
    const SWorkerPool& pool = g_WorkerPool;
    g_uPoolWaiters.fetch_add(1, std::memory_order_seq_cst);
    bool finished = pool.running.count == 0;
    for (u32 i = 0; i < pool.running.count && !finished; ++i) {
        finished = pool.running[i].worker->done.load(std::memory_order_seq_cst) != 0;
    }
    osSleepEx(finished ? 0 : milliseconds, true);
    g_uPoolWaiters.fetch_sub(1, std::memory_order_seq_cst);
}

s32 workerPoolAnyBusy() {
    const SWorkerPool& pool = g_WorkerPool;
    for (u32 i = 0; i < pool.workerCount; ++i) {
        if (pool.workers[i].busy.load(std::memory_order_acquire)) return 1;
    }
    return 0;
}

void workerPoolShutdown() {
    SWorkerPool& pool = g_WorkerPool;
    if (!pool.ready) return;
    for (u32 i = 0; i < pool.workerCount; ++i) {
        SWorker& worker = pool.workers[i];
        // A job handed out but not yet picked up counts as busy too, so no worker is still
        // reading its job fields when they are cleared.
        while (worker.busy.load(std::memory_order_acquire)) osSleepEx(kShutdownBusyPollMs, true);
        worker.jobFunction = nullptr;
        worker.jobArgument = nullptr;
        worker.stop.store(1, std::memory_order_release);
        worker.event.set();
        worker.thread.join();
    }
    delete[] pool.workers;
    pool.workers = nullptr;
    pool.workerCount = 0;
    pool.pending.release();
    pool.running.release();
    pool.idle.release();
    pool.ready = false;
}
