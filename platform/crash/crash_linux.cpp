// Fatal signal handling and text dumps.
#include "platform/crash/crash.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kAlternateStackSize = 64 * 1024;
constexpr int kMaxFrames = 64;

CrashFilter g_crashFilter = nullptr;
alignas(16) char g_alternateStack[kAlternateStackSize];

size_t textLength(const char* text) {
    size_t length = 0;
    while (text[length]) ++length;
    return length;
}

void writeText(int fd, const char* text) {
    size_t left = textLength(text);
    while (left > 0) {
        const ssize_t put = write(fd, text, left);
        if (put <= 0) return;
        text += put;
        left -= size_t(put);
    }
}

// Formats an unsigned value in the given base into buffer (at least 24 bytes).
const char* formatUnsigned(uint64_t value, unsigned base, char* buffer) {
    char* end = buffer + 23;
    *end = '\0';
    char* p = end;
    do {
        const unsigned digit = unsigned(value % base);
        *--p = char(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= base;
    } while (value != 0);
    return p;
}

const char* signalName(int signal) {
    switch (signal) {
        case SIGSEGV: return "SIGSEGV (segmentation fault)";
        case SIGBUS: return "SIGBUS (bus error)";
        case SIGILL: return "SIGILL (illegal instruction)";
        case SIGFPE: return "SIGFPE (arithmetic exception)";
        case SIGABRT: return "SIGABRT (abort)";
        default: return "unknown signal";
    }
}

void onFatalSignal(int signal, siginfo_t* signalInfo, void*) {
    SCrashInfo info;
    info.signal = signal;
    info.code = signalInfo ? signalInfo->si_code : 0;
    info.faultAddress = signalInfo ? signalInfo->si_addr : nullptr;
    info.threadId = uint64_t(syscall(SYS_gettid));
    if (g_crashFilter) g_crashFilter(&info);

    // Leave the crash to the system: default action, then the same signal again.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

}  // namespace

void crashInstallFilter(CrashFilter filter) {
    g_crashFilter = filter;

    // The first back-trace loads the unwinder, which allocates: do it now, not in the handler.
    void* frames[1];
    backtrace(frames, 1);

    stack_t stack = {};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = kAlternateStackSize;
    sigaltstack(&stack, nullptr);

    struct sigaction action = {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}

void crashRemoveFilter() {
    g_crashFilter = nullptr;
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int signal : kFatalSignals) sigaction(signal, &fallback, nullptr);
}

bool crashWriteDumpFile(const char* fileName, const SCrashInfo* info) {
    const int fd = open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;

    char number[24];
    writeText(fd, "Velodrix crash report\nsignal: ");
    writeText(fd, formatUnsigned(uint64_t(info->signal), 10, number));
    writeText(fd, " ");
    writeText(fd, signalName(info->signal));
    writeText(fd, "\ncode: ");
    writeText(fd, formatUnsigned(uint64_t(uint32_t(info->code)), 10, number));
    writeText(fd, "\nfault address: 0x");
    writeText(fd, formatUnsigned(reinterpret_cast<uintptr_t>(info->faultAddress), 16, number));
    writeText(fd, "\nthread: ");
    writeText(fd, formatUnsigned(info->threadId, 10, number));
    writeText(fd, "\nback-trace:\n");

    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    backtrace_symbols_fd(frames, count, fd);
    close(fd);
    return true;
}

void crashWriteStderr(const char* text) { writeText(STDERR_FILENO, text); }
