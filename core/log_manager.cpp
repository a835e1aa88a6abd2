#include "core/log_manager.h"

#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr u32 LOG_REGISTRY_INITIAL_CAPACITY = 8;
constexpr u32 LOG_QUEUE_INITIAL_CAPACITY = 8;
// The close's alertable wait for writers still inside an append.
constexpr u32 LOG_CLOSE_WAIT_MS = 16;

// Lock order: the registry lock, then a record's lock; nothing takes them the other way round.
struct SLogManager {
    bool active = false;
    SCritSection* registryLock = nullptr;
    // Open logs in opening order.
    ClArray<ClLogRecord*> registry;
    // Closed records: writers may still hold their handles, so they are freed only at shutdown.
    ClArray<ClLogRecord*> retired;
    // Auto-reset: one signal releases one pass of the writer.
    ClEvent* wakeEvent = nullptr;
    ClThread writerThread;
    std::atomic<bool> quit{false};
};

SLogManager g_LogManager;

// Writes and frees every queued line, then empties the queue. The caller holds the record's lock.
void writeQueuedLines(ClLogRecord* record) {
    ClArray<char*>& lines = record->lines;
    if (lines.count == 0) return;
    for (char* line : lines) {
        if (line && record->file) {
            std::fputs(line, record->file);
            std::fputc('\n', record->file);
        }
        std::free(line);
    }
    if (record->file) std::fflush(record->file);
    lines.count = 0;
    lines.last = nullptr;
    lines.cursor = nullptr;
}

// One pass per wake-up; the registry lock is held for the whole pass, so a close (which unlinks
// its record under that lock first) never finds the writer inside its record afterwards.
void logWriterThread(void*) {
    SLogManager& manager = g_LogManager;
    if (manager.quit.load()) return;
    for (;;) {
        manager.wakeEvent->wait(OS_INFINITE);
        critSectionEnter(manager.registryLock);
        for (ClLogRecord* record : manager.registry) {
            critSectionEnter(record->lock);
            writeQueuedLines(record);
            critSectionLeave(record->lock);
        }
        critSectionLeave(manager.registryLock);
        if (manager.quit.load()) return;
    }
}

void freeRecord(ClLogRecord* record) {
    record->lines.release();
    delete record;
}

// Removes the record from the registry. The caller holds the registry lock.
ClLogRecord* unlinkRecordAt(u32 index) {
    ClLogRecord* record = g_LogManager.registry[index];
    g_LogManager.registry.removeAt(index);
    return record;
}

// Writes out what is queued on an unlinked record, closes its file and gives its lock back. The
// record itself is kept, closed, until shutdown.
void closeUnlinkedRecord(ClLogRecord* record) {
    critSectionEnter(record->lock);
    // From here on writers drop their lines, including those already waiting for this lock.
    record->nameHash.store(0);
    writeQueuedLines(record);
    record->lines.release();
    std::fclose(record->file);
    record->file = nullptr;
    critSectionLeave(record->lock);

    // A writer that saw the old hash may not have taken the lock yet; the lock returns to the
    // pool (where another owner may get it) only once no writer can enter it any more.
    while (record->writersInFlight.load() != 0) osSleepEx(LOG_CLOSE_WAIT_MS, true);
    critSectionDestroy(record->lock);
    record->lock = nullptr;
    g_LogManager.retired.push(record);
}

}  // namespace

LogHandle logSentinel() {
    static ClLogRecord* const sentinel = [] {
        static ClLogRecord record;
        strCopyN(record.name, "<SENTINEL>", LOG_TEXT_CAPACITY);
        return &record;
    }();
    return sentinel;
}

void logManagerInit() {
    SLogManager& manager = g_LogManager;
    if (manager.active) return;
    logSentinel();
    manager.registryLock = critSectionCreateOrDie("the log registry");
    manager.registry.init(LOG_REGISTRY_INITIAL_CAPACITY);
    manager.retired.init(LOG_REGISTRY_INITIAL_CAPACITY);
    manager.wakeEvent = new ClEvent(false, false);
    manager.quit.store(false);
    if (!manager.writerThread.start(logWriterThread, nullptr, "log writer")) fatalError("the log writer thread could not be started");
    manager.active = true;
}

void logManagerShutdown() {
    SLogManager& manager = g_LogManager;
    if (!manager.active) return;
    for (;;) {
        critSectionEnter(manager.registryLock);
        ClLogRecord* record = manager.registry.count != 0 ? unlinkRecordAt(manager.registry.count - 1) : nullptr;
        critSectionLeave(manager.registryLock);
        if (!record) break;
        closeUnlinkedRecord(record);
    }

    manager.quit.store(true);
    manager.wakeEvent->set();
    manager.writerThread.join();
    delete manager.wakeEvent;
    manager.wakeEvent = nullptr;

    for (ClLogRecord* record : manager.retired) freeRecord(record);
    manager.retired.release();
    manager.registry.release();
    critSectionDestroy(manager.registryLock);
    manager.registryLock = nullptr;
    manager.active = false;
}

LogHandle openLog(const char* name, const char* path) {
    SLogManager& manager = g_LogManager;
    if (!manager.active || !name || !path) return logSentinel();
    // Hash 0 marks the sentinel and closed logs.
    const u32 nameHash = crc32TextNoCase(name);
    if (nameHash == 0) return logSentinel();

    ClLogRecord* record = new (std::nothrow) ClLogRecord;
    if (!record) return logSentinel();
    // A long name is only cut (it is found by the hash of the whole name); a cut path would
    // name another file, so it is refused.
    strCopyN(record->name, name, LOG_TEXT_CAPACITY);
    if (strCopyN(record->path, path, LOG_TEXT_CAPACITY) != E_TEXTCOPY_COMPLETE) {
        freeRecord(record);
        return logSentinel();
    }

    const std::string systemPath = osSystemPath(record->path);
    fileSystemLockEnter();
    record->file = std::fopen(systemPath.c_str(), "w+");
    fileSystemLockLeave();
    if (!record->file) {
        freeRecord(record);
        return logSentinel();
    }
    // Without its lock the writers and the writer thread would race on the queue, so an
    // exhausted lock pool refuses the log (the pool reports it).
    if (!critSectionCreate(&record->lock)) {
        std::fclose(record->file);
        freeRecord(record);
        return logSentinel();
    }
    record->lines.init(LOG_QUEUE_INITIAL_CAPACITY);
    record->nameHash.store(nameHash);

    critSectionEnter(manager.registryLock);
    manager.registry.push(record);
    critSectionLeave(manager.registryLock);
    return record;
}

LogHandle findLog(const char* name) {
    SLogManager& manager = g_LogManager;
    if (!manager.active || !name) return logSentinel();
    const u32 nameHash = crc32TextNoCase(name);
    if (nameHash == 0) return logSentinel();
    LogHandle found = logSentinel();
    critSectionEnter(manager.registryLock);
    for (ClLogRecord* record : manager.registry) {
        if (record->nameHash.load() == nameHash) {
            found = record;
            break;
        }
    }
    critSectionLeave(manager.registryLock);
    return found;
}

void writeLog(LogHandle log, const char* format, ...) {
    if (!log || log->nameHash.load() == 0) return;

    char text[LOG_LINE_MAX_LENGTH + 1];
    va_list arguments;
    va_start(arguments, format);
    const int formatted = std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    if (formatted < 0) return;
    const u32 length = u32(formatted) < LOG_LINE_MAX_LENGTH ? u32(formatted) : LOG_LINE_MAX_LENGTH;
    char* line = static_cast<char*>(std::malloc(length + 1));
    if (!line) return;
    std::memcpy(line, text, length);
    line[length] = '\0';

    // Counted before the hash is read again, so that a close either sees this writer or this
    // writer sees the close (both sides use sequentially consistent operations).
    log->writersInFlight.fetch_add(1);
    bool queued = false;
    if (log->nameHash.load() != 0) {
        critSectionEnter(log->lock);
        if (log->nameHash.load() != 0) {
            log->lines.push(line);
            queued = true;
        }
        critSectionLeave(log->lock);
    }
    log->writersInFlight.fetch_sub(1);
    if (!queued) std::free(line);
}

s32 closeLog(const char* name) {
    SLogManager& manager = g_LogManager;
    if (!manager.active || !name) return 0;
    const u32 nameHash = crc32TextNoCase(name);
    if (nameHash == 0) return 0;

    // The most recently opened log of that name.
    ClLogRecord* record = nullptr;
    critSectionEnter(manager.registryLock);
    for (u32 index = manager.registry.count; index > 0 && !record; --index) {
        if (manager.registry[index - 1]->nameHash.load() == nameHash) record = unlinkRecordAt(index - 1);
    }
    critSectionLeave(manager.registryLock);
    if (!record) return 0;
    closeUnlinkedRecord(record);
    return 1;
}

void logManagerWake() {
    SLogManager& manager = g_LogManager;
    if (!manager.active) return;
    bool anyQueued = false;
    critSectionEnter(manager.registryLock);
    for (ClLogRecord* record : manager.registry) {
        critSectionEnter(record->lock);
        anyQueued = record->lines.count != 0;
        critSectionLeave(record->lock);
        if (anyQueued) break;
    }
    critSectionLeave(manager.registryLock);
    if (anyQueued) manager.wakeEvent->set();
}
