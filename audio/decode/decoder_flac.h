// The FLAC decoder: libFLAC++'s file decoder packs each decoded frame into the ring as
// little-endian integer PCM in a container of 1 to 3 bytes.
//
// A stream of b bits is delivered in (b + 7) / 8 bytes per sample with its samples shifted left
// to fill the container, so a 12-bit stream plays as 16-bit and a 20-bit one as 24-bit, exactly
// as a WAV file of that depth holds them. 8-bit samples get 128 added: the layer's PCM8 is
// unsigned. Streams above 24 bits, or with more than 2 channels, open but fail at their first
// fill. The audio log receives this decoder's lines.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"


class ClFLACFileDecoder;
struct FLAC__StreamMetadata;

constexpr u32 FLAC_RING_BUFFER_COUNT = 2;

// Bytes per packed sample for a stream of this many bits: (bits + 7) / 8, or 0 for a width the
// layer cannot stream (0, or above 24 bits).
u32 flacContainerBytes(u32 bitsPerSample);

// Packs one decoded frame (one array of right-justified samples per channel) interleaved into
// destination. 1 with the bytes written; 0, writing nothing, when the frame does not fit in
// capacity, the channel count is not 1 or 2, or the width has no container.
s32 packFlacFrame(const s32* const* channelSamples, u32 channels, u32 frames, u32 bitsPerSample,
                  u8* destination, u32 capacity, u32* outBytes);

class ClCodecStreamInstance_FLAC : public ClCodecStreamInstance {
public:
    ClCodecStreamInstance_FLAC() = default;
    ~ClCodecStreamInstance_FLAC() override;

    s32 initializeMembers() override;
    s32 initializeFullStream() override;
    s32 startDecoding() override;
    s32 canDecodeMoreData() override;
    s32 isDecodingFinished() override;
    s32 continueDecoding() override;
    void releaseAll() override;
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override;
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override;
    s32 handleFMODReadCallback(void* data, u32 bytes) override;
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                       u32* outBytes) override;
    bool endedBeforeDeclaredLength() const override { return m_endedShort != 0; }

    s32 attemptToFillFLACDataBuffers();

    // The library's callbacks, forwarded by ClFLACFileDecoder. The write callback answers 1 to
    // abort decoding, 0 to continue.
    s32 onFrameDecoded(u32 frames, u32 channels, u32 bitsPerSample, const s32* const* channelSamples);
    void onMetadata(const FLAC__StreamMetadata* metadata);
    void onDecodeError(s32 status);

    s32 m_lastErrorStatus = 0;
    u32 m_errorBeforeNextFrame = 0;  // an error the library reported since the last frame
    ClFLACFileDecoder* m_fileDecoder = nullptr;

    // From STREAMINFO.
    u32 m_hasStreamInfo = 0;
    u64 m_totalSamples = 0;  // per channel
    u32 m_sampleRate = 0;
    u32 m_channels = 0;
    u32 m_bitsPerSample = 0;
    u32 m_bytesPerSample = 0;  // the container
    u32 m_minBlockSize = 0;
    u32 m_maxBlockSize = 0;
    u32 m_minFrameSize = 0;
    u32 m_maxFrameSize = 0;

    SCodecRing m_ring = {};
    // Frames per buffer: the buffer holds this many frames of the maximum block size.
    u32 m_processCallsPerBuffer = 0;
    // Where the write callback appends while a fill runs; null outside fills.
    u8* m_fillTarget = nullptr;
    u32 m_fillCapacity = 0;
    u32 m_fillOffset = 0;
    u32 m_fillFrames = 0;
    u64 m_decodedSamples = 0;  // per channel, over the whole stream
    // The stream ended short of its declared length; the next fill fails.
    u32 m_endedShort = 0;
    u32 m_decodeFailed = 0;

private:
    s32 openFile();
    // Lets the library read every metadata block up to the first frame; 0 when it fails.
    s32 readMetadataBlocks();
    s32 hasUsableStreamInfo() const;
    u64 totalDecodedBytes() const;
    s32 decodeIntoBuffer(u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd);
    s32 reportEndedShort() const;
};
