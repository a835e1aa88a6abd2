// The pool of 32 locks: exhaustion, reuse of freed records, null locks, shutdown and concurrent
// use. The locks' own re-entrancy is the platform lock's (test_os_completions.cpp).
#include "core/crit_section_pool.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Other modules of this test program may hold pooled locks of their own, so the tests count
// from the pool's use when they begin and give back everything they take.
class CritSectionPool : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        m_usedAtStart = critSectionPoolUseCount();
    }
    void TearDown() override {
        for (SCritSection* lock : m_locks) critSectionDestroy(lock);
        EXPECT_EQ(critSectionPoolUseCount(), m_usedAtStart);
    }

    u32 m_usedAtStart = 0;
    std::vector<SCritSection*> m_locks;
};

struct SChurnShared {
    SCritSection* counterLock;
    u64 counter;
    std::atomic<u32> failedCreates;
};
constexpr u32 kChurnThreads = 4, kChurnRounds = 2000;

// Threads take and give back their own locks while they count under one shared lock: the pool's
// bookkeeping must stay consistent and the count exact.
TEST_F(CritSectionPool, ConcurrentCreateAndDestroyKeepThePoolConsistent) {
    SChurnShared shared{critSectionCreateOrDie("counter"), 0, {0}};
    m_locks.push_back(shared.counterLock);
    ClThread threads[kChurnThreads];
    for (ClThread& thread : threads) {
        ASSERT_TRUE(thread.start(
            [](void* argument) {
                SChurnShared* s = static_cast<SChurnShared*>(argument);
                for (u32 round = 0; round < kChurnRounds; ++round) {
                    SCritSection* own = nullptr;
                    if (!critSectionCreate(&own)) {
                        s->failedCreates.fetch_add(1);
                        continue;
                    }
                    critSectionEnter(own);
                    critSectionEnter(s->counterLock);
                    ++s->counter;
                    critSectionLeave(s->counterLock);
                    critSectionLeave(own);
                    critSectionDestroy(own);
                }
            },
            &shared));
    }
    for (ClThread& thread : threads) thread.join();
    EXPECT_EQ(shared.failedCreates.load(), 0u);
    EXPECT_EQ(shared.counter, u64(kChurnThreads) * kChurnRounds);
    EXPECT_EQ(critSectionPoolUseCount(), m_usedAtStart + 1);
}

TEST_F(CritSectionPool, NullLocksAreSkippedCreateOrDieStopsWhenExhaustedAndADoubleDestroyStops) {
    // A null lock (a failed create) is skipped.
    critSectionEnter(nullptr);
    critSectionLeave(nullptr);
    EXPECT_EQ(critSectionTryEnter(nullptr), 0);
    critSectionDestroy(nullptr);

    EXPECT_EXIT(
        {
            for (SCritSection* lock = nullptr; critSectionCreate(&lock);) continue;  // every free record
            critSectionCreateOrDie("the log record");
        },
        ::testing::ExitedWithCode(3), "no pooled lock left for the log record");

    EXPECT_EXIT(
        {
            SCritSection* lock = critSectionCreateOrDie("test");
            critSectionDestroy(lock);
            critSectionDestroy(lock);
        },
        ::testing::ExitedWithCode(3), "critSectionDestroy of a lock that is not in use");
}

// Shutdown deletes the locks of every owner, so it runs in a child process of its own.
TEST_F(CritSectionPool, ShutdownReturnsEveryRecordAndCreateSetsThePoolUpAgain) {
    EXPECT_EXIT(
        {
            // Each check that fails exits with its own code, which the failure shows.
            SCritSection* old = critSectionCreateOrDie("test");
            if (critSectionPoolShutdown() != 0) std::_Exit(1);
            if (critSectionPoolUseCount() != 0) std::_Exit(2);
            critSectionDestroy(old);  // already deleted by the shutdown: ignored
            SCritSection* fresh = nullptr;
            if (critSectionCreate(&fresh) != 1) std::_Exit(3);
            if (critSectionPoolUseCount() != 1) std::_Exit(4);
            critSectionEnter(fresh);
            critSectionLeave(fresh);
            critSectionPoolShutdown();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
