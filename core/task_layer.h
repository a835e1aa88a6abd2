// Tasks split into parts that run on the worker threads, dispatched from the main thread.
//
// A task's type selects three routines: start (called once by taskCreate, it starts the parts),
// work (runs each part on a worker) and finish (runs on the main thread once every started part
// has finished, or at once through taskFinishNow). Only type 0, the render command-list builder,
// is real; every other type stops the program.
#pragma once

#include "core/types.h"

struct SWorkerTask {
    u32 type;
    void* argument;  // given to the type's start and finish routines
    u32 partsStarted;
    u32 partsFinished;
    u32 result;
};

using TaskStartRoutine = void (*)(void* argument, SWorkerTask* task);
using TaskWorkRoutine = void (*)(void* partArgument);
using TaskFinishRoutine = void (*)(void* argument);

struct STaskType {
    TaskStartRoutine start;
    TaskWorkRoutine work;
    TaskFinishRoutine finish;
};

// Types 0 to TASK_BUILTIN_TYPE_COUNT - 1 are read from g_aTaskTypes; the next
// TASK_EXTRA_TYPE_COUNT come from a second table that exists only while the layer is set up.
constexpr u32 TASK_BUILTIN_TYPE_COUNT = 5;
constexpr u32 TASK_EXTRA_TYPE_COUNT = 4;

// Every row stops the program until its owner installs routines; the render side installs
// row 0 (its command-list builder).
extern STaskType g_aTaskTypes[TASK_BUILTIN_TYPE_COUNT];
extern const STaskType kUnusedTaskType;
// Installs the routines of a built-in row (kUnusedTaskType takes them out again); a row at or
// beyond TASK_BUILTIN_TYPE_COUNT is ignored.
void setBuiltinTaskType(u32 type, const STaskType& routines);

// Installs the second type table, sets up the task list and the worker pool. A second call
// while the layer is set up does nothing. Returns 1.
s32 taskLayerInit();
// Stops the worker pool and frees the tasks; nothing happens when the layer is not set up.
void taskLayerShutdown();

// Once per frame from the tick: hands pending work to idle workers and runs the completions
// of finished work, while the layer is ready and not suspended.
void taskLayerDispatch();

// While suspended, the frame tick does not dispatch. taskWait dispatches all the same, since a
// wait that did not would never end.
// The render side suspends the layer while its device is lost, so that no pool job writes into
// geometry buffers that are being released.
void taskLayerSetSuspended(bool suspended);
bool taskLayerSuspended();

// Adds a task, stores it through outTask, then calls the type's start routine. The record stays
// at the same address until taskRelease. Returns 1.
s32 taskCreate(u32 type, void* argument, SWorkerTask** outTask);
// Submits one part to the workers. Null task returns 0, else 1.
s32 taskStartPart(SWorkerTask* task, void* partArgument);
// Null counts as done.
s32 taskIsDone(const SWorkerTask* task);
// Dispatches with alertable zero-length sleeps until the task is done; returns its result word
// (0 for null).
u32 taskWait(SWorkerTask* task);
// Calls the type's finish routine now. Returns 1 (0 for null).
s32 taskFinishNow(SWorkerTask* task);
// Waits for the task, then removes it; the pointer is invalid afterwards. Returns 1 (0 for null).
s32 taskRelease(SWorkerTask* task);
