// Completion routines of overlapped reads run on the issuing thread, inside its alertable
// waits only; events, and the re-entrant lock that every pooled lock is.
#include "platform/os/os.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct SReadRecord {
    SOsOverlapped overlapped{};
    std::thread::id ranOn;
    int calls = 0;
    u32 error = 99, bytes = 0;
};

void recordRead(u32 error, u32 bytes, SOsOverlapped* overlapped) {
    auto* record = static_cast<SReadRecord*>(overlapped->user);
    record->ranOn = std::this_thread::get_id();
    ++record->calls, record->error = error, record->bytes = bytes;
}

bool startRead(SOsFile* handle, u32 offset, char* buffer, u32 size, SReadRecord* record) {
    record->overlapped.offset = offset;
    record->overlapped.user = record;
    return osFileReadOverlapped(handle, buffer, size, &record->overlapped, recordRead);
}

TEST(OverlappedRead, CompletesOnlyInsideTheIssuingThreadsAlertableWaitAndReportsReadsPastTheEnd) {
    test_support::ClTempDir folder;
    SOsFile* handle = osFileOpen(folder.write("digits", "0123456789").c_str(), E_OSFILE_READ_EXISTING);
    ASSERT_NE(handle, nullptr);
    char buffer[10] = {};
    SReadRecord record;
    // Not inside the issuing call, not in a wait that is not alertable, not in another thread's wait.
    ASSERT_TRUE(startRead(handle, 2, buffer, 4, &record));
    osSleep(5);
    std::thread([] { osSleepEx(0, true); }).join();
    EXPECT_EQ(record.calls, 0);
    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.error, 0u);
    EXPECT_EQ(record.bytes, 4u);
    EXPECT_EQ(record.ranOn, std::this_thread::get_id());
    EXPECT_EQ(std::string(buffer, 4), "2345");
    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_TIMEOUT) << "a completion ran twice";

    SReadRecord pastEnd;
    ASSERT_TRUE(startRead(handle, 100, buffer, sizeof buffer, &pastEnd));
    osSleepEx(0, true);
    EXPECT_EQ(pastEnd.calls, 1);
    EXPECT_EQ(pastEnd.error, u32(E_OSERR_HANDLE_EOF));
    EXPECT_EQ(pastEnd.bytes, 0u);
    osFileClose(handle);

    SReadRecord noFile;
    EXPECT_EQ(startRead(nullptr, 0, buffer, 4, &noFile), false);
    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_TIMEOUT);
    EXPECT_EQ(noFile.calls, 0);
}

void countCompletion(void* context) { static_cast<std::atomic<int>*>(context)->fetch_add(1); }

TEST(AlertableWait, PostsWakeSleepersEventWaitsRunCompletionsAndEventsReleaseTheirWaits) {
    std::atomic<int> ran{0};
    OsThreadQueueRef mine = osCurrentThreadQueue();
    std::thread poster([&] {
        osSleep(20);
        osQueueCompletion(mine, countCompletion, &ran);
    });
    EXPECT_EQ(osSleepEx(5000, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(ran.load(), 1);
    poster.join();

    ClEvent event(false, false);
    osQueueCompletion(mine, countCompletion, &ran);
    EXPECT_EQ(event.wait(1000, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(event.wait(1, true), E_OSWAIT_TIMEOUT);
    EXPECT_EQ(ran.load(), 2);

    // An automatic event releases one wait, a manual one stays set, and a set from another thread
    // ends an endless wait.
    ClEvent automatic(false, true), manual(true, false);
    manual.set();
    EXPECT_EQ(automatic.wait(0), E_OSWAIT_SIGNALLED);
    EXPECT_EQ(automatic.wait(0), E_OSWAIT_TIMEOUT) << "an automatic event releases one wait";
    EXPECT_EQ(manual.wait(0), E_OSWAIT_SIGNALLED);
    EXPECT_EQ(manual.wait(0), E_OSWAIT_SIGNALLED) << "a manual event stays set";
    manual.reset();
    EXPECT_EQ(manual.wait(0), E_OSWAIT_TIMEOUT);

    std::thread setter([&] { automatic.set(); });
    EXPECT_EQ(automatic.wait(OS_INFINITE), E_OSWAIT_SIGNALLED);
    setter.join();
}

TEST(CriticalSection, IsReentrant) {
    ClCriticalSection lock;
    lock.enter();
    EXPECT_TRUE(lock.tryEnter());
    lock.leave();
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = lock.tryEnter(); }).join();
    EXPECT_FALSE(otherGotIt);
    lock.leave();
}

}  // namespace
