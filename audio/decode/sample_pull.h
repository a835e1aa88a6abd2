// The song analysis's pull of decoded samples from its own decode job.
//
// The pull drains the same ring that the stream would read, but where the stream gets silence
// when the decoder lags, the pull waits for it: on the job's progress signal, alertably, so the
// main thread's file completions still run while it waits.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"

// The analysis's reader record of an open song: the job, the facts its getCommonCodecInfo gave,
// and the pull's read position. Cleared before the job is opened.
struct SAnalysisStreamInfo {
    ClCodecStreamInstance* job;
    u32 durationMs;
    u32 totalBytes;
    u32 channels;
    u32 one;              // SCommonCodecInfo::one; 0 means the record was never filled (fatal)
    u32 bytesPerSample;
    f32 sampleRate;
    u32 integerSamples;   // 1 when the sample format word is 0 or 1, else 0
    u32 readIndex;        // ring buffer being read; belongs to the pull
    u32 readOffset;       // bytes of it already delivered; belongs to the pull
};

// Copies the format facts of the record into the reader record (job and read fields untouched).
void fillAnalysisStreamInfo(SAnalysisStreamInfo* info, const SCommonCodecInfo& codecInfo);

// gameSpecificProcessDecodedData of a ring decoder: copies up to bytes of decoded audio in stream
// order into destination, reading at info->readIndex / readOffset (first waiting, if need be,
// until the job has reached E_CODECJOB_READY or failed). Where no buffer is ready it waits for
// the decoder, unless the job is finished or failed: then the rest is zero-filled. outBytes is
// the count of decoded bytes copied. Returns 1.
s32 pullCodecRingForAnalysis(ClCodecStreamInstance* job, SCodecRing* ring, SAnalysisStreamInfo* info,
                             void* destination, u32 bytes, u32* outBytes);
