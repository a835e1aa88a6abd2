// Fatal signal handling and text dumps.
#include "platform/crash/crash.h"
#include "platform/platform_imports.h"

#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kAlternateStackSize = 64 * 1024;
constexpr int kMaxFrames = 64;

alignas(16) char g_alternateStack[kAlternateStackSize];

// What the dump needs to name the game's own frames, found when the filter is installed: the
// executable's path, the address range it is mapped at, and the symboliser's path (empty: none).
constexpr char kSymboliser[] = "/usr/bin/addr2line";
char g_executablePath[4096];
uintptr_t g_executableStart = 0;
uintptr_t g_executableEnd = 0;
uintptr_t g_loadBase = 0;  // what a frame's address less gives its offset in the file
bool g_canSymbolise = false;

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

// The executable's path and the span of its mappings in /proc/self/maps, for the symboliser.
void findExecutable() {
    g_canSymbolise = false;
    const ssize_t length = readlink("/proc/self/exe", g_executablePath, sizeof g_executablePath - 1);
    if (length <= 0 || access(kSymboliser, X_OK) != 0) return;
    g_executablePath[length] = '\0';
    FILE* maps = fopen("/proc/self/maps", "re");
    if (!maps) return;
    uintptr_t start = UINTPTR_MAX, end = 0;
    char line[4352];
    while (fgets(line, sizeof line, maps)) {
        unsigned long from = 0, to = 0;
        int pathAt = 0;
        if (sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &from, &to, &pathAt) < 2 || pathAt <= 0) continue;
        char* path = line + pathAt;
        path[strcspn(path, "\n")] = '\0';
        if (strcmp(path, g_executablePath) != 0) continue;
        if (from < start) start = from;
        if (to > end) end = to;
    }
    fclose(maps);
    if (start >= end) return;
    // The first mapping starts with the file's header. Offsets are asked of the file: a
    // position-dependent executable is loaded at its own addresses, so its frames go as they are.
    const bool positionIndependent = reinterpret_cast<const Elf64_Ehdr*>(start)->e_type == ET_DYN;
    g_executableStart = start;
    g_loadBase = positionIndependent ? start : 0;
    g_executableEnd = end;
    g_canSymbolise = true;
}

// The game's own frames by function, file and line, written to fd by the symboliser in a child
// process: only async-signal-safe calls here, and nothing allocated.
void writeSymbolisedFrames(int fd, void* const* frames, int count) {
    if (!g_canSymbolise) return;
    constexpr int kFixedArguments = 7;
    static char offsets[kMaxFrames][24];
    static char* arguments[kFixedArguments + kMaxFrames + 1];
    static char symboliser[] = "addr2line", demangle[] = "-C", functions[] = "-f", inlined[] = "-i", pretty[] = "-p",
                executable[] = "-e";
    arguments[0] = symboliser;
    arguments[1] = demangle;
    arguments[2] = functions;
    arguments[3] = inlined;
    arguments[4] = pretty;
    arguments[5] = executable;
    arguments[6] = g_executablePath;
    int used = kFixedArguments;
    for (int i = 0; i < count; ++i) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(frames[i]);
        if (address <= g_executableStart || address >= g_executableEnd) continue;
        // A return address names the instruction after the call: one byte back is the call.
        char* text = offsets[used - kFixedArguments];
        text[0] = '0';
        text[1] = 'x';
        char digits[24];
        const char* formatted = formatUnsigned(address - g_loadBase - 1, 16, digits);
        size_t at = 2;
        while (*formatted && at < sizeof offsets[0] - 1) text[at++] = *formatted++;
        text[at] = '\0';
        arguments[used++] = text;
    }
    if (used == kFixedArguments) return;
    arguments[used] = nullptr;
    writeText(fd, "calling frames:\n");
    char* const noEnvironment[] = {nullptr};
    const pid_t child = vfork();
    if (child == 0) {
        dup2(fd, STDOUT_FILENO);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        execve(kSymboliser, arguments, noEnvironment);
        _exit(127);
    }
    if (child < 0) return;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

void onFatalSignal(int signal, siginfo_t* signalInfo, void*) {
    SCrashInfo info;
    info.signal = signal;
    info.code = signalInfo ? signalInfo->si_code : 0;
    info.faultAddress = signalInfo ? signalInfo->si_addr : nullptr;
    info.threadId = uint64_t(syscall(SYS_gettid));
    std::memset(info.threadName, 0, sizeof info.threadName);
    prctl(PR_GET_NAME, info.threadName, 0, 0, 0);
    info.threadName[sizeof info.threadName - 1] = '\0';
    // Reads one function pointer: async-signal-safe.
    if (platformImports().writeCrashReport) platformImports().writeCrashReport(&info);

    // Leave the crash to the system: default action, then the same signal again.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

}  // namespace

void crashInstallHandlers() {
    // The first back-trace loads the unwinder, which allocates: do it now, not in the handler.
    void* frames[1];
    backtrace(frames, 1);
    findExecutable();

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

bool crashWriteDumpFile(const char* fileName, const SCrashInfo* info) {
    const int fd = open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;

    char number[24];
    writeText(fd, "Velodrix crash report\nsignal: ");
    writeText(fd, formatUnsigned(uint64_t(info->signal), 10, number));
    writeText(fd, " ");
    writeText(fd, signalName(info->signal));
    writeText(fd, "\ncode: ");
    // Codes sent by a process (kill, tkill, sigqueue) are negative.
    if (info->code < 0) writeText(fd, "-");
    writeText(fd, formatUnsigned(info->code < 0 ? 0 - uint64_t(int64_t(info->code)) : uint64_t(info->code), 10, number));
    writeText(fd, "\nfault address: 0x");
    writeText(fd, formatUnsigned(reinterpret_cast<uintptr_t>(info->faultAddress), 16, number));
    writeText(fd, "\nthread: ");
    writeText(fd, formatUnsigned(info->threadId, 10, number));
    writeText(fd, " \"");
    writeText(fd, info->threadName[0] ? info->threadName : "unnamed");
    writeText(fd, "\"\nback-trace:\n");

    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    backtrace_symbols_fd(frames, count, fd);
    writeSymbolisedFrames(fd, frames, count);
    close(fd);
    return true;
}

void crashWriteStderr(const char* text) { writeText(STDERR_FILENO, text); }
