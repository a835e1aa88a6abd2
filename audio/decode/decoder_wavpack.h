// The WavPack decoder: the WavPack library unpacks into the ring, which holds 32-bit float
// samples.
//
// Integer samples are scaled by 1 / 2^(8 x bytes per sample - 1), so 16-bit samples are divided
// by 32768 and 24-bit ones by 8388608; float files arrive normalised by the library and pass
// unchanged. A file whose length the library cannot tell is refused at open. The audio log
// receives this decoder's lines.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"

#include <string>

struct WavpackContext;

constexpr u32 WAVPACK_RING_BUFFER_COUNT = 2;
// OPEN_WVC | OPEN_TAGS | OPEN_NORMALIZE: the correction file when present, the tags, and float
// samples normalised to +/-1.
constexpr s32 WAVPACK_OPEN_FLAGS = 19;
constexpr u32 WAVPACK_VERSION_TEXT_CAPACITY = 64;

// Recorded by the family's thread-init.
extern u32 g_wavPackLibraryVersion;
extern char g_wavPackLibraryVersionText[WAVPACK_VERSION_TEXT_CAPACITY];

class ClCodecStreamInstance_WavPack : public ClCodecStreamInstance {
public:
    ClCodecStreamInstance_WavPack() = default;
    ~ClCodecStreamInstance_WavPack() override;

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

    s32 attemptToFillWavPackDataBuffers();

    WavpackContext* m_context = nullptr;
    u32 m_mode = 0;
    u32 m_channels = 0;
    u32 m_sampleRate = 0;
    u32 m_bitsPerSample = 0;
    u32 m_bytesPerSample = 0;
    u64 m_totalSamples = 0;     // per channel
    u64 m_unpackedSamples = 0;  // per channel, so far
    // The UTF-8 path handed to the library, for its lines.
    std::string m_filePath;

    SCodecRing m_ring = {};

private:
    s32 openFile();
    s32 decodeIntoBuffer(u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd);
};
