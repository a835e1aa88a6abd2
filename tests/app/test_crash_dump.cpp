// The crash filter leaves a dump named after the build, the date and the tick count, and the
// process still dies by its signal; under a debugger nothing is installed.
#include "core/crash_dump.h"
#include "app/real_main.h"

#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

using test_support::ClTempDir;

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    return names;
}

// Runs `crash` in a child in the folder (the child first leaves it when `removeFolder`) and waits;
// the signal that ended the child, and what it wrote to standard error.
template <class FCrash>
std::pair<int, std::string> crashChild(const std::string& directory, bool removeFolder, FCrash crash) {
    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        if (chdir(directory.c_str()) != 0 || (removeFolder && rmdir(directory.c_str()) != 0)) _exit(70);
        crash();
        _exit(72);
    }
    close(pipeEnds[1]);
    std::string errorText;
    char buffer[512];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) errorText.append(buffer, size_t(got));
    close(pipeEnds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status) << "\n" << errorText;
    return {WIFSIGNALED(status) ? WTERMSIG(status) : 0, errorText};
}

TEST(CrashDumpName, MonthComesBeforeDayTheTickCountLastAndNothingPastTheBuffer) {
    char full[CRASH_DUMP_NAME_LENGTH];
    formatCrashDumpName(full, sizeof full, 996, 12, 31, 999, -5);
    EXPECT_STREQ(full, "HSQCrashDump__VelodrixBuild_996__12-31-0999__-5.dmp");
    char name[20];
    std::memset(name, 'x', sizeof name);
    formatCrashDumpName(name, 12, 996, 3, 7, 2026, 1);
    EXPECT_STREQ(name, "HSQCrashDum");
    EXPECT_EQ(name[12], 'x');
}

// A named thread crashing in a function of the game's own: the process still dies by its signal,
// and the dump names the signal, the thread and the calling function.
[[gnu::noinline]] void crashInsideTheNamedCaller() {
    raise(SIGSEGV);
    asm volatile("");  // keeps the call from becoming the function's last jump
}

TEST(CrashFilter, ACrashLeavesADumpNamingTheThreadAndTheCallingFunctionAndStillKillsTheProcess) {
    const ClTempDir folder;
    EXPECT_EQ(crashChild(folder.str(), false, [] {
                  pthread_setname_np(pthread_self(), "doomed worker");
                  if (installCrashFilterUnlessDebugged()) crashInsideTheNamedCaller();
              }).first,
              SIGSEGV);
    const std::vector<std::string> files = filesIn(folder.str());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(HSQCrashDump__VelodrixBuild_996__\d\d-\d\d-\d{4}__-?\d+\.dmp)")))
        << files[0];
    const std::string text = test_support::readFileText(folder.path() / files[0]);
    EXPECT_NE(text.find("signal: 11"), std::string::npos) << text;
    EXPECT_NE(text.find("code: -6\n"), std::string::npos) << text;  // raise() sends with SI_TKILL
    EXPECT_TRUE(std::regex_search(text, std::regex("\nthread: [0-9]+ \"doomed worker\"\n"))) << text;
    const size_t frames = text.find("calling frames:\n");
    ASSERT_NE(frames, std::string::npos) << text;
    EXPECT_NE(text.find("crashInsideTheNamedCaller()", frames), std::string::npos) << text;
    EXPECT_NE(text.find("test_crash_dump.cpp:", frames), std::string::npos) << text;
}

// Root ignores permissions, so the folder vanishes instead.
TEST(CrashFilter, AnUnwritableFolderGivesTheStandardErrorLine) {
    const ClTempDir folder;
    const auto [signal, errorText] = crashChild(folder.str(), true, [] {
        installCrashFilterUnlessDebugged();
        raise(SIGFPE);
    });
    EXPECT_EQ(signal, SIGFPE);
    EXPECT_NE(errorText.find("EXCEPTION HANDLER -> Could not write mini-dump file with path [HSQCrashDump__VelodrixBuild_996__"),
              std::string::npos)
        << errorText;
}

TEST(CrashFilter, UnderADebuggerNoFilterIsInstalled) {
    const ClTempDir folder;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(folder.str().c_str()) != 0) _exit(70);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(77);
        signal(SIGSEGV, SIG_DFL);
        if (installCrashFilterUnlessDebugged()) _exit(71);
        raise(SIGSEGV);
        _exit(72);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "tracing is not permitted here";
    ASSERT_TRUE(WIFSTOPPED(status)) << "the filter was installed under a tracer";
    EXPECT_EQ(WSTOPSIG(status), SIGSEGV);
    ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(intptr_t(SIGSEGV)));
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(filesIn(folder.str()).empty());
}

}  // namespace
