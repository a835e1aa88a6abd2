// The Windows Media decoder family: MP3 and WMA files (format ids 1 and 3) through the
// synchronous media reader, which hands out interleaved signed 16-bit PCM.
//
// The sync decoder keeps 64 buffers of one fixed size; the reader's reads ("samples") are copied
// into them, and a sample that does not fit waits in the leftover store for the next buffer.
// Every buffer counts as full: the last one is padded with zeros.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "platform/media/media_audio_reader.h"

constexpr u32 WINDOWS_MEDIA_BUFFER_COUNT = 64;
static_assert(WINDOWS_MEDIA_BUFFER_COUNT <= CODEC_RING_MAX_BUFFERS);

// HRESULT-style codes of the sync decoder.
constexpr u32 WM_RESULT_OK = 0;
constexpr u32 WM_RESULT_INVALID_ARGUMENT = 0x80070057;
constexpr u32 WM_RESULT_OUT_OF_MEMORY = 0x8007000E;
constexpr u32 WM_RESULT_FAIL = 0x80004005;
inline bool wmResultFailed(u32 result) { return s32(result) < 0; }

class ClWindowsMediaSyncDecoder {
public:
    explicit ClWindowsMediaSyncDecoder(ClCodecStreamInstance* job) : m_job(job) {}
    ~ClWindowsMediaSyncDecoder() { close(); }
    ClWindowsMediaSyncDecoder(const ClWindowsMediaSyncDecoder&) = delete;
    ClWindowsMediaSyncDecoder& operator=(const ClWindowsMediaSyncDecoder&) = delete;

    // Back to the cleared state: no reader, no buffers, not ready.
    void reset();

    // The read range in milliseconds (end 0: to the end of the file) and the stream choices.
    // An end that is set and not after the start is refused.
    u32 SetParams(u32 startMs, u32 endMs, u32 compressed, u32 audio, u32 video, u32 rangeInFrames);
    // Opens the reader on the file, checks that it delivers PCM and allocates the buffers and
    // the leftover store. Each failure writes its line to the audio log.
    u32 Open(const char16_t* path);
    // Sets the ready flag once the reader is open.
    u32 setUpSampleReading();

    // While the buffer at the write index is free: fills it from the leftover store and the
    // reader, zero-pads what the end of the file leaves empty, and marks it ready. The result
    // is the last result code: negative after a decoding failure.
    u32 attemptToFillBuffers();
    // Without waiting for the buffer lock: non-zero when the buffer at the write index is free;
    // 0 when the lock is busy.
    s32 isWriteBufferFree();
    bool isEndOfStream() const { return m_endOfStream != 0; }

    // A text tag of the file; false when absent.
    bool GetAttributeByName(EMediaTag tag, std::u16string* out) const;

    // Releases the reader and frees the buffers; safe on a closed or partly opened decoder.
    void close();

    bool isOpen() const { return m_reader.isOpen(); }
    const SMediaAudioFormat& format() const { return m_format; }
    SCodecRing* ring() { return &m_ring; }
    u32 bytesPerBuffer() const { return m_ring.bytesPerBuffer; }
    u32 lastResult() const { return m_lastResult; }

private:
    u32 failOpen(EMediaReaderError error);

    ClCodecStreamInstance* m_job;
    // The 64 buffers, their states, the write index and the stream's read position; guarded by
    // the job's buffer lock.
    SCodecRing m_ring = {};
    // Bytes of the last sample that did not fit its buffer, at the front of the store.
    u32 m_leftoverBytes = 0;
    u8* m_leftover = nullptr;
    ClMediaAudioReader m_reader;
    SMediaAudioFormat m_format = {};
    u32 m_startMs = 0;
    u32 m_endMs = 0;
    u32 m_compressed = 0;
    u32 m_audio = 1;
    u32 m_video = 0;
    u32 m_rangeInFrames = 0;
    u32 m_endOfStream = 0;
    u32 m_lastResult = WM_RESULT_OK;
    u32 m_ready = 0;
};

class ClCodecStreamInstance_WindowsMedia : public ClCodecStreamInstance {
public:
    ClCodecStreamInstance_WindowsMedia() : mp_syncDecoder(this) {}

    s32 initializeMembers() override;
    s32 initializeFullStream() override;
    s32 initializeMetaDataOnlyStream() override;
    s32 startDecoding() override;
    s32 prepareMetaDataOnly() override { return 1; }
    s32 canDecodeMoreData() override;
    s32 isDecodingFinished() override;
    s32 getMetaData(SCodecMetaDataRequest* request) override;
    s32 continueDecoding() override;
    void releaseAll() override;
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override;
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override;
    s32 handleFMODReadCallback(void* data, u32 bytes) override;
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes, u32* outBytes) override;

    ClWindowsMediaSyncDecoder mp_syncDecoder;

private:
    // Sets the whole-file range and opens the reader on the job's path; each failure writes
    // its line naming the slot. 0 on failure.
    s32 openSyncDecoder(const char* slotName);
};
