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

u32 g_uFakeLogical = 1, g_uFakeCores = 1;
const std::thread::id g_mainThread = std::this_thread::get_id();

// Generous bound for the other threads to reach a state; a test that hits it has failed.
template <typename Predicate>
bool waitUntil(Predicate predicate) {
    for (u32 i = 0; i < 10000 && !predicate(); ++i) osSleep(1);
    return predicate();
}

template <typename Predicate>
bool dispatchUntil(Predicate predicate) {
    return waitUntil([&] {
        workerPoolDispatch();
        return predicate();
    });
}

// Jobs that report that they started, then wait for the test to open the gate.
struct SGatedJobs {
    ClEvent gate{true, false};
    std::atomic<u32> started{0}, finished{0};
};

void gatedWork(void* argument) {
    SGatedJobs* jobs = static_cast<SGatedJobs*>(argument);
    jobs->started.fetch_add(1);
    jobs->gate.wait(OS_INFINITE);
    jobs->finished.fetch_add(1);
}

void countUp(void* counter) { static_cast<std::atomic<u32>*>(counter)->fetch_add(1); }

// Work runs on a worker and completions on the main thread; an entry made elsewhere is marked.
struct SJobLog {
    std::vector<std::string> work, completions;  // work written by one worker at a time
};
struct SLoggedJob {
    SJobLog* log;
    const char* name;
};

std::string placed(const char* name, bool onMain) {
    return std::string(name) + (onMain == (std::this_thread::get_id() == g_mainThread) ? "" : " (wrong thread)");
}
void loggedWork(void* argument) {
    const SLoggedJob* job = static_cast<SLoggedJob*>(argument);
    job->log->work.push_back(placed(job->name, false));
}
void loggedCompletion(void* argument) {
    const SLoggedJob* job = static_cast<SLoggedJob*>(argument);
    job->log->completions.push_back(placed(job->name, true));
}

class WorkerPool : public ::testing::Test {
protected:
    // Counts the processors of a pretend machine; the counts land in the processor globals.
    static EProcessorCountResult useMachine(u32 logical, u32 cores) {
        g_uFakeLogical = logical;
        g_uFakeCores = cores;
        g_ProcessorQuery = {[] { return g_uFakeLogical; }, [] { return g_uFakeCores; }};
        return countLogicalProcessors();
    }
    void TearDown() override {
        workerPoolShutdown();
        g_ProcessorQuery = kSystemProcessorQuery;
    }
};

TEST_F(WorkerPool, FourLogicalProcessorsOnTwoCoresGiveFourWorkersAndAFailedQueryOne) {
    EXPECT_EQ(useMachine(0, 0), E_PROCESSORCOUNT_QUERY_FAILED);
    EXPECT_EQ(g_uLogicalProcessorCount, 1u);
    EXPECT_EQ(g_uProcessorCoreCount, 1u);
    EXPECT_EQ(useMachine(8, 0), E_PROCESSORCOUNT_OK);
    EXPECT_EQ(g_uLogicalProcessorCount, 8u);
    EXPECT_EQ(g_uProcessorCoreCount, 1u);  // a core count of 0 becomes 1
    EXPECT_EQ(useMachine(4, 2), E_PROCESSORCOUNT_OK);
    EXPECT_EQ(g_uLogicalProcessorCount, 4u);
    EXPECT_EQ(g_uProcessorCoreCount, 2u);

    ASSERT_EQ(workerPoolInit(), 1);
    SGatedJobs jobs;
    std::atomic<u32> completed{0};
    for (u32 i = 0; i < 5; ++i) workerPoolSubmit(&completed, &jobs, gatedWork, countUp);
    workerPoolDispatch();
    // Four jobs run at once, which takes four workers; the fifth waits for a free one.
    EXPECT_TRUE(waitUntil([&] { return jobs.started.load() == 4; }));
    jobs.gate.set();
    EXPECT_TRUE(dispatchUntil([&] { return completed.load() == 5; }));
    EXPECT_EQ(jobs.finished.load(), 5u);
}

TEST_F(WorkerPool, LastJobRunsFirstAndJobsFinishedTogetherAreCollectedInRunningOrder) {
    useMachine(1, 1);
    ASSERT_EQ(workerPoolInit(), 1);
    SJobLog log;
    SLoggedJob a{&log, "a"}, b{&log, "b"}, c{&log, "c"};
    for (SLoggedJob* job : {&a, &b, &c}) workerPoolSubmit(job, job, loggedWork, loggedCompletion);
    ASSERT_TRUE(dispatchUntil([&] { return log.completions.size() == 3; }));
    EXPECT_EQ(log.work, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(log.completions, (std::vector<std::string>{"c", "b", "a"}));

    // Two jobs finishing in the same frame are collected in one dispatch; the newest was handed
    // out first, so it heads the running list.
    workerPoolShutdown();
    useMachine(2, 2);
    ASSERT_EQ(workerPoolInit(), 1);
    EXPECT_EQ(workerPoolInit(), 1) << "a second init while running does nothing";
    SJobLog together;
    SLoggedJob first{&together, "first"}, second{&together, "second"};
    workerPoolSubmit(&first, nullptr, [](void*) {}, loggedCompletion);
    workerPoolSubmit(&second, nullptr, [](void*) {}, loggedCompletion);
    workerPoolDispatch();
    ASSERT_TRUE(waitUntil([] { return workerPoolAnyBusy() == 0; }));
    workerPoolDispatch();
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
    std::thread opener([&inHand] {
        osSleep(20);
        inHand.gate.set();
    });
    workerPoolShutdown();
    EXPECT_EQ(inHand.finished.load(), 1u);
    opener.join();
}

}  // namespace
