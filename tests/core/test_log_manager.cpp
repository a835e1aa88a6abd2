// Log manager: the sentinel, ordering through the writer thread, closes that drain, handles that
// outlive other logs, and writers on several threads.
#include "core/crit_section_pool.h"
#include "core/log_manager.h"
#include "platform/os/os.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace test_support;

namespace {

// Threads that each write "thread:index" lines until stopped.
struct SWriters {
    std::atomic<u32> started{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;

    SWriters(LogHandle log, u32 count) {
        for (u32 t = 0; t < count; ++t) {
            threads.emplace_back([this, log, t] {
                started.fetch_add(1);
                for (u32 i = 0; !stop.load(); ++i) writeLog(log, "%u:%u", t, i);
            });
        }
    }
    void join() {
        stop.store(true);
        for (std::thread& thread : threads) thread.join();
    }
};

class LogManager : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        logManagerInit();
    }
    void TearDown() override { logManagerShutdown(); }

    // The game writes paths with '\'.
    LogHandle open(const char* name, const std::string& file) const {
        std::string path = m_dir.file(file);
        for (char& c : path) c = c == '/' ? '\\' : c;
        return openLog(name, path.c_str());
    }
    std::string text(const std::string& file) const { return readFileText(m_dir.file(file)); }

    ClTempDir m_dir;
};

TEST_F(LogManager, RefusedLogsAndUnknownNamesGiveTheSentinel) {
    const LogHandle missingFolder = open("audio", "no_such_folder/audio.log");
    EXPECT_EQ(missingFolder, logSentinel());
    writeLog(missingFolder, "dropped %d", 1);
    writeLog(nullptr, "dropped");
    EXPECT_EQ(closeLog("audio"), 0);
    // A path that would have to be cut names another file.
    EXPECT_EQ(open("long", std::string(LOG_TEXT_CAPACITY, 'p')), logSentinel());

    // A log without its own lock would race its writers, so an empty lock pool refuses it.
    std::vector<SCritSection*> taken;
    for (SCritSection* lock = nullptr; critSectionCreate(&lock);) taken.push_back(lock);
    EXPECT_EQ(open("nolock", "nolock.log"), logSentinel());
    for (SCritSection* lock : taken) critSectionDestroy(lock);
}

TEST_F(LogManager, HandlesSurviveANinthOpenAndTheCloseOfAnEarlierLogAndShutdownWritesThemAll) {
    std::vector<LogHandle> logs;
    for (int i = 0; i < 9; ++i) {
        const std::string name = "log" + std::to_string(i);
        logs.push_back(open(name.c_str(), name + ".txt"));
        ASSERT_NE(logs.back(), logSentinel());
    }
    EXPECT_EQ(closeLog("log0"), 1);
    for (int i = 1; i < 9; ++i) writeLog(logs[i], "to %d", i);
    logManagerShutdown();
    for (int i = 1; i < 9; ++i) EXPECT_EQ(text("log" + std::to_string(i) + ".txt"), "to " + std::to_string(i) + "\n");
}

TEST_F(LogManager, WritersRacingACloseLoseOnlyLinesAfterIt) {
    SWriters writers(open("racing", "racing.log"), 3);
    while (writers.started.load() < 3) osSleep(1);
    for (int i = 0; i < 20; ++i) {
        logManagerWake();
        osSleep(1);
    }
    EXPECT_EQ(closeLog("racing"), 1);
    // The lock the log gave back may be reused while the writers still hold the handle.
    SCritSection* reused = critSectionCreateOrDie("test");
    osSleep(5);
    writers.join();
    critSectionDestroy(reused);
    // Each thread's lines reached the file as 0, 1, 2 ... without gaps.
    std::vector<u32> next(3, 0);
    std::istringstream in(text("racing.log"));
    for (std::string line; std::getline(in, line);) {
        u32 thread = 0, index = 0;
        if (std::sscanf(line.c_str(), "%u:%u", &thread, &index) != 2 || thread >= 3 || index != next[thread]) {
            ADD_FAILURE() << "damaged or out of order: " << line;
            break;
        }
        ++next[thread];
    }
}

}  // namespace
