// The decoder of one music file, which is at once its decode job.
//
// The decode thread steps each job through its states (stepCodecJob); the decoder fills a small
// ring of decoded buffers, and two readers drain it: the sound layer's stream thread through
// handleFMODReadCallback, and the song analysis through gameSpecificProcessDecodedData. Jobs are
// created only by openCodecJob (codec_registry.h) and destroyed only by the decode thread.
//
// A ring-based decoder embeds an SCodecRing and implements its slots with the ring helpers below:
// it decodes into a free buffer outside the buffer lock (no reader touches a free buffer) and
// takes the lock only to flip buffer states, so a reader never waits for a decode.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "platform/os/os.h"

#include <atomic>

struct SCritSection;
class ClCodecStreamInstance;
struct SAnalysisStreamInfo;

// Wide units of a job's path, terminator included.
constexpr u32 CODEC_PATH_CAPACITY = 768;

// Decoded sizes come from 32-bit fields; a file whose decoded size would need more is refused
// at open (never wrapped).
constexpr u64 CODEC_MAX_DECODED_BYTES = 0xFFFFFFFFull;
inline bool codecByteCountSupported(u64 bytes) { return bytes <= CODEC_MAX_DECODED_BYTES; }

enum ECodecJobState : s32 {
    E_CODECJOB_NEW = -1,
    E_CODECJOB_PRE_OPEN_PASSED = 0,
    E_CODECJOB_OPENED = 1,
    E_CODECJOB_READY = 2,           // ring full
    E_CODECJOB_DECODING = 3,
    E_CODECJOB_FINISHED = 4,        // end of file reached, or stopped
    E_CODECJOB_OPEN_FAILED = 5,     // initCodecJob, preOpenCheck or the open failed
    E_CODECJOB_START_FAILED = 6,    // startDecoding failed
    E_CODECJOB_DECODE_FAILED = 7,   // continueDecoding failed; what is in the ring can still be read
};

// The sample format word of SCommonCodecInfo. A reader treats 0 and 1 as integer, anything
// else as float.
enum ECodecSampleFormat : u32 {
    E_CODECSAMPLEFORMAT_INTEGER = 0,
    E_CODECSAMPLEFORMAT_FLOAT = 2,
};

// Filled by getCommonCodecInfo; the caller zeroes it first.
struct SCommonCodecInfo {
    u32 durationMs;
    u32 totalBytes;      // of decoded audio
    u32 channels;
    u32 one;             // always 1; a reader record with 0 here was never filled
    u32 bytesPerSample;
    f32 sampleRate;      // Hz
    u32 sampleFormat;    // ECodecSampleFormat
};

// The sample formats a decoder declares to the sound layer's stream. PCM8 is UNSIGNED (128 is
// silence), as in WAV files and as the analysis reads it; decoders whose library delivers signed
// 8-bit samples add 128. PCM16, PCM24 and PCM32 are signed little-endian; PCMFLOAT is f32.
enum ECodecSoundFormat : u32 {
    E_CODECSOUNDFORMAT_NONE = 0,
    E_CODECSOUNDFORMAT_PCM8 = 1,
    E_CODECSOUNDFORMAT_PCM16 = 2,
    E_CODECSOUNDFORMAT_PCM24 = 3,
    E_CODECSOUNDFORMAT_PCM32 = 4,
    E_CODECSOUNDFORMAT_PCMFLOAT = 5,
};

// The stream reader's position in a ring; the stream's user data points at it.
struct SCodecReadPosition {
    u32 index;                    // buffer being read
    u32 offset;                   // bytes of it already delivered
    ClCodecStreamInstance* job;
};

// What fillCreateSoundExInfo tells the sound layer about the stream it is to create.
struct SCodecCreateSoundExInfo {
    u32 length;                   // total decoded bytes
    u32 numChannels;
    u32 defaultFrequency;         // Hz
    ECodecSoundFormat format;
    u32 decodeBufferSize;         // in sample frames; 0 leaves the layer's default
    void* userData;               // the decoder's SCodecReadPosition
};

// ---------------------------------------------------------------------------------------------
// The decoder base class

// Returned by handleFMODReadCallback in every case.
constexpr s32 CODEC_STREAM_READ_OK = 0;

struct SCodecRing;

class ClCodecStreamInstance {
public:
    ClCodecStreamInstance();
    ClCodecStreamInstance(const ClCodecStreamInstance&) = delete;
    ClCodecStreamInstance& operator=(const ClCodecStreamInstance&) = delete;

    // releaseAll has already run when the decode thread destroys a job.
    virtual ~ClCodecStreamInstance();
    // Zeroes the decoder's own members (and creates library objects that must exist before
    // opening); 0 on failure. Members must also be zero from their initialisers: releaseAll runs
    // on a job whose initCodecJob failed before this call.
    virtual s32 initializeMembers() = 0;
    // 1 in every decoder.
    virtual s32 preOpenCheck() { return 1; }
    // Opens the file for full decoding, reads its format, allocates the ring.
    virtual s32 initializeFullStream() = 0;
    // The first fill of the ring.
    virtual s32 startDecoding() = 0;
    // Once, when the job enters E_CODECJOB_READY.
    virtual void onDecodingStarted() {}
    // Non-zero when at least one buffer is free (taken under the buffer lock).
    virtual s32 canDecodeMoreData() = 0;
    // Non-zero once the end of the file has been decoded.
    virtual s32 isDecodingFinished() = 0;
    // Fills free buffers; 0 on a decoding error.
    virtual s32 continueDecoding() = 0;
    // Closes the file and frees the ring and every decoder resource; safe on a partly opened job
    // and on a job whose initializeMembers never ran.
    virtual void releaseAll() = 0;
    // Fills the format record; 0 on failure.
    virtual s32 getCommonCodecInfo(SCommonCodecInfo* info) = 0;
    // The stream's format; resets the stream read position to buffer 0, offset 0 and points
    // userData at it. 0 when the stream cannot be created.
    virtual s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) = 0;
    // Fills the stream's request from the ring, silence where the ring has nothing. Called only
    // from the sound layer's stream thread. Returns CODEC_STREAM_READ_OK.
    virtual s32 handleFMODReadCallback(void* data, u32 bytes) = 0;
    // The analysis's pull (sample_pull.h): copies up to bytes of decoded audio, waiting for the
    // decoder where it lags; outBytes counts decoded bytes (not zero fill). Returns 1.
    virtual s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                               u32* outBytes) = 0;
    // Non-zero once the stream will get nothing more: decoding has ended (finished, or failed
    // after what the ring holds) and every buffer has been read. The stream then ends even where
    // the decoder's total was an estimate that runs past the real end. Ring decoders answer
    // through the ring bound to the stream; others override it.
    virtual s32 isStreamDrained();
    // True when the decoder failed the job because its stream ended before the length its header
    // declared (a cut file), after delivering everything that was there. Read once the job failed.
    virtual bool endedBeforeDeclaredLength() const { return false; }

    // Guards the ring, its read positions and buffer states. The label names the holder only.
    void lockCodecBuffers(const char* label);
    void unlockCodecBuffers();

    // Wakes a reader waiting for this job (waitForCodecJobProgress): called when a buffer
    // becomes ready and whenever the state changes.
    void signalCodecJobProgress();
    // Counts every signalCodecJobProgress, so the decode thread can tell whether a step did
    // anything.
    u32 codecJobProgressCount() const { return m_progressCount.load(); }
    // Readers inside waitForCodecJobProgress right now.
    u32 waitingCodecJobReaders() const { return m_waitingReaders.load(); }

    // Set by the decoder when it skipped damaged data (a hole in the stream, a frame that failed
    // its check): what it delivers then lacks part of the song.
    void noteStreamDamage() { m_sawDamage.store(1); }

    // Written only by the decode thread (state) and the registry (stop flag); read anywhere.
    std::atomic<s32> m_jobState{E_CODECJOB_NEW};
    std::atomic<u32> m_sawDamage{0};
    std::atomic<u32> m_stopFlag{0};

    SCritSection* m_bufferLock = nullptr;
    // Set when initCodecJob failed: the first step ends the job in E_CODECJOB_OPEN_FAILED.
    u32 m_initFailed = 0;
    char16_t m_path[CODEC_PATH_CAPACITY] = {};
    // The ring the stream reads, bound by bindCodecRingToStream; null until then.
    SCodecRing* m_pStreamRing = nullptr;
    // Auto-reset: set on progress, waited on by the analysis's pull.
    ClEvent m_progressEvent{false, false};

private:
    friend void waitForCodecJobProgress(ClCodecStreamInstance* job, u32 milliseconds);
    std::atomic<u32> m_progressCount{0};
    std::atomic<u32> m_waitingReaders{0};
};

// Called by the registry right after the factory: takes the buffer lock from the pool, stores
// the path (at most 767 units, zero-filled) and runs initializeMembers. 0 on failure, with the
// stop flag set: the job then ends in E_CODECJOB_OPEN_FAILED at its first step.
s32 initCodecJob(ClCodecStreamInstance* job, const char16_t* path);

// E_CODECJOB_NEW for no job.
s32 getCodecJobState(const ClCodecStreamInstance* job);
// The three failed states.
bool isCodecJobFailed(s32 state);
// Whether the job's decoder skipped damaged data; false for no job.
bool codecJobSawDamage(const ClCodecStreamInstance* job);
// E_CODECJOB_FINISHED and the failed states: the job will not change any more.
bool isCodecJobTerminal(s32 state);

// One step of the state machine; decode thread only. An unknown state is fatal.
void stepCodecJob(ClCodecStreamInstance* job);

// The decode thread's clean-up before it deletes a job: gives the buffer lock back to the pool,
// state E_CODECJOB_NEW, then releaseAll.
void shutdownCodecJob(ClCodecStreamInstance* job);

// Waits (alertably: completions of file reads queued to this thread run meanwhile, so the main
// thread may wait) until the job signals progress or the time passes. OS_INFINITE waits without
// limit. Callers re-check what they wait for in a loop. A waiting reader cuts the decode thread's
// sleep short, and the thread runs its passes back to back for as long as they move this job on,
// so a reader with nothing else to do waits for decoding work, never for the interval.
void waitForCodecJobProgress(ClCodecStreamInstance* job, u32 milliseconds);

// ---------------------------------------------------------------------------------------------
// The ring of decoded buffers

// The media decoder keeps up to 64 buffers; every other format 2 or 3.
constexpr u32 CODEC_RING_MAX_BUFFERS = 64;
// Larger buffers come only from a damaged or hostile header.
constexpr u32 CODEC_RING_MAX_BUFFER_BYTES = 16u * 1024u * 1024u;

enum ECodecBufferState : u32 {
    E_CODECBS_FREE = 0,
    E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE = 1,  // filled, waiting to be read
};

struct SCodecRing {
    u32 bufferCount;
    u32 bytesPerBuffer;
    u8* buffers[CODEC_RING_MAX_BUFFERS];          // 16-byte aligned, not cleared
    u32 states[CODEC_RING_MAX_BUFFERS];           // ECodecBufferState
    u32 byteCounts[CODEC_RING_MAX_BUFFERS];
    u32 writeIndex;                               // next buffer to fill (decode thread only)
    u32 finished;                                 // the end of the file has been decoded
    SCodecReadPosition streamRead;
};

// Allocates count buffers of bytesPerBuffer bytes, all free, write index 0. 0 (nothing kept)
// for a count of 0 or above the maximum, a size of 0 or above the maximum, or no memory.
s32 allocateCodecRing(SCodecRing* ring, u32 count, u64 bytesPerBuffer, ClCodecStreamInstance* job);
// Frees every buffer and zeroes the record; safe on a zeroed or partly allocated ring.
void releaseCodecRing(SCodecRing* ring);

// canDecodeMoreData of a ring decoder: under the buffer lock, non-zero when some buffer is free.
s32 codecRingHasFreeBuffer(ClCodecStreamInstance* job, const SCodecRing* ring);

// The two steps of a fill, for decoders that cannot use fillCodecRing directly.
// Under the lock: the index of the buffer at the write index when it is free and the ring has
// not finished; 0 when there is nothing to fill.
s32 beginCodecRingFill(ClCodecStreamInstance* job, SCodecRing* ring, u32* outIndex);
// Under the lock: records bytes (at most bytesPerBuffer), marks the buffer ready, advances the
// write index, and sets the finished flag for a fill of 0 bytes or when atEnd is non-zero.
// Signals the job's progress.
void commitCodecRingFill(ClCodecStreamInstance* job, SCodecRing* ring, u32 index, u32 bytes, u32 atEnd);

// The body of startDecoding and continueDecoding of a ring decoder: while the buffer at the
// write index is free, decodes into it outside the lock, then flips it to ready. decode is
// called as
//   s32 decode(u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd)
// and returns 0 on a decoding error; 0 bytes, or outAtEnd non-zero, ends the stream. Returns 0
// on a decoding error (or a decoder reporting more bytes than the buffer holds), else 1.
template <typename DecodeFn>
s32 fillCodecRing(ClCodecStreamInstance* job, SCodecRing* ring, DecodeFn&& decode) {
    u32 index = 0;
    while (beginCodecRingFill(job, ring, &index)) {
        u32 bytes = 0;
        u32 atEnd = 0;
        if (!decode(ring->buffers[index], ring->bytesPerBuffer, &bytes, &atEnd)) return 0;
        if (bytes > ring->bytesPerBuffer) return 0;
        commitCodecRingFill(job, ring, index, bytes, atEnd);
        if (bytes == 0 || atEnd) break;
    }
    return 1;
}

// The end of fillCreateSoundExInfo of a ring decoder: under the buffer lock, the stream's read
// position goes back to the first buffer, and the stream's user data becomes that position. The
// ring becomes the one isStreamDrained looks at.
void bindCodecRingToStream(ClCodecStreamInstance* job, SCodecRing* ring, SCodecCreateSoundExInfo* info,
                           const char* lockOwner);

// A decoder's two audio-log lines of the stream read, each with one %d for the buffer index: a
// buffer not yet E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE, and a read that wrapped around to the
// buffer it started at.
struct SCodecRingMessages {
    const char* notPendingFormat;
    const char* wrappedAroundFormat;
};

// handleFMODReadCallback of a ring decoder: zero-fills data, then (once the job has reached
// E_CODECJOB_READY: before that the decode thread is still setting the ring up) copies from the
// ring at ring->streamRead under the buffer lock; a buffer not ready, or a wrap back to the
// starting buffer, ends the copy with a line in the audio log and the rest silent. Returns
// CODEC_STREAM_READ_OK.
s32 readCodecRingForStream(ClCodecStreamInstance* job, SCodecRing* ring, void* data, u32 bytes,
                           const SCodecRingMessages& messages);
