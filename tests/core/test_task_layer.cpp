// Tasks: parts on the workers, the finish routine on the main thread, waits, releases, the
// suspended flag and the task types that do not exist.
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

u32 threeProcessors() { return 3; }

// What the test task type's routines saw.
struct STestTaskState {
    u32 partsToStart = 0;
    bool finishAtOnce = false;
    std::atomic<u32> partsRun{0};
    std::atomic<u32> partsOffMainThread{0};
    u32 finishCalls = 0;
    u32 partsRunAtFinish = 0;
    std::thread::id mainThread;
    std::thread::id finishThread;
    SWorkerTask* task = nullptr;
};

void testTaskStart(void* argument, SWorkerTask* task) {
    STestTaskState* state = static_cast<STestTaskState*>(argument);
    state->task = task;
    for (u32 i = 0; i < state->partsToStart; ++i) taskStartPart(task, state);
    if (state->finishAtOnce) taskFinishNow(task);
}

void testTaskWork(void* partArgument) {
    STestTaskState* state = static_cast<STestTaskState*>(partArgument);
    if (std::this_thread::get_id() != state->mainThread) state->partsOffMainThread.fetch_add(1);
    state->partsRun.fetch_add(1);
}

void testTaskFinish(void* argument) {
    STestTaskState* state = static_cast<STestTaskState*>(argument);
    ++state->finishCalls;
    state->partsRunAtFinish = state->partsRun.load();
    state->finishThread = std::this_thread::get_id();
}

class TaskLayer : public ::testing::Test {
protected:
    void SetUp() override {
        g_ProcessorQuery = {threeProcessors, threeProcessors};
        g_aTaskTypes[0] = {testTaskStart, testTaskWork, testTaskFinish};
        ASSERT_EQ(taskLayerInit(), 1);
    }
    void TearDown() override {
        taskLayerShutdown();
        g_aTaskTypes[0] = kUnusedTaskType;
        g_ProcessorQuery = kSystemProcessorQuery;
    }

    std::unique_ptr<STestTaskState> newState(u32 parts) {
        auto state = std::make_unique<STestTaskState>();
        state->partsToStart = parts;
        state->mainThread = std::this_thread::get_id();
        return state;
    }
    static SWorkerTask* create(STestTaskState* state) {
        SWorkerTask* task = nullptr;
        EXPECT_EQ(taskCreate(0, state, &task), 1);
        return task;
    }
};

TEST_F(TaskLayer, PartsRunOnWorkersAndFinishRunsOnceOnTheMainThread) {
    auto state = newState(10);
    SWorkerTask* task = create(state.get());
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(state->task, task) << "the task is stored before the start routine runs";
    EXPECT_EQ(task->partsStarted, 10u);

    EXPECT_EQ(taskWait(task), 0u);
    EXPECT_EQ(state->partsOffMainThread.load(), 10u);
    EXPECT_EQ(state->finishCalls, 1u);
    EXPECT_EQ(state->partsRunAtFinish, 10u);
    EXPECT_EQ(state->finishThread, std::this_thread::get_id());
    EXPECT_EQ(taskRelease(task), 1);
}

TEST_F(TaskLayer, TaskWithNoPartsIsDoneAtOnceAndANullTaskIsDoneAndRefused) {
    auto state = newState(0);
    SWorkerTask* task = create(state.get());
    EXPECT_EQ(taskIsDone(task), 1);
    task->result = 7;
    EXPECT_EQ(taskWait(task), 7u);
    EXPECT_EQ(state->finishCalls, 0u) << "nothing finished, so the finish routine waits for taskFinishNow";
    EXPECT_EQ(taskRelease(task), 1);

    state->finishAtOnce = true;
    task = create(state.get());
    EXPECT_EQ(state->finishCalls, 1u);
    EXPECT_EQ(taskRelease(task), 1);

    EXPECT_EQ(taskIsDone(nullptr), 1);
    EXPECT_EQ(taskRelease(nullptr), 0);
}

TEST_F(TaskLayer, FrameTickDispatchDrivesATaskToItsEndExceptWhileSuspended) {
    auto state = newState(4);
    SWorkerTask* task = create(state.get());
    bool done = false;
    for (u32 frame = 0; frame < 10000 && !done; ++frame) {
        taskLayerDispatch();
        done = taskIsDone(task) != 0;
        if (!done) osSleep(1);
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(state->finishCalls, 1u);
    EXPECT_EQ(taskRelease(task), 1);

    taskLayerSetSuspended(true);
    state = newState(3);
    task = create(state.get());
    taskLayerDispatch();
    EXPECT_EQ(workerPoolAnyBusy(), 0) << "nothing handed out while suspended";
    EXPECT_EQ(state->partsRun.load(), 0u);

    taskWait(task);
    EXPECT_EQ(state->partsRun.load(), 3u);
    EXPECT_EQ(state->finishCalls, 1u);
    taskLayerSetSuspended(false);
    EXPECT_EQ(taskRelease(task), 1);
}

// A live task keeps its record when another task is released or when many are created.
TEST_F(TaskLayer, TasksKeepTheirRecordsWhileOthersComeAndGo) {
    auto first = newState(2);
    SWorkerTask* firstTask = create(first.get());

    std::unique_ptr<STestTaskState> others[12];
    SWorkerTask* otherTasks[12];
    for (u32 i = 0; i < 12; ++i) {
        others[i] = newState(1);
        otherTasks[i] = create(others[i].get());
    }
    for (u32 i = 0; i < 12; ++i) EXPECT_EQ(taskRelease(otherTasks[i]), 1);

    EXPECT_EQ(firstTask->argument, first.get());
    EXPECT_EQ(firstTask->partsStarted, 2u);
    taskWait(firstTask);
    EXPECT_EQ(first->finishCalls, 1u);
    EXPECT_EQ(taskRelease(firstTask), 1);
    for (const auto& other : others) EXPECT_EQ(other->finishCalls, 1u);
}

TEST_F(TaskLayer, TaskTypesOtherThanZeroStopTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SWorkerTask* task = nullptr;
    EXPECT_EXIT(taskCreate(1, nullptr, &task), ::testing::ExitedWithCode(3), "type 1 started: no such task type");
    // Types 5 to 8 come from the second table.
    EXPECT_EXIT(taskCreate(6, nullptr, &task), ::testing::ExitedWithCode(3), "type 6 started: no such task type");
    EXPECT_EXIT(taskCreate(9, nullptr, &task), ::testing::ExitedWithCode(3), "does not exist");
}

}  // namespace
