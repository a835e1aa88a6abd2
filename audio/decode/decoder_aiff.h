// The decoder of AIFF files (format id 7, ".aiff" and ".aif"): the stateless AIFF reader
// (aiff_reader.h) reads each channel into a plane of f32 samples, and the decoder interleaves
// them into a ring of two half-second buffers.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"

constexpr u32 AIFF_RING_BUFFER_COUNT = 2;
// The UTF-8 system path of a job: up to three bytes for each of its wide units, and a terminator.
constexpr u32 AIFF_SYSTEM_PATH_CAPACITY = CODEC_PATH_CAPACITY * 3 + 1;

class ClCodecStreamInstance_AIFF : public ClCodecStreamInstance {
public:
    ~ClCodecStreamInstance_AIFF() override;

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

    // The body of startDecoding and continueDecoding.
    s32 attemptToFillAIFFDataBuffers();

private:
    // Decodes the next frames into one buffer; 0 on a reader error or an unsupported layout.
    s32 decodeIntoBuffer(u8* destination, u32* outBytes);
    void releaseResources();

    u32 m_sampleFrames = 0;
    u32 m_channels = 0;
    u32 m_sampleRate = 0;
    u32 m_decodePosition = 0;   // in frames; decode thread only
    u32 m_framesPerBuffer = 0;
    f32** m_channelPlanes = nullptr;
    char m_systemPath[AIFF_SYSTEM_PATH_CAPACITY] = {};
    SCodecRing m_ring = {};
};
