// Log manager: the sentinel, ordering through the writer thread, closes that drain, handles that
// outlive other logs, and writers on several threads.
#include "core/crit_section_pool.h"
#include "core/log_manager.h"
#include "platform/os/os.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace test_support;

namespace {

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(readFileText(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class LogManager : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        logManagerInit();
    }
    void TearDown() override { logManagerShutdown(); }

    // The game writes paths with '\'.
    std::string gamePath(const std::string& file) const {
        std::string path = diskPath(file);
        for (char& c : path) c = c == '/' ? '\\' : c;
        return path;
    }
    std::string diskPath(const std::string& file) const { return m_dir.str() + "/" + file; }

    ClTempDir m_dir;
};

TEST(LogManagerInactive, HandsOutTheSentinelAndClosesNothing) {
    EXPECT_EQ(openLog("early", "/tmp/velodrix_never.log"), logSentinel());
    EXPECT_FALSE(std::filesystem::exists("/tmp/velodrix_never.log"));
    EXPECT_EQ(closeLog("early"), 0);
}

TEST_F(LogManager, RefusedLogsAndUnknownNamesGiveTheSentinel) {
    const LogHandle missingFolder = openLog("audio", gamePath("no_such_folder/audio.log").c_str());
    EXPECT_EQ(missingFolder, logSentinel());
    writeLog(missingFolder, "dropped %d", 1);
    writeLog(nullptr, "dropped");
    EXPECT_EQ(closeLog("audio"), 0);

    // A path that would have to be cut names another file.
    const std::string longPath = gamePath(std::string(LOG_TEXT_CAPACITY, 'p'));
    EXPECT_EQ(openLog("long", longPath.c_str()), logSentinel());

    // A log without its own lock would race its writers, so an empty lock pool refuses it.
    std::vector<SCritSection*> taken;
    for (SCritSection* lock = nullptr; critSectionCreate(&lock);) taken.push_back(lock);
    EXPECT_EQ(openLog("nolock", gamePath("nolock.log").c_str()), logSentinel());
    for (SCritSection* lock : taken) critSectionDestroy(lock);
}

TEST_F(LogManager, TwoWritesArriveInOrderAfterTheNextWakeAndCloseWritesEveryEarlierLine) {
    const LogHandle log = openLog("VEDOVoz", gamePath("audio.log").c_str());
    ASSERT_NE(log, logSentinel());
    EXPECT_EQ(findLog("vedovoz"), log);
    writeLog(log, "first %d", 1);
    writeLog(log, "second %s", "two");
    logManagerWake();

    const std::string expected = "first 1\nsecond two\n";
    for (int i = 0; i < 500 && readFileText(diskPath("audio.log")) != expected; ++i) osSleep(10);
    EXPECT_EQ(readFileText(diskPath("audio.log")), expected);

    const LogHandle decode = openLog("decode", gamePath("decode.log").c_str());
    for (int i = 0; i < 100; ++i) writeLog(decode, "line %d", i);
    writeLog(decode, "%s", std::string(LOG_LINE_MAX_LENGTH + 100, 'x').c_str());

    EXPECT_EQ(closeLog("decode"), 1);
    const std::vector<std::string> lines = readLines(diskPath("decode.log"));
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[99], "line 99");
    EXPECT_EQ(lines[100].size(), LOG_LINE_MAX_LENGTH);
    writeLog(decode, "after the close");
    EXPECT_EQ(readLines(diskPath("decode.log")).size(), 101u);
}

TEST_F(LogManager, HandlesSurviveANinthOpenAndTheCloseOfAnEarlierLogAndShutdownWritesThemAll) {
    std::vector<LogHandle> logs;
    for (int i = 0; i < 9; ++i) {
        const std::string name = "log" + std::to_string(i);
        logs.push_back(openLog(name.c_str(), gamePath(name + ".txt").c_str()));
        ASSERT_NE(logs.back(), logSentinel());
    }
    EXPECT_EQ(closeLog("log0"), 1);
    for (int i = 1; i < 9; ++i) writeLog(logs[i], "to %d", i);

    // Shutdown closes every open log with its lines.
    logManagerShutdown();
    for (int i = 1; i < 9; ++i)
        EXPECT_EQ(readFileText(diskPath("log" + std::to_string(i) + ".txt")), "to " + std::to_string(i) + "\n");
}

// Each thread writes "thread:index"; its lines must reach the file as 0, 1, 2 ... without gaps.
void expectEachThreadInOrder(const std::vector<std::string>& lines, u32 threadCount, u32* outPerThread) {
    std::vector<u32> next(threadCount, 0);
    for (const std::string& line : lines) {
        u32 thread = 0, index = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%u:%u", &thread, &index), 2) << line;
        ASSERT_LT(thread, threadCount);
        ASSERT_EQ(index, next[thread]) << "thread " << thread;
        ++next[thread];
    }
    for (u32 t = 0; t < threadCount; ++t) outPerThread[t] = next[t];
}

TEST_F(LogManager, LinesFromSeveralThreadsAllArrive) {
    constexpr u32 kThreads = 4;
    constexpr u32 kLinesEach = 2000;
    const LogHandle log = openLog("shared", gamePath("shared.log").c_str());
    std::atomic<u32> finished{0};
    std::vector<std::thread> writers;
    for (u32 t = 0; t < kThreads; ++t) {
        writers.emplace_back([log, t, &finished] {
            for (u32 i = 0; i < kLinesEach; ++i) writeLog(log, "%u:%u", t, i);
            finished.fetch_add(1);
        });
    }
    while (finished.load() < kThreads) {
        logManagerWake();
        osSleep(1);
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(closeLog("shared"), 1);

    u32 perThread[kThreads];
    expectEachThreadInOrder(readLines(diskPath("shared.log")), kThreads, perThread);
    for (u32 count : perThread) EXPECT_EQ(count, kLinesEach);
}

TEST_F(LogManager, WritersRacingACloseLoseOnlyLinesAfterIt) {
    constexpr u32 kThreads = 3;
    const LogHandle log = openLog("racing", gamePath("racing.log").c_str());
    std::atomic<bool> stop{false};
    std::atomic<u32> started{0};
    std::vector<std::thread> writers;
    for (u32 t = 0; t < kThreads; ++t) {
        writers.emplace_back([log, t, &stop, &started] {
            started.fetch_add(1);
            for (u32 i = 0; !stop.load(); ++i) writeLog(log, "%u:%u", t, i);
        });
    }
    while (started.load() < kThreads) osSleep(1);
    for (int i = 0; i < 20; ++i) {
        logManagerWake();
        osSleep(1);
    }
    EXPECT_EQ(closeLog("racing"), 1);
    // The lock the log gave back may be reused while the writers still hold the handle.
    SCritSection* reused = critSectionCreateOrDie("test");
    osSleep(5);
    stop.store(true);
    for (std::thread& writer : writers) writer.join();
    critSectionDestroy(reused);

    u32 perThread[kThreads];
    expectEachThreadInOrder(readLines(diskPath("racing.log")), kThreads, perThread);
}

}  // namespace
