// Kernel services the game asks of the operating system: time, processors, threads, locks,
// events, sleeps with completion delivery, files with overlapped reads, and directory search.
//
// Paths arrive as the game writes them: narrow (ASCII or UTF-8) or wide (UTF-16), with '\'
// separators. They become '/' and UTF-8 only inside this layer, when the system is called.
//
// Completion routines of overlapped reads, and anything else queued to a thread with
// osQueueCompletion, run only on the thread they were queued to and only inside one of its
// alertable waits (osSleepEx, ClEvent::wait with alertable set). They never run inside the
// call that issued them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// ---------------------------------------------------------------------------------------------
// Time and processors

// Monotonic counter in nanoseconds; its frequency is therefore 1e9 per second.
uint64_t osPerformanceCounter();
uint64_t osPerformanceFrequency();

// Milliseconds since an arbitrary start, truncated to 32 bits (wraps after 49.7 days).
uint32_t osTickCount();

struct SOsDateTime {
    int year;        // full year, such as 2026
    int month;       // 1 to 12
    int dayOfWeek;   // 0 Sunday to 6 Saturday
    int day;         // 1 to 31
    int hour;
    int minute;
    int second;
    int milliseconds;
};

// UTC now. Safe to call from a signal handler.
void osGetSystemTime(SOsDateTime* out);
// UTC date of a count of seconds since 1970-01-01 (pure arithmetic, signal-safe).
void osDateTimeFromUnixSeconds(int64_t seconds, SOsDateTime* out);

uint32_t osLogicalProcessorCount();
// Physical cores from the CPU topology; the logical count when the topology cannot be read.
uint32_t osProcessorCoreCount();

// True while a tracer (debugger) is attached to this process.
bool osIsDebuggerPresent();
// The TracerPid value of a process status text; 0 when absent. Exposed for tests.
int osTracerPidFromStatusText(const char* statusText);

// ---------------------------------------------------------------------------------------------
// Sleeps, alertable waits and completion queues

constexpr uint32_t OS_INFINITE = 0xFFFFFFFFu;

enum EOsWaitResult {
    E_OSWAIT_SIGNALLED = 0,
    E_OSWAIT_TIMEOUT = 1,
    E_OSWAIT_IO_COMPLETION = 2,  // an alertable wait ended because completions ran
};

void osSleep(uint32_t milliseconds);

// Sleeps; when alertable, runs every completion queued to this thread first and returns
// E_OSWAIT_IO_COMPLETION at once if any ran, else sleeps until the time passes or a
// completion arrives (which then runs before the return).
EOsWaitResult osSleepEx(uint32_t milliseconds, bool alertable);

using OsCompletionRoutine = void (*)(void* context);

// The completion queue of a thread: a handle other threads may post to.
struct SOsThreadQueue;
using OsThreadQueueRef = std::shared_ptr<SOsThreadQueue>;
OsThreadQueueRef osCurrentThreadQueue();
// Queues a routine to run on the queue's thread in its next alertable wait.
void osQueueCompletion(const OsThreadQueueRef& queue, OsCompletionRoutine routine, void* context);

// ---------------------------------------------------------------------------------------------
// Locks, events and threads

// A re-entrant lock: the thread that holds it may enter it again.
class ClCriticalSection {
public:
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }
    bool tryEnter() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// An event: auto-reset events release one waiter and clear themselves; manual-reset events
// stay set until reset.
class ClEvent {
public:
    ClEvent(bool manualReset, bool initiallySet);
    void set();
    void reset();
    // Waits until set, for at most the given time (OS_INFINITE: no limit). An alertable wait
    // also ends when completions queued to this thread have run.
    EOsWaitResult wait(uint32_t milliseconds, bool alertable = false);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_manualReset;
    bool m_set;
};

using OsThreadRoutine = void (*)(void* argument);

// A thread of the game's own. Starting twice, or destroying a running thread without
// joining it, is a programming error that ends the program.
class ClThread {
public:
    ClThread() = default;
    ~ClThread();
    ClThread(const ClThread&) = delete;
    ClThread& operator=(const ClThread&) = delete;

    // The name (up to 15 characters; longer ones are cut) is what the system, debuggers and the
    // crash report show for the thread.
    bool start(OsThreadRoutine routine, void* argument, const char* name = nullptr);
    void join();
    // Lets a thread that cannot be stopped (held in a system call) run on alone; the process's
    // exit ends it.
    void detach();
    bool isRunning() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
};

// ---------------------------------------------------------------------------------------------
// Files

struct SOsFile;

enum EOsFileOpen {
    E_OSFILE_READ_EXISTING,      // read only; the file must exist
    E_OSFILE_WRITE_CREATE,       // write only; created or truncated
    E_OSFILE_READWRITE_EXISTING, // read and write; the file must exist
    E_OSFILE_READWRITE_KEEP,     // read and write; created when absent, never truncated
};

// Null on failure; osLastError() then says why. Only a regular file opens, and the open never
// waits (a named pipe or a device is refused with E_OSERR_NOT_A_FILE). Opening for writing sets
// SIGXFSZ aside for the whole process: a write past a file-size limit then fails (EFBIG) instead
// of ending the program.
SOsFile* osFileOpen(const char* path, EOsFileOpen mode);
SOsFile* osFileOpenW(const char16_t* path, EOsFileOpen mode);
// False when the system reports a failure (the file is released all the same).
bool osFileClose(SOsFile* file);
bool osFileGetSize(SOsFile* file, uint64_t* outSize);
// Sequential write from the current position.
bool osFileWrite(SOsFile* file, const void* buffer, uint32_t size, uint32_t* outWritten);
// Writes the file's data through to the disk, so that it survives a crash from now on.
bool osFileFlush(SOsFile* file);
// Takes an exclusive lock on the file for as long as this open of it lasts (the system drops it
// when the process ends, however it ends): no other open of the file, in this process or
// another, can take it meanwhile. False at once when another holds it (osLastError()
// E_OSERR_LOCK_VIOLATION) or the system refuses.
bool osFileTryLock(SOsFile* file);
// Positioned read that leaves the sequential position alone.
bool osFileReadAt(SOsFile* file, uint64_t offset, void* buffer, uint32_t size, uint32_t* outRead);

// The block of an overlapped read. The caller owns it and keeps it alive until the
// completion routine has run; `user` is the caller's own word.
struct SOsOverlapped {
    uint64_t offset;
    void* user;
};

// error 0 means success; otherwise an EOsError value.
using OsReadCompletion = void (*)(uint32_t error, uint32_t bytesTransferred, SOsOverlapped* overlapped);

// Starts a read of size bytes at overlapped->offset into buffer. The completion routine runs
// later on the calling thread, inside one of its alertable waits, with the outcome: a read
// error or a read past the end reaches it as an error code. Returns false (and queues
// nothing) only when the read cannot be started at all.
bool osFileReadOverlapped(SOsFile* file, void* buffer, uint32_t size, SOsOverlapped* overlapped,
                          OsReadCompletion routine);

bool osDeleteFile(const char* path);
// Creates the directory and every missing parent. True when it exists afterwards.
bool osCreateDirectory(const char* path);
bool osCreateDirectoryW(const char16_t* path);

// ---------------------------------------------------------------------------------------------
// Directory search

enum EOsFileAttribute : uint32_t {
    E_OSATTR_DIRECTORY = 1,
    E_OSATTR_READONLY = 2,
    E_OSATTR_HIDDEN = 4,
    E_OSATTR_SYSTEM = 8,  // never set here
    E_OSATTR_FILE = 16,   // a directory never has it
    E_OSATTR_SPECIAL = 32,  // a pipe, a device or a socket: never E_OSATTR_FILE
};

constexpr int OS_FIND_NAME_LENGTH = 260;

struct SOsFindData {
    uint32_t attributes;
    uint64_t size;
    // Which object the entry is (links followed): equal pairs are the same file or folder.
    uint64_t device;
    uint64_t inode;
    // When the entry last changed (its content, name or status), in nanoseconds since 1970, by
    // the system's clock: a write, a rename or a copy over it moves it on, and no tool can set
    // it back.
    uint64_t changeTime;
    char16_t name[OS_FIND_NAME_LENGTH];  // NUL-terminated; longer names are cut
};

struct SOsFind;

// The pattern is a directory, '\', and a name pattern with '*' and '?' (matched without
// regard to case), such as "/home/ann/Music\*" or "Songs\*.mp3". Null when the directory cannot be
// searched or nothing matches; osLastError() then tells which (E_OSERR_NO_MORE_FILES for an
// empty result). Like the system's own search, "." and ".." are listed. Every name is listed,
// in its game form (osNameToWide), whatever its bytes.
SOsFind* osFindFirst(const char16_t* pattern, SOsFindData* out);
bool osFindNext(SOsFind* find, SOsFindData* out);
void osFindClose(SOsFind* find);
// The device and inode of what the path names (links followed). False when it cannot be read.
bool osPathIdentityW(const char16_t* path, uint64_t* outDevice, uint64_t* outInode);
// When the file's content was last written, in nanoseconds since 1970. False when it cannot be
// read.
bool osPathWriteTimeW(const char16_t* path, uint64_t* outTime);

// ---------------------------------------------------------------------------------------------
// Errors

enum EOsError : uint32_t {
    E_OSERR_NONE = 0,
    E_OSERR_NOT_FOUND = 2,
    E_OSERR_ACCESS_DENIED = 5,
    E_OSERR_INVALID_HANDLE = 6,
    E_OSERR_NO_MORE_FILES = 18,
    E_OSERR_READ_FAULT = 30,
    E_OSERR_LOCK_VIOLATION = 33,
    E_OSERR_HANDLE_EOF = 38,
    E_OSERR_ALREADY_EXISTS = 183,
    E_OSERR_INVALID_PARAMETER = 87,
    E_OSERR_NOT_A_FILE = 999,  // a pipe, a device or a socket where a regular file was asked for
    E_OSERR_OTHER = 1000,
};

// The error of the last failed call of this layer on this thread.
uint32_t osLastError();
void osSetLastError(uint32_t error);
// A readable text for an error code.
std::string osErrorText(uint32_t error);

// ---------------------------------------------------------------------------------------------
// Text and paths

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string osWideToUtf8(const char16_t* text);
// A name from the system (bytes, any of them) in the game's UTF-16 form, losslessly: valid UTF-8
// is converted, and each byte that is not part of it, and each '\' (the game's separator), is
// kept as the unpaired surrogate U+DC00 + byte, which osSystemPathW turns back into the byte.
std::u16string osNameToWide(const char* bytes);
// A game text as a player reads it: the kept bytes of osNameToWide become '\' (for a kept
// separator) or U+FFFD, any other unpaired surrogate U+FFFD, and control characters spaces.
std::u16string osReadableText(const std::u16string& text);
// UTF-8 to UTF-16; false (and an empty result) on invalid input.
bool osUtf8ToWide(const char* text, std::u16string* out);
// A game path as the system takes it: '\' becomes '/', and the bytes osNameToWide kept come
// back as they were.
std::string osSystemPath(const char* path);
std::string osSystemPathW(const char16_t* path);
// The game path made absolute against the working directory, with "." and ".." parts resolved
// by name (links are not followed), back in the game's form ('\' separators). A trailing
// separator is kept. False, with an empty result, when the working directory cannot be read.
bool osAbsolutePathW(const char16_t* path, std::u16string* out);

// ---------------------------------------------------------------------------------------------
// Termination requests

// SIGINT and SIGTERM no longer end the process; they set a flag the main loop reads, so the
// game shuts down in order.
void osInstallTerminationHandler();
bool osTerminationRequested();
void osClearTerminationRequest();
// From here on, an exit() called before osNoteRunEnded ends the process at once with status 1,
// without the static objects' destructors. Called once, after they are built.
void osEndAtOnceOnEarlyExit();
// The game has shut down in order: the static objects' destructors may run at exit.
void osNoteRunEnded();
