// The last word of a crashing process: a filter that runs on the fatal signals (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGABRT) and may write a dump file, after which the signal's own
// default action follows, so the process still dies by it.
#pragma once

#include <cstdint>

struct SCrashInfo {
    int signal;
    int code;            // the signal's si_code
    void* faultAddress;  // si_addr: the address that faulted, where the signal has one
    uint64_t threadId;
    char threadName[16];  // the faulting thread's own name, empty when it has none
};

// Runs inside the signal handler: it may use only async-signal-safe calls.
using CrashFilter = int (*)(const SCrashInfo* info);

// Installs the filter for the fatal signals, on an alternate stack so that a stack overflow
// can still be reported. Replaces any filter installed before.
void crashInstallFilter(CrashFilter filter);

// Writes a text dump (signal, fault address, thread id and name, back-trace) to the named file in
// the current directory. The back-trace lists each frame's module and offset, then, where the
// system's addr2line can be run, the game's own frames by function, file and line (a child
// process reads the executable's debug information; the crashed process allocates nothing).
// Async-signal-safe. False when the file cannot be created.
bool crashWriteDumpFile(const char* fileName, const SCrashInfo* info);

// Writes text to standard error. Async-signal-safe.
void crashWriteStderr(const char* text);
