// One worker thread per logical processor, fed with jobs from the main thread.
//
// Jobs are submitted to a pending list; each dispatch (main thread, once per frame and inside
// task waits) first collects the jobs whose worker has finished, running their completions on
// the main thread, then hands the newest pending jobs to the most recently idled workers.
#pragma once

#include "core/types.h"

using WorkerJobFunction = void (*)(void* jobArgument);
using WorkerCompletionFunction = void (*)(void* completionArgument);

struct SWorker;

struct SWorkerJob {
    void* jobArgument;
    WorkerJobFunction work;
    WorkerCompletionFunction completion;
    SWorker* worker;  // set when the job is handed out
    void* completionArgument;
};

enum EProcessorCountResult : s32 {
    E_PROCESSORCOUNT_OK = 0,
    E_PROCESSORCOUNT_NO_QUERY = 1,      // the system offers no way to ask
    E_PROCESSORCOUNT_NO_BUFFER = 2,     // kept for the callers' codes; nothing here allocates
    E_PROCESSORCOUNT_QUERY_FAILED = 3,
};

// Where the processor counts come from; tests substitute a machine of their own.
struct SProcessorQuery {
    u32 (*logicalProcessorCount)();  // 0 means the query failed
    u32 (*processorCoreCount)();
};
extern const SProcessorQuery kSystemProcessorQuery;
extern SProcessorQuery g_ProcessorQuery;

// Both at least 1 once counted. The worker pool has one worker per logical processor. Written by
// core alone; the layers above read logicalProcessorCount().
extern u32 g_uLogicalProcessorCount;
extern u32 g_uProcessorCoreCount;
inline u32 logicalProcessorCount() { return g_uLogicalProcessorCount; }

// Fills the two counts; on any failure both become 1 (one worker).
EProcessorCountResult countLogicalProcessors();

// Counts processors and starts the workers. A second call while the pool runs does nothing.
// A pool in which not one worker thread starts stops the program, since no job would ever run.
// Returns 1.
s32 workerPoolInit();

// Main thread only. The job runs work(jobArgument) on a worker; completion(completionArgument)
// then runs on the main thread in a later dispatch.
void workerPoolSubmit(void* completionArgument, void* jobArgument, WorkerJobFunction work,
                      WorkerCompletionFunction completion);

// Main thread only.
void workerPoolDispatch();

// An alertable wait of at most the given time that ends as soon as a job handed out by this
// thread finishes (at once when one already has, or none runs). Completions queued to the
// thread run inside it.
void workerPoolWaitForJobs(u32 milliseconds);

// 1 while any worker holds a job that has not returned yet (from hand-out to return).
s32 workerPoolAnyBusy();

// Waits for each worker's job in hand to return, stops and joins every worker, and frees the
// lists. Completions not yet collected and jobs still pending are dropped.
void workerPoolShutdown();
