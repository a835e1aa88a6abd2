// The worker pool: processor counts, the order in which jobs are handed out and collected, the
// busy flag, and shutdown with a job in hand.
#include "core/worker_pool.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

u32 g_uFakeLogical = 1;
u32 g_uFakeCores = 1;

u32 fakeLogicalCount() { return g_uFakeLogical; }
u32 fakeCoreCount() { return g_uFakeCores; }

// Generous bound for the other threads to reach a state; a test that hits it has failed.
template <typename Predicate>
bool waitUntil(Predicate predicate) {
    for (u32 i = 0; i < 10000; ++i) {
        if (predicate()) return true;
        osSleep(1);
    }
    return predicate();
}

// A job that reports that it started, then waits for the test to open the gate.
struct SGatedJobs {
    ClEvent gate{true, false};
    std::atomic<u32> started{0};
    std::atomic<u32> finished{0};
};

void gatedWork(void* argument) {
    SGatedJobs* jobs = static_cast<SGatedJobs*>(argument);
    jobs->started.fetch_add(1);
    jobs->gate.wait(OS_INFINITE);
    jobs->finished.fetch_add(1);
}

// Records, on the main thread, the order in which work ran and completions were collected.
struct SJobLog {
    std::vector<std::string> workOrder;  // written by one worker at a time (single worker)
    std::vector<std::string> completions;
    std::thread::id workThread;
    std::thread::id completionThread;
};

struct SLoggedJob {
    SJobLog* log;
    const char* name;
};

void loggedWork(void* argument) {
    SLoggedJob* job = static_cast<SLoggedJob*>(argument);
    job->log->workOrder.push_back(job->name);
    job->log->workThread = std::this_thread::get_id();
}

void loggedCompletion(void* argument) {
    SLoggedJob* job = static_cast<SLoggedJob*>(argument);
    job->log->completions.push_back(job->name);
    job->log->completionThread = std::this_thread::get_id();
}

class WorkerPool : public ::testing::Test {
protected:
    void useMachine(u32 logical, u32 cores) {
        g_uFakeLogical = logical;
        g_uFakeCores = cores;
        g_ProcessorQuery = {fakeLogicalCount, fakeCoreCount};
    }
    void TearDown() override {
        workerPoolShutdown();
        g_ProcessorQuery = kSystemProcessorQuery;
    }

    // Dispatches until every job submitted so far has completed.
    bool dispatchUntil(const std::vector<std::string>& completions, size_t count) {
        return waitUntil([&] {
            workerPoolDispatch();
            return completions.size() >= count;
        });
    }
};

TEST_F(WorkerPool, FourLogicalProcessorsOnTwoCoresGiveFourWorkersAndAFailedQueryOne) {
    useMachine(4, 2);
    EXPECT_EQ(countLogicalProcessors(), E_PROCESSORCOUNT_OK);
    EXPECT_EQ(g_uLogicalProcessorCount, 4u);
    EXPECT_EQ(g_uProcessorCoreCount, 2u);

    ASSERT_EQ(workerPoolInit(), 1);
    SGatedJobs jobs;
    std::atomic<u32> completed{0};
    for (u32 i = 0; i < 5; ++i) {
        workerPoolSubmit(&completed, &jobs, gatedWork,
                         [](void* counter) { static_cast<std::atomic<u32>*>(counter)->fetch_add(1); });
    }
    workerPoolDispatch();
    // Four jobs run at once, which takes four workers; the fifth waits for a free one.
    EXPECT_TRUE(waitUntil([&] { return jobs.started.load() == 4; }));

    jobs.gate.set();
    EXPECT_TRUE(waitUntil([&] {
        workerPoolDispatch();
        return completed.load() == 5;
    }));
    EXPECT_EQ(jobs.finished.load(), 5u);

    useMachine(0, 0);
    EXPECT_EQ(countLogicalProcessors(), E_PROCESSORCOUNT_QUERY_FAILED);
    EXPECT_EQ(g_uLogicalProcessorCount, 1u);
    EXPECT_EQ(g_uProcessorCoreCount, 1u);

    useMachine(8, 0);
    EXPECT_EQ(countLogicalProcessors(), E_PROCESSORCOUNT_OK);
    EXPECT_EQ(g_uProcessorCoreCount, 1u) << "a core count of 0 becomes 1";
}

TEST_F(WorkerPool, LastJobRunsFirstAndJobsFinishedTogetherAreCollectedInRunningOrder) {
    useMachine(1, 1);
    ASSERT_EQ(workerPoolInit(), 1);
    SJobLog log;
    SLoggedJob a{&log, "a"}, b{&log, "b"}, c{&log, "c"};
    for (SLoggedJob* job : {&a, &b, &c}) workerPoolSubmit(job, job, loggedWork, loggedCompletion);

    ASSERT_TRUE(dispatchUntil(log.completions, 3));
    EXPECT_EQ(log.workOrder, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(log.completions, (std::vector<std::string>{"c", "b", "a"}));
    // Work runs on the worker, completions on the main thread.
    EXPECT_NE(log.workThread, std::this_thread::get_id());
    EXPECT_EQ(log.completionThread, std::this_thread::get_id());

    // Two jobs finishing in the same frame are collected in one dispatch, in running order.
    workerPoolShutdown();
    useMachine(2, 2);
    ASSERT_EQ(workerPoolInit(), 1);
    SJobLog together;
    SLoggedJob first{&together, "first"}, second{&together, "second"};
    workerPoolSubmit(&first, nullptr, [](void*) {}, loggedCompletion);
    workerPoolSubmit(&second, nullptr, [](void*) {}, loggedCompletion);
    workerPoolDispatch();
    ASSERT_TRUE(waitUntil([] { return workerPoolAnyBusy() == 0; }));

    workerPoolDispatch();
    // The newest job was handed out first, so it heads the running list.
    EXPECT_EQ(together.completions, (std::vector<std::string>{"second", "first"}));
}

TEST_F(WorkerPool, BusyFromHandOutUntilTheJobReturnsAndShutdownWaitsForTheJobInHand) {
    useMachine(2, 2);
    ASSERT_EQ(workerPoolInit(), 1);
    EXPECT_EQ(workerPoolAnyBusy(), 0);
    SGatedJobs jobs;
    workerPoolSubmit(nullptr, &jobs, gatedWork, nullptr);
    EXPECT_EQ(workerPoolAnyBusy(), 0) << "a pending job is not busy yet";
    workerPoolDispatch();
    // Busy at once, even before the worker has woken: nothing may assume the pool idle then.
    EXPECT_EQ(workerPoolAnyBusy(), 1);
    jobs.gate.set();
    EXPECT_TRUE(waitUntil([] { return workerPoolAnyBusy() == 0; }));
    workerPoolDispatch();  // collects a job without completion

    SGatedJobs inHand;
    workerPoolSubmit(nullptr, &inHand, gatedWork, nullptr);
    workerPoolDispatch();
    ASSERT_TRUE(waitUntil([&] { return inHand.started.load() == 1; }));

    ClThread opener;
    ASSERT_TRUE(opener.start(
        [](void* argument) {
            osSleep(20);
            static_cast<SGatedJobs*>(argument)->gate.set();
        },
        &inHand));
    workerPoolShutdown();
    EXPECT_EQ(inHand.finished.load(), 1u);
    opener.join();
}

TEST_F(WorkerPool, RestartsAfterShutdown) {
    useMachine(3, 3);
    for (u32 round = 0; round < 2; ++round) {
        ASSERT_EQ(workerPoolInit(), 1);
        EXPECT_EQ(workerPoolInit(), 1) << "a second init while running does nothing";
        std::vector<std::string> completions;
        std::atomic<u32> ran{0};
        for (u32 i = 0; i < 6; ++i) {
            workerPoolSubmit(&completions, &ran,
                             [](void* counter) { static_cast<std::atomic<u32>*>(counter)->fetch_add(1); },
                             [](void* list) { static_cast<std::vector<std::string>*>(list)->push_back("done"); });
        }
        ASSERT_TRUE(dispatchUntil(completions, 6));
        EXPECT_EQ(ran.load(), 6u);
        workerPoolShutdown();
    }
}

}  // namespace
