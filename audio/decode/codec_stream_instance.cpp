// The decode job's state machine, its lock, and the ring of decoded buffers.
#include "audio/decode/codec_stream_instance.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"

#include <cstdlib>
#include <cstring>

ClCodecStreamInstance::ClCodecStreamInstance() = default;

ClCodecStreamInstance::~ClCodecStreamInstance() = default;

void ClCodecStreamInstance::lockCodecBuffers(const char* label) {
    (void)label;
    critSectionEnter(m_bufferLock);
}

void ClCodecStreamInstance::unlockCodecBuffers() { critSectionLeave(m_bufferLock); }

void ClCodecStreamInstance::signalCodecJobProgress() {
    m_progressCount.fetch_add(1);
    m_progressEvent.set();
}

namespace {

void setJobState(ClCodecStreamInstance* job, s32 state) {
    job->m_jobState.store(state);
    job->signalCodecJobProgress();
}

}  // namespace

s32 initCodecJob(ClCodecStreamInstance* job, const char16_t* path) {
    job->m_stopFlag.store(0);
    job->m_initFailed = 0;
    if (!critSectionCreate(&job->m_bufferLock)) {
        job->m_stopFlag.store(1);
        job->m_initFailed = 1;
        return 0;
    }
    job->m_jobState.store(E_CODECJOB_NEW);
    std::memset(job->m_path, 0, sizeof(job->m_path));
    if (path) {
        for (u32 i = 0; i + 1 < CODEC_PATH_CAPACITY && path[i] != 0; ++i) job->m_path[i] = path[i];
    }
    if (!job->initializeMembers()) {
        job->m_stopFlag.store(1);
        job->m_initFailed = 1;
        return 0;
    }
    return 1;
}

s32 getCodecJobState(const ClCodecStreamInstance* job) { return job ? job->m_jobState.load() : E_CODECJOB_NEW; }

bool codecJobSawDamage(const ClCodecStreamInstance* job) { return job && job->m_sawDamage.load() != 0; }

bool isCodecJobFailed(s32 state) {
    return state == E_CODECJOB_OPEN_FAILED || state == E_CODECJOB_START_FAILED || state == E_CODECJOB_DECODE_FAILED;
}

bool isCodecJobTerminal(s32 state) { return state >= E_CODECJOB_FINISHED && state <= E_CODECJOB_DECODE_FAILED; }

void stepCodecJob(ClCodecStreamInstance* job) {
    const s32 state = job->m_jobState.load();
    switch (state) {
        case E_CODECJOB_NEW:
            // A job without its locks or members never opens its file.
            if (job->m_initFailed) {
                setJobState(job, E_CODECJOB_OPEN_FAILED);
                return;
            }
            if (!job->preOpenCheck()) {
                setJobState(job, E_CODECJOB_OPEN_FAILED);
                return;
            }
            setJobState(job, E_CODECJOB_PRE_OPEN_PASSED);
            break;
        case E_CODECJOB_PRE_OPEN_PASSED:
            if (!job->initializeFullStream()) {
                setJobState(job, E_CODECJOB_OPEN_FAILED);
                return;
            }
            setJobState(job, E_CODECJOB_OPENED);
            break;
        case E_CODECJOB_OPENED:
            if (!job->startDecoding()) {
                setJobState(job, E_CODECJOB_START_FAILED);
                return;
            }
            setJobState(job, E_CODECJOB_READY);
            job->onDecodingStarted();
            break;
        case E_CODECJOB_READY:
            if (job->canDecodeMoreData()) setJobState(job, E_CODECJOB_DECODING);
            if (job->isDecodingFinished()) setJobState(job, E_CODECJOB_FINISHED);
            break;
        case E_CODECJOB_DECODING:
            if (!job->continueDecoding()) {
                setJobState(job, E_CODECJOB_DECODE_FAILED);
                return;
            }
            if (!job->canDecodeMoreData()) setJobState(job, E_CODECJOB_READY);
            if (job->isDecodingFinished()) setJobState(job, E_CODECJOB_FINISHED);
            break;
        case E_CODECJOB_FINISHED:
        case E_CODECJOB_OPEN_FAILED:
        case E_CODECJOB_START_FAILED:
        case E_CODECJOB_DECODE_FAILED:
            return;
        default:
            fatalErrorf("stepCodecJob: unknown job state %d", state);
    }
    if (job->m_stopFlag.load()) setJobState(job, E_CODECJOB_FINISHED);
}

void shutdownCodecJob(ClCodecStreamInstance* job) {
    critSectionDestroy(job->m_bufferLock);
    job->m_bufferLock = nullptr;
    job->m_jobState.store(E_CODECJOB_NEW);
    job->releaseAll();
}

void waitForCodecJobProgress(ClCodecStreamInstance* job, u32 milliseconds) {
    job->m_waitingReaders.fetch_add(1);
    wakeDecodeThread();
    job->m_progressEvent.wait(milliseconds, true);
    job->m_waitingReaders.fetch_sub(1);
}

// ---------------------------------------------------------------------------------------------
// Ring

s32 allocateCodecRing(SCodecRing* ring, u32 count, u64 bytesPerBuffer, ClCodecStreamInstance* job) {
    std::memset(ring, 0, sizeof(*ring));
    if (count == 0 || count > CODEC_RING_MAX_BUFFERS) return 0;
    if (bytesPerBuffer == 0 || bytesPerBuffer > CODEC_RING_MAX_BUFFER_BYTES) return 0;
    // aligned_alloc wants a multiple of the alignment; the tail is never read.
    const size_t allocation = (size_t(bytesPerBuffer) + 15u) & ~size_t(15u);
    for (u32 i = 0; i < count; ++i) {
        ring->buffers[i] = static_cast<u8*>(std::aligned_alloc(16, allocation));
        if (!ring->buffers[i]) {
            releaseCodecRing(ring);
            return 0;
        }
    }
    ring->bufferCount = count;
    ring->bytesPerBuffer = u32(bytesPerBuffer);
    ring->streamRead.job = job;
    return 1;
}

void releaseCodecRing(SCodecRing* ring) {
    for (u32 i = 0; i < CODEC_RING_MAX_BUFFERS; ++i) std::free(ring->buffers[i]);
    std::memset(ring, 0, sizeof(*ring));
}

s32 codecRingHasFreeBuffer(ClCodecStreamInstance* job, const SCodecRing* ring) {
    job->lockCodecBuffers("codecRingHasFreeBuffer");
    s32 anyFree = 0;
    for (u32 i = 0; i < ring->bufferCount; ++i) {
        if (ring->states[i] == E_CODECBS_FREE) {
            anyFree = 1;
            break;
        }
    }
    job->unlockCodecBuffers();
    return anyFree;
}

s32 beginCodecRingFill(ClCodecStreamInstance* job, SCodecRing* ring, u32* outIndex) {
    if (ring->bufferCount == 0) return 0;
    job->lockCodecBuffers("beginCodecRingFill");
    const u32 index = ring->writeIndex;
    const s32 canFill = !ring->finished && ring->states[index] == E_CODECBS_FREE;
    job->unlockCodecBuffers();
    *outIndex = index;
    return canFill;
}

void commitCodecRingFill(ClCodecStreamInstance* job, SCodecRing* ring, u32 index, u32 bytes, u32 atEnd) {
    job->lockCodecBuffers("commitCodecRingFill");
    ring->byteCounts[index] = bytes <= ring->bytesPerBuffer ? bytes : ring->bytesPerBuffer;
    ring->states[index] = E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE;
    ring->writeIndex = (index + 1) % ring->bufferCount;
    if (bytes == 0 || atEnd) ring->finished = 1;
    job->unlockCodecBuffers();
    job->signalCodecJobProgress();
}

namespace {

void writeRingLine(const char* format, u32 index) {
    if (!format) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    writeCodecAudioLog(format, int(index));
#pragma GCC diagnostic pop
}

}  // namespace

void bindCodecRingToStream(ClCodecStreamInstance* job, SCodecRing* ring, SCodecCreateSoundExInfo* info,
                           const char* lockOwner) {
    job->lockCodecBuffers(lockOwner);
    ring->streamRead.index = 0;
    ring->streamRead.offset = 0;
    ring->streamRead.job = job;
    job->m_pStreamRing = ring;
    job->unlockCodecBuffers();
    info->userData = &ring->streamRead;
}

s32 ClCodecStreamInstance::isStreamDrained() {
    const s32 state = m_jobState.load();
    if (m_pStreamRing == nullptr || (state != E_CODECJOB_FINISHED && state != E_CODECJOB_DECODE_FAILED)) return 0;
    lockCodecBuffers("isStreamDrained");
    bool pending = false;
    for (u32 i = 0; i < m_pStreamRing->bufferCount; ++i) pending = pending || m_pStreamRing->states[i] != E_CODECBS_FREE;
    unlockCodecBuffers();
    return pending ? 0 : 1;
}

s32 readCodecRingForStream(ClCodecStreamInstance* job, SCodecRing* ring, void* data, u32 bytes,
                           const SCodecRingMessages& messages) {
    u8* out = static_cast<u8*>(data);
    if (out) std::memset(out, 0, bytes);
    if (!out || bytes == 0) return CODEC_STREAM_READ_OK;
    // Until the first fill is done the decode thread is still setting the ring up.
    if (getCodecJobState(job) < E_CODECJOB_READY || ring->bufferCount == 0) return CODEC_STREAM_READ_OK;

    job->lockCodecBuffers("readCodecRingForStream");
    SCodecReadPosition& position = ring->streamRead;
    if (position.index >= ring->bufferCount) position.index = 0;
    const u32 startIndex = position.index;
    u32 remaining = bytes;

    if (position.offset != 0) {
        const u32 filled = ring->byteCounts[position.index];
        const u32 available = position.offset < filled ? filled - position.offset : 0;
        if (remaining < available) {
            std::memcpy(out, ring->buffers[position.index] + position.offset, remaining);
            position.offset += remaining;
            job->unlockCodecBuffers();
            return CODEC_STREAM_READ_OK;
        }
        std::memcpy(out, ring->buffers[position.index] + position.offset, available);
        out += available;
        remaining -= available;
        ring->states[position.index] = E_CODECBS_FREE;
        position.offset = 0;
        position.index = (position.index + 1) % ring->bufferCount;
    }

    while (remaining > 0) {
        const u32 index = position.index;
        if (ring->states[index] != E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE) {
            writeRingLine(messages.notPendingFormat, index);
            break;
        }
        const u32 filled = ring->byteCounts[index];
        if (filled > remaining) {
            std::memcpy(out, ring->buffers[index], remaining);
            position.offset = remaining;
            remaining = 0;
            break;
        }
        std::memcpy(out, ring->buffers[index], filled);
        out += filled;
        remaining -= filled;
        ring->states[index] = E_CODECBS_FREE;
        position.index = (index + 1) % ring->bufferCount;
        if (position.index == startIndex && remaining > 0) {
            writeRingLine(messages.wrappedAroundFormat, position.index);
            break;
        }
    }
    job->unlockCodecBuffers();
    return CODEC_STREAM_READ_OK;
}
