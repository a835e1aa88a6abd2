// Tasks split into parts that run on the worker threads, dispatched from the main thread.
//
// A task's type selects three routines: start (called once by taskCreate, it starts the parts),
// work (runs each part on a worker) and finish (runs on the main thread once every started part
// has finished, or at once through taskFinishNow). Only TASK_TYPE_DRAW_LIST_LINES, the render
// command-list builder, is real; every other type stops the program.
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

// The one real type: the render side's draw-list line builder, whose routines come from core's
// import record (core/core_imports.h).
constexpr u32 TASK_TYPE_DRAW_LIST_LINES = 0;
// Types below TASK_FIRST_TABLE_TYPE_COUNT form the first table (row 0 the line builder); the next
// TASK_SECOND_TABLE_TYPE_COUNT come from a second table that exists only while the layer is set
// up. Every row but the line builder's is the stopping row; a type beyond both tables stops the
// program too.
constexpr u32 TASK_FIRST_TABLE_TYPE_COUNT = 5;
constexpr u32 TASK_SECOND_TABLE_TYPE_COUNT = 4;

// Routines that stop the program, naming the type.
extern const STaskType kStoppingTaskType;

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
