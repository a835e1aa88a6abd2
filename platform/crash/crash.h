// The last word of a crashing process: a handler of the fatal signals (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGABRT) that writes the crash report the platform's import record names, after which
// the signal's own default action follows, so the process still dies by it.
#pragma once

#include <cstdint>

struct SCrashInfo {
    int signal;
    int code;            // the signal's si_code
    void* faultAddress;  // si_addr: the address that faulted, where the signal has one
    uint64_t threadId;
    char threadName[16];  // the faulting thread's own name, empty when it has none
};

// Installs the handler for the fatal signals, on an alternate stack so that a stack overflow can
// still be reported. The handler calls `platformImports().writeCrashReport` when it is set.
void crashInstallHandlers();

// Writes a text dump (signal, fault address, thread id and name, back-trace) to the named file in
// the current directory. The back-trace lists each frame's module and offset, then, where the
// system's addr2line can be run, the game's own frames by function, file and line (a child
// process reads the executable's debug information; the crashed process allocates nothing).
// Async-signal-safe. False when the file cannot be created.
bool crashWriteDumpFile(const char* fileName, const SCrashInfo* info);

// Writes text to standard error. Async-signal-safe.
void crashWriteStderr(const char* text);
