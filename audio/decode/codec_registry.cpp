// The codec registry's records, look-ups, jobs and the codec manager's pass.
#include "audio/decode/codec_registry.h"

#include "audio/decode/codec_stream_instance.h"
#include "audio/decode/decode_thread.h"
#include "core/array.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "platform/os/os.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

SCritSection* g_codecRegistryLock = nullptr;
ClArray<SCodecRecord> g_codecRecords;
ClArray<ClCodecStreamInstance*> g_liveCodecJobs;
ClArray<ClCodecStreamInstance*> g_releasedCodecJobs;
// The pass's copy of the live jobs, kept so that stepping allocates nothing.
ClArray<ClCodecStreamInstance*> g_stepCodecJobs;
std::atomic<s32> g_codecManagerState{E_CODECMANAGER_NOT_STARTED};
std::atomic<u32> g_codecRegistryReady{0};
std::atomic<u32> g_codecStopRequest{0};
std::atomic<LogHandle> g_codecAudioLog{nullptr};

// Case folding of A-Z only, as file extensions are compared.
inline u32 foldAscii(u32 c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

u32 wideLength(const char16_t* text) {
    u32 length = 0;
    while (text[length] != 0) ++length;
    return length;
}

// The extension is shorter than the path and equals its tail.
bool pathTailMatches(const char16_t* path, const char* extension) {
    const u32 pathLength = wideLength(path);
    const u32 extensionLength = u32(std::strlen(extension));
    if (extensionLength == 0 || extensionLength >= pathLength) return false;
    const char16_t* tail = path + (pathLength - extensionLength);
    for (u32 i = 0; i < extensionLength; ++i) {
        if (foldAscii(tail[i]) != foldAscii(u8(extension[i]))) return false;
    }
    return true;
}

// The registered extension compared from its dot, or from after it when the given text has none.
const char* comparedPart(const SCodecExtension& entry, const char* given) {
    if (given[0] == '.' || entry.extension[0] != '.') return entry.extension;
    return entry.extension + 1;
}

// Lower-cased copy, bounded by the extension capacity.
void lowerCopy(char* out, const char* text) {
    u32 i = 0;
    for (; i + 1 < CODEC_EXTENSION_CAPACITY && text[i] != 0; ++i) out[i] = char(foldAscii(u8(text[i])));
    out[i] = 0;
}

bool equalNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (foldAscii(u8(*a)) != foldAscii(u8(*b))) return false;
        if (*a == 0) return true;
    }
}

// The first entry equal to the extension (case-insensitive, leading dot optional); caller holds
// the lock.
SCodecExtension* findEqualEntry(const char* extension) {
    if (!g_codecRecords.inUse || !extension) return nullptr;
    for (SCodecRecord& record : g_codecRecords) {
        for (u32 e = 0; e < record.extensionCount && e < CODEC_MAX_EXTENSIONS; ++e) {
            SCodecExtension& entry = record.extensions[e];
            if (equalNoCase(comparedPart(entry, extension), extension)) return &entry;
        }
    }
    return nullptr;
}

const SCodecExtension* findPathEntry(const char16_t* widePath) {
    if (!g_codecRecords.inUse || !widePath) return nullptr;
    for (const SCodecRecord& record : g_codecRecords) {
        for (u32 e = 0; e < record.extensionCount && e < CODEC_MAX_EXTENSIONS; ++e) {
            if (pathTailMatches(widePath, record.extensions[e].extension)) return &record.extensions[e];
        }
    }
    return nullptr;
}

// A flag of the first entry matching the path's tail; 1 when not ready or nothing matches.
u32 pathEntryFlag(const char16_t* widePath, u32 SCodecExtension::*flag) {
    if (!isCodecRegistryReady()) return 1;
    critSectionEnter(g_codecRegistryLock);
    const SCodecExtension* entry = findPathEntry(widePath);
    const u32 value = entry ? entry->*flag : 1;
    critSectionLeave(g_codecRegistryLock);
    return value;
}

void destroyJob(ClCodecStreamInstance* job) {
    shutdownCodecJob(job);
    delete job;
}

s32 findJob(const ClArray<ClCodecStreamInstance*>& jobs, const ClCodecStreamInstance* job) {
    for (s32 i = s32(jobs.count) - 1; i >= 0; --i) {
        if (jobs[u32(i)] == job) return i;
    }
    return -1;
}

// The shutdown pass follows at once: a stop never waits out the interval.
void stopEveryLiveJob() {
    for (ClCodecStreamInstance* job : g_liveCodecJobs) job->m_stopFlag.store(1);
    wakeDecodeThread();
}

// A reader waits on the job, its step just moved it on, and it is neither done nor resting with
// a full ring: the next step has work for that reader, so the thread skips its sleep. A step that
// changed nothing never asks for another, so a stalled job cannot keep the thread spinning.
bool readerWaitsOnMovingJob(const ClCodecStreamInstance* job, u32 progressBefore) {
    if (job->waitingCodecJobReaders() == 0 || job->codecJobProgressCount() == progressBefore) return false;
    const s32 state = getCodecJobState(job);
    return state != E_CODECJOB_READY && !isCodecJobTerminal(state);
}

// First pass: start every family's library on this thread.
s32 startCodecFamilies() {
    critSectionEnter(g_codecRegistryLock);
    u32 failures = 0;
    for (SCodecRecord& record : g_codecRecords) {
        if (record.threadInit && record.threadInit() != 0) {
            record.initStatus = E_CODECINIT_INITIALISED;
        } else {
            record.initStatus = E_CODECINIT_FAILED;
            ++failures;
        }
    }
    const bool allFailed = failures == g_codecRecords.count;
    critSectionLeave(g_codecRegistryLock);
    if (allFailed) {
        g_codecManagerState.store(E_CODECMANAGER_ALL_FAILED);
        return 0;
    }
    g_codecManagerState.store(E_CODECMANAGER_RUNNING);
    g_codecRegistryReady.store(1);
    return 1;
}

// A stop request: every live job is told to stop and the next passes shut the registry down.
void beginShutdown() {
    critSectionEnter(g_codecRegistryLock);
    stopEveryLiveJob();
    g_codecManagerState.store(E_CODECMANAGER_SHUTTING_DOWN);
    critSectionLeave(g_codecRegistryLock);
}

s32 runningPass() {
    if (g_codecStopRequest.load()) {
        beginShutdown();
        return 1;
    }
    critSectionEnter(g_codecRegistryLock);
    for (s32 r = s32(g_releasedCodecJobs.count) - 1; r >= 0; --r) {
        ClCodecStreamInstance* job = g_releasedCodecJobs[u32(r)];
        if (!isCodecJobTerminal(getCodecJobState(job))) continue;
        const s32 live = findJob(g_liveCodecJobs, job);
        if (live >= 0) {
            destroyJob(job);
            g_liveCodecJobs.removeAt(u32(live));
        }
        g_releasedCodecJobs.removeAt(u32(r));
    }
    g_stepCodecJobs.count = 0;
    for (ClCodecStreamInstance* job : g_liveCodecJobs) g_stepCodecJobs.push(job);
    critSectionLeave(g_codecRegistryLock);

    // Stepped outside the lock: opens and releases on other threads never wait for a decode.
    bool runAgainNow = false;
    for (ClCodecStreamInstance* job : g_stepCodecJobs) {
        const u32 progressBefore = job->codecJobProgressCount();
        stepCodecJob(job);
        runAgainNow = runAgainNow || readerWaitsOnMovingJob(job, progressBefore);
    }
    if (runAgainNow) wakeDecodeThread();
    return 1;
}

s32 shutdownPass() {
    critSectionEnter(g_codecRegistryLock);
    while (g_liveCodecJobs.count != 0) {
        for (s32 i = s32(g_liveCodecJobs.count) - 1; i >= 0; --i) {
            ClCodecStreamInstance* job = g_liveCodecJobs[u32(i)];
            if (isCodecJobTerminal(getCodecJobState(job))) {
                g_liveCodecJobs.removeAt(u32(i));
                destroyJob(job);
            } else {
                stepCodecJob(job);
            }
        }
    }
    g_releasedCodecJobs.count = 0;
    for (SCodecRecord& record : g_codecRecords) {
        // A library whose start failed is never shut down.
        if (record.initStatus == E_CODECINIT_INITIALISED && record.threadExit) record.threadExit();
        record.initStatus = E_CODECINIT_NOT_INITIALISED;
    }
    critSectionLeave(g_codecRegistryLock);
    g_codecManagerState.store(E_CODECMANAGER_NOT_STARTED);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records

void initCodecRecord(SCodecRecord* record, CodecThreadInitFn threadInit, CodecThreadExitFn threadExit,
                     CodecFactoryFn factory) {
    std::memset(record, 0, sizeof(*record));
    record->initStatus = E_CODECINIT_NOT_INITIALISED;
    record->threadInit = threadInit;
    record->threadExit = threadExit;
    record->factory = factory;
}

s32 addCodecRecordExtension(SCodecRecord* record, const char* extension, s32 formatId) {
    if (!extension || extension[0] == 0 || record->extensionCount >= CODEC_MAX_EXTENSIONS) return 0;
    SCodecExtension& entry = record->extensions[record->extensionCount];
    std::memset(&entry, 0, sizeof(entry));
    entry.formatId = formatId;
    lowerCopy(entry.extension, extension);
    ++record->extensionCount;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

s32 initCodecRegistry() {
    g_codecManagerState.store(E_CODECMANAGER_NOT_STARTED);
    g_codecRegistryReady.store(0);
    g_codecStopRequest.store(0);
    if (!g_codecRegistryLock) g_codecRegistryLock = critSectionCreateOrDie("codec registry");
    g_codecRecords.init(ARRAY_INITIAL_CAPACITY);
    g_liveCodecJobs.init(ARRAY_INITIAL_CAPACITY);
    g_releasedCodecJobs.init(ARRAY_INITIAL_CAPACITY);
    g_stepCodecJobs.init(ARRAY_INITIAL_CAPACITY);
    return 1;
}

void shutdownCodecRegistry() {
    g_codecStopRequest.store(1);
    if (isDecodeThreadStarted()) {
        wakeDecodeThread();
        joinDecodeThread();
    } else {
        // No thread to do it (it could not start): the passes that stop and free every job run
        // here, so no job outlives the registry.
        const s32 state = g_codecManagerState.load();
        if (state == E_CODECMANAGER_RUNNING || state == E_CODECMANAGER_ALL_FAILED) {
            while (stepCodecManager() != 0) {
            }
        }
    }
    critSectionDestroy(g_codecRegistryLock);
    g_codecRegistryLock = nullptr;
    g_codecRecords.release();
    g_liveCodecJobs.release();
    g_releasedCodecJobs.release();
    g_stepCodecJobs.release();
    g_codecRegistryReady.store(0);
    g_codecManagerState.store(E_CODECMANAGER_NOT_STARTED);
}

s32 registerCodec(const SCodecRecord& record) {
    critSectionEnter(g_codecRegistryLock);
    if (!g_codecRecords.inUse) g_codecRecords.init(ARRAY_INITIAL_CAPACITY);
    g_codecRecords.push(record);
    critSectionLeave(g_codecRegistryLock);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Audio log

void openCodecAudioLog() {
    const char16_t* userDir = getUserDataDirW();
    if (!userDir || userDir[0] == 0) return;
    std::u16string path(userDir);
    if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += u"GAMEDATA\\audio.log";
    for (char16_t& unit : path) {
        if (unit == u'/') unit = u'\\';
    }
    // The UTF-8 form goes to the log manager whole: a user folder with any name gets its log.
    const std::string narrowPath = osWideToUtf8(path.c_str());
    if (narrowPath.size() + 1 > LOG_TEXT_CAPACITY) return;
    openLog(CODEC_AUDIO_LOG_NAME, narrowPath.c_str());
}

void setCodecLogging(u32 setting) { g_codecAudioLog.store(setting ? findLog(CODEC_AUDIO_LOG_NAME) : nullptr); }


void writeCodecAudioLog(const char* format, ...) {
    const LogHandle log = g_codecAudioLog.load();
    if (!log) return;
    char line[LOG_LINE_MAX_LENGTH + 1];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    // The log ends every line itself; the decoders' texts may carry their own line end.
    size_t end = length < 0 ? 0 : std::min(size_t(length), sizeof(line) - 1);
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) line[--end] = '\0';
    writeLog(log, "%s", line);
}

// ---------------------------------------------------------------------------------------------
// Look-ups

bool isCodecRegistryReady() { return g_codecRegistryReady.load() != 0; }

s32 findCodecFormatForPath(const char16_t* widePath, s32* outFormat) {
    if (!isCodecRegistryReady()) return 0;
    *outFormat = E_CODECFORMAT_NONE;
    if (!widePath) return 0;
    s32 found = 0;
    critSectionEnter(g_codecRegistryLock);
    for (const SCodecRecord& record : g_codecRecords) {
        if (record.initStatus != E_CODECINIT_INITIALISED) continue;
        for (u32 e = 0; e < record.extensionCount && !found; ++e) {
            if (pathTailMatches(widePath, record.extensions[e].extension)) {
                *outFormat = record.extensions[e].formatId;
                found = 1;
            }
        }
        if (found) break;
    }
    critSectionLeave(g_codecRegistryLock);
    return found;
}

u32 isCodecDisabledForPath(const char16_t* widePath) {
    return pathEntryFlag(widePath, &SCodecExtension::disabledByUser);
}

s32 setCodecDisabledForExtension(const char* extension, u32 value) {
    critSectionEnter(g_codecRegistryLock);
    SCodecExtension* entry = findEqualEntry(extension);
    if (entry) entry->disabledByUser = value;
    critSectionLeave(g_codecRegistryLock);
    return entry ? 1 : 0;
}

const SCodecRecord* findCodecRecordForFormat(s32 formatId) {
    const SCodecRecord* found = nullptr;
    critSectionEnter(g_codecRegistryLock);
    for (const SCodecRecord& record : g_codecRecords) {
        if (record.initStatus != E_CODECINIT_INITIALISED) continue;
        for (u32 e = 0; e < record.extensionCount; ++e) {
            if (record.extensions[e].formatId == formatId) {
                found = &record;
                break;
            }
        }
        if (found) break;
    }
    critSectionLeave(g_codecRegistryLock);
    return found;
}

// ---------------------------------------------------------------------------------------------
// Jobs

ClCodecStreamInstance* openCodecJob(s32 formatId, const char16_t* widePath) {
    if (!isCodecRegistryReady() || g_codecStopRequest.load()) return nullptr;
    critSectionEnter(g_codecRegistryLock);
    const SCodecRecord* record = findCodecRecordForFormat(formatId);
    const CodecFactoryFn factory = record ? record->factory : nullptr;
    critSectionLeave(g_codecRegistryLock);
    if (!factory) return nullptr;
    ClCodecStreamInstance* job = factory();
    if (!job) return nullptr;
    initCodecJob(job, widePath);
    critSectionEnter(g_codecRegistryLock);
    if (g_codecStopRequest.load() || !g_liveCodecJobs.inUse) {
        // The decode thread no longer takes jobs: nothing would ever step or free this one.
        critSectionLeave(g_codecRegistryLock);
        destroyJob(job);
        return nullptr;
    }
    g_liveCodecJobs.push(job);
    critSectionLeave(g_codecRegistryLock);
    return job;
}

void releaseCodecJob(ClCodecStreamInstance* job) {
    if (!isCodecRegistryReady() || !job) return;
    critSectionEnter(g_codecRegistryLock);
    job->m_stopFlag.store(1);
    g_releasedCodecJobs.push(job);
    critSectionLeave(g_codecRegistryLock);
}

// ---------------------------------------------------------------------------------------------
// The codec manager

s32 stepCodecManager() {
    const s32 state = g_codecManagerState.load();
    switch (state) {
        case E_CODECMANAGER_NOT_STARTED:
            return startCodecFamilies();
        case E_CODECMANAGER_RUNNING:
            return runningPass();
        case E_CODECMANAGER_SHUTTING_DOWN:
            return shutdownPass();
        case E_CODECMANAGER_ALL_FAILED:
            if (g_codecStopRequest.load()) beginShutdown();
            return 1;
        default:
            fatalErrorf("stepCodecManager: unknown manager state %d", state);
    }
}


u32 getLiveCodecJobCount() {
    critSectionEnter(g_codecRegistryLock);
    const u32 count = g_liveCodecJobs.count;
    critSectionLeave(g_codecRegistryLock);
    return count;
}
