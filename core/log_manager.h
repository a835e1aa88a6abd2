// Named log files, fed with lines that the log writer thread appends and flushes.
//
// Any thread may write printf-style lines to a log without waiting for the disk: a line is
// formatted at once into a heap copy and queued on its log, and the writer thread appends the
// queued lines to their files when the frame tick wakes it. The manager adds no time stamp, level
// or prefix, and ends each line with "\n".
//
// A log that cannot be opened is handed out as the sentinel record, on which every write is
// silently dropped, so callers never check for failure. A handle stays usable until
// logManagerShutdown: once its log is closed, writes to it are dropped; other logs opening or
// closing never move it.
#pragma once

#include "core/array.h"
#include "core/types.h"

#include <atomic>
#include <cstdio>

// Names and paths are held in fixed buffers of this many bytes, terminator included.
constexpr u32 LOG_TEXT_CAPACITY = 768;
// A formatted line longer than this is cut to it.
constexpr u32 LOG_LINE_MAX_LENGTH = 8191;

struct SCritSection;

// One open (or closed) log. Records never move: the registry holds their addresses.
struct ClLogRecord {
    char name[LOG_TEXT_CAPACITY];
    // crc32TextNoCase of the name; 0 in the sentinel and in a closed record, which drops writes.
    std::atomic<u32> nameHash{0};
    // As the game wrote it, with '\' separators.
    char path[LOG_TEXT_CAPACITY];
    // Guards lines and file. Null in the sentinel.
    SCritSection* lock = nullptr;
    // Heap-held, NUL-terminated lines waiting for the writer thread.
    ClArray<char*> lines;
    FILE* file = nullptr;
    // Writers between their check of nameHash and the end of their append; the close waits for
    // them before it gives the lock back to the pool.
    std::atomic<u32> writersInFlight{0};
};

using LogHandle = ClLogRecord*;

// The record handed out for a log that does not exist or cannot be opened.
LogHandle logSentinel();

// Creates the registry, its lock and the wake-up event and starts the writer thread; a thread
// that cannot start stops the program. A second call while active does nothing.
void logManagerInit();
// Closes every open log (each file gets all its queued lines first), stops the writer thread and
// frees every record, so every handle is void afterwards. Nothing happens while inactive.
void logManagerShutdown();

// Creates or truncates the file and returns its log. The sentinel when the manager is inactive,
// the name is empty (or hashes to 0), the file cannot be opened, or no lock is left in the pool.
// The log's folder must already exist.
LogHandle openLog(const char* name, const char* path);
// The first open log with this name (case-insensitive), or the sentinel.
LogHandle findLog(const char* name);
// Queues one line. A null handle, the sentinel and a closed log drop it.
void writeLog(LogHandle log, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Closes the most recently opened log with this name once every line queued on it is in its
// file. 1 when a log was closed, else 0.
s32 closeLog(const char* name);

// Once per frame from the tick: wakes the writer when any log has queued lines.
void logManagerWake();
