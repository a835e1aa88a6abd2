#include "core/task_layer.h"

#include "core/array.h"
#include "core/core_imports.h"
#include "core/fatal_error.h"
#include "core/worker_pool.h"
#include "platform/os/os.h"

namespace {

void stopAtTaskStart(void*, SWorkerTask* task) {
    fatalErrorf("task of type %u started: no such task type", task ? task->type : 0u);
}
void stopAtTaskWork(void*) { fatalError("part of a task of an unused type started"); }
void stopAtTaskFinish(void*) { fatalError("task of an unused type finished"); }

}  // namespace

constexpr STaskType kStoppingTaskType = {stopAtTaskStart, stopAtTaskWork, stopAtTaskFinish};

namespace {

constexpr STaskType kSecondTaskTable[TASK_SECOND_TABLE_TYPE_COUNT] = {
    kStoppingTaskType, kStoppingTaskType, kStoppingTaskType, kStoppingTaskType,
};

// Tasks are handed out as pointers that workers' completions carry, so a record never moves:
// the live list holds pointers, and released records wait in a free list for the next create.
struct STaskLayer {
    bool ready = false;
    bool suspended = false;
    const STaskType* secondTable = nullptr;
    u32 secondTableCount = 0;
    ClArray<SWorkerTask*> tasks;
    ClArray<SWorkerTask*> freeRecords;
};

STaskLayer g_TaskLayer;

const STaskType& taskTypeOf(u32 type) {
    if (type == TASK_TYPE_DRAW_LIST_LINES) {
        const STaskType& lines = coreImports().drawListLines;
        return lines.start ? lines : kStoppingTaskType;
    }
    if (type < TASK_FIRST_TABLE_TYPE_COUNT) return kStoppingTaskType;
    const u32 second = type - TASK_FIRST_TABLE_TYPE_COUNT;
    if (second < g_TaskLayer.secondTableCount) return g_TaskLayer.secondTable[second];
    fatalErrorf("task type %u does not exist", type);
}

// Completion of one part, on the main thread from the worker pool's dispatch.
void taskPartFinished(void* completionArgument) {
    SWorkerTask* task = static_cast<SWorkerTask*>(completionArgument);
    ++task->partsFinished;
    if (task->partsFinished == task->partsStarted) taskTypeOf(task->type).finish(task->argument);
}

void freeTaskRecords(ClArray<SWorkerTask*>& records) {
    for (SWorkerTask* record : records) delete record;
    records.release();
}

}  // namespace

s32 taskLayerInit() {
    STaskLayer& layer = g_TaskLayer;
    if (layer.ready) return 1;
    layer.secondTable = kSecondTaskTable;
    layer.secondTableCount = TASK_SECOND_TABLE_TYPE_COUNT;
    layer.tasks.init(ARRAY_INITIAL_CAPACITY);
    layer.freeRecords.init(ARRAY_INITIAL_CAPACITY);
    workerPoolInit();
    layer.suspended = false;
    layer.ready = true;
    return 1;
}

void taskLayerShutdown() {
    STaskLayer& layer = g_TaskLayer;
    if (!layer.ready) return;
    workerPoolShutdown();
    freeTaskRecords(layer.tasks);
    freeTaskRecords(layer.freeRecords);
    layer.secondTable = nullptr;
    layer.secondTableCount = 0;
    layer.ready = false;
    layer.suspended = false;
}

void taskLayerDispatch() {
    if (g_TaskLayer.ready && !g_TaskLayer.suspended) workerPoolDispatch();
}

void taskLayerSetSuspended(bool suspended) { g_TaskLayer.suspended = suspended; }

s32 taskCreate(u32 type, void* argument, SWorkerTask** outTask) {
    STaskLayer& layer = g_TaskLayer;
    if (!layer.ready) fatalError("taskCreate before the task layer was set up");
    SWorkerTask* task;
    if (layer.freeRecords.count > 0) {
        task = layer.freeRecords[layer.freeRecords.count - 1];
        layer.freeRecords.removeAt(layer.freeRecords.count - 1);
    } else {
        task = new SWorkerTask;
    }
    *task = SWorkerTask{type, argument, 0, 0, 0};
    layer.tasks.push(task);
    *outTask = task;
    taskTypeOf(type).start(argument, task);
    return 1;
}

s32 taskStartPart(SWorkerTask* task, void* partArgument) {
    if (!task) return 0;
    ++task->partsStarted;
    workerPoolSubmit(task, partArgument, taskTypeOf(task->type).work, taskPartFinished);
    return 1;
}

s32 taskIsDone(const SWorkerTask* task) {
    if (!task) return 1;
    return task->partsFinished == task->partsStarted ? 1 : 0;
}

u32 taskWait(SWorkerTask* task) {
    if (!task) return 0;
    while (!taskIsDone(task)) {
        // Dispatches even while suspended: its parts can only finish through a dispatch.
        if (g_TaskLayer.ready) workerPoolDispatch();
        // Woken by the finishing part instead of spinning; the bound only guards a missed wake.
        workerPoolWaitForJobs(1);
    }
    return task->result;
}

s32 taskFinishNow(SWorkerTask* task) {
    if (!task) return 0;
    taskTypeOf(task->type).finish(task->argument);
    return 1;
}

s32 taskRelease(SWorkerTask* task) {
    if (!task) return 0;
    taskWait(task);
    STaskLayer& layer = g_TaskLayer;
    for (u32 i = 0; i < layer.tasks.count; ++i) {
        if (layer.tasks[i] != task) continue;
        layer.tasks.removeAt(i);
        layer.freeRecords.push(task);
        return 1;
    }
    fatalError("taskRelease of a task that is not live");
}
