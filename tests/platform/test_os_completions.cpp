// Completion routines of overlapped reads run on the issuing thread, inside its alertable
// waits only; events, and the re-entrant lock that every pooled lock is.
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

struct STempFile {
    std::string path;
    explicit STempFile(const std::string& contents) {
        char name[] = "/tmp/velodrix_os_XXXXXX";
        const int fd = mkstemp(name);
        path = name;
        EXPECT_EQ(write(fd, contents.data(), contents.size()), ssize_t(contents.size()));
        close(fd);
    }
    ~STempFile() { std::remove(path.c_str()); }
};

struct SReadRecord {
    SOsOverlapped overlapped{};
    std::thread::id ranOn;
    int calls = 0;
    uint32_t error = 99;
    uint32_t bytes = 0;
};

void recordRead(uint32_t error, uint32_t bytes, SOsOverlapped* overlapped) {
    auto* record = static_cast<SReadRecord*>(overlapped->user);
    record->ranOn = std::this_thread::get_id();
    record->calls++;
    record->error = error;
    record->bytes = bytes;
}

TEST(OverlappedRead, CompletesOnlyInsideTheIssuingThreadsAlertableWait) {
    STempFile file("0123456789");
    SOsFile* handle = osFileOpen(file.path.c_str(), E_OSFILE_READ_EXISTING);
    ASSERT_NE(handle, nullptr);

    char buffer[10] = {};
    SReadRecord record;
    record.overlapped.offset = 2;
    record.overlapped.user = &record;
    ASSERT_TRUE(osFileReadOverlapped(handle, buffer, 4, &record.overlapped, recordRead));
    EXPECT_EQ(record.calls, 0) << "ran inside the issuing call";

    osSleep(5);
    EXPECT_EQ(record.calls, 0) << "ran in a wait that is not alertable";

    // Another thread's alertable wait must not run it.
    std::thread other([] { osSleepEx(0, true); });
    other.join();
    EXPECT_EQ(record.calls, 0);

    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.ranOn, std::this_thread::get_id());
    EXPECT_EQ(record.error, 0u);
    EXPECT_EQ(record.bytes, 4u);
    EXPECT_EQ(std::string(buffer, 4), "2345");

    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_TIMEOUT) << "a completion ran twice";
    osFileClose(handle);
}

TEST(OverlappedRead, ReadPastTheEndReachesTheRoutineAsAnError) {
    STempFile file("abc");
    SOsFile* handle = osFileOpen(file.path.c_str(), E_OSFILE_READ_EXISTING);
    ASSERT_NE(handle, nullptr);
    char buffer[8];
    SReadRecord record;
    record.overlapped.offset = 100;
    record.overlapped.user = &record;
    ASSERT_TRUE(osFileReadOverlapped(handle, buffer, sizeof buffer, &record.overlapped, recordRead));
    osSleepEx(0, true);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.error, uint32_t(E_OSERR_HANDLE_EOF));
    EXPECT_EQ(record.bytes, 0u);
    osFileClose(handle);
}

TEST(OverlappedRead, RefusesToStartWithoutAFile) {
    char buffer[4];
    SReadRecord record;
    record.overlapped.user = &record;
    EXPECT_FALSE(osFileReadOverlapped(nullptr, buffer, 4, &record.overlapped, recordRead));
    EXPECT_EQ(osSleepEx(0, true), E_OSWAIT_TIMEOUT);
    EXPECT_EQ(record.calls, 0);
}

void countCompletion(void* context) { static_cast<std::atomic<int>*>(context)->fetch_add(1); }

TEST(AlertableWait, AnotherThreadsPostWakesASleepingThread) {
    std::atomic<int> ran{0};
    OsThreadQueueRef mine = osCurrentThreadQueue();
    std::thread poster([&] {
        osSleep(20);
        osQueueCompletion(mine, countCompletion, &ran);
    });
    EXPECT_EQ(osSleepEx(5000, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(ran.load(), 1);
    poster.join();
}

TEST(AlertableWait, EventWaitRunsCompletionsAndReportsThem) {
    std::atomic<int> ran{0};
    ClEvent event(false, false);
    osQueueCompletion(osCurrentThreadQueue(), countCompletion, &ran);
    EXPECT_EQ(event.wait(1000, true), E_OSWAIT_IO_COMPLETION);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(event.wait(1, true), E_OSWAIT_TIMEOUT);
}

TEST(Events, AutoResetReleasesOneWaitManualResetStaysSetAndASetFromAnotherThreadEndsAnEndlessWait) {
    ClEvent automatic(false, true);
    EXPECT_EQ(automatic.wait(0), E_OSWAIT_SIGNALLED);
    EXPECT_EQ(automatic.wait(0), E_OSWAIT_TIMEOUT);

    ClEvent manual(true, false);
    manual.set();
    EXPECT_EQ(manual.wait(0), E_OSWAIT_SIGNALLED);
    EXPECT_EQ(manual.wait(0), E_OSWAIT_SIGNALLED);
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
    std::thread other([&] { otherGotIt = lock.tryEnter(); });
    other.join();
    EXPECT_FALSE(otherGotIt);
    lock.leave();
}

}  // namespace
