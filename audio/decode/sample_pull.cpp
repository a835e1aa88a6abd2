// The analysis's pull of decoded samples from a ring decoder.
#include "audio/decode/sample_pull.h"

#include "core/fatal_error.h"

#include <cstring>

void fillAnalysisStreamInfo(SAnalysisStreamInfo* info, const SCommonCodecInfo& codecInfo) {
    info->durationMs = codecInfo.durationMs;
    info->totalBytes = codecInfo.totalBytes;
    info->channels = codecInfo.channels;
    info->one = codecInfo.one;
    info->bytesPerSample = codecInfo.bytesPerSample;
    info->sampleRate = codecInfo.sampleRate;
    info->integerSamples = codecInfo.sampleFormat <= 1 ? 1 : 0;
}

s32 pullCodecRingForAnalysis(ClCodecStreamInstance* job, SCodecRing* ring, SAnalysisStreamInfo* info,
                             void* destination, u32 bytes, u32* outBytes) {
    if (info->one == 0) fatalError("gameSpecificProcessDecodedData: the reader record was never filled from its job");
    u8* out = static_cast<u8*>(destination);
    u32 remaining = bytes;
    if (outBytes) *outBytes = 0;
    if (!out) return 1;

    // Until the first fill is done the decode thread is still setting the ring up.
    while (getCodecJobState(job) < E_CODECJOB_READY) waitForCodecJobProgress(job, OS_INFINITE);

    job->lockCodecBuffers("gameSpecificProcessDecodedData");
    if (ring->bufferCount != 0 && info->readIndex >= ring->bufferCount) {
        info->readIndex = 0;
        info->readOffset = 0;
    }

    if (info->readOffset != 0 && ring->bufferCount != 0) {
        const u32 index = info->readIndex;
        const u32 filled = ring->byteCounts[index];
        const u32 available = info->readOffset < filled ? filled - info->readOffset : 0;
        if (remaining < available) {
            std::memcpy(out, ring->buffers[index] + info->readOffset, remaining);
            info->readOffset += remaining;
            out += remaining;
            remaining = 0;
        } else {
            std::memcpy(out, ring->buffers[index] + info->readOffset, available);
            out += available;
            remaining -= available;
            ring->states[index] = E_CODECBS_FREE;
            info->readOffset = 0;
            info->readIndex = (index + 1) % ring->bufferCount;
        }
    }

    // Any ready buffer at the read index is the next audio in stream order, so the pull reads on
    // until it meets a free one; only then does it wait for the decoder or, once the job can
    // produce nothing more, zero-fill.
    while (remaining > 0) {
        const u32 index = info->readIndex;
        if (ring->bufferCount != 0 && ring->states[index] == E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE) {
            const u32 filled = ring->byteCounts[index];
            if (filled <= remaining) {
                std::memcpy(out, ring->buffers[index], filled);
                out += filled;
                remaining -= filled;
                ring->states[index] = E_CODECBS_FREE;
                info->readIndex = (index + 1) % ring->bufferCount;
            } else {
                std::memcpy(out, ring->buffers[index], remaining);
                info->readOffset = remaining;
                out += remaining;
                remaining = 0;
            }
            continue;
        }
        if (isCodecJobTerminal(getCodecJobState(job))) {
            std::memset(out, 0, remaining);
            break;
        }
        job->unlockCodecBuffers();
        waitForCodecJobProgress(job, OS_INFINITE);
        job->lockCodecBuffers("gameSpecificProcessDecodedData");
    }
    if (outBytes) *outBytes = bytes - remaining;
    job->unlockCodecBuffers();
    return 1;
}
