// The Ogg Vorbis decoder: vorbisfile decodes into the ring as 16-bit signed little-endian PCM.
//
// The file is opened with the C runtime from its UTF-8 path and handed to vorbisfile through our
// own read, seek, tell and close callbacks. Only a hole in the data (a lost or damaged page) is
// read past; any other error of the library fails the fill. The audio log receives this
// decoder's lines.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "core/types.h"

#include <cstdio>

struct OggVorbis_File;

constexpr u32 OGGVORBIS_RING_BUFFER_COUNT = 3;
// vorbisfile's code for a hole in the data (OV_HOLE): the only error decoding goes on after.
constexpr long OGGVORBIS_HOLE = -3;
// Our own code for a link of a chained file whose channel count differs from the first link's.
constexpr long OGGVORBIS_LINK_CHANNELS_CHANGED = -1000;

// One read of decoded bytes, as ov_read answers: bytes written, 0 at the end of the stream, or a
// negative error code.
using OggVorbisReadFn = long (*)(void* context, char* buffer, int bytes);

// Fills one ring buffer by repeated reads. Stops when less than a whole frame of room is left, or
// at the end of the stream (outAtEnd 1, the last data and the end in the same buffer). Holes
// (data lost to damage) are read past; those that more audio follows are counted into outHoles
// when given (one right before the end is a file cut short). Returns 1 with the
// bytes written, or 0 with the error in outError for any other negative answer (or a read
// claiming more than it was given).
s32 fillOggVorbisBuffer(OggVorbisReadFn read, void* context, u8* destination, u32 capacity, u32 frameBytes,
                        u32* outBytes, u32* outAtEnd, long* outError, u32* outHoles = nullptr);

class ClCodecStreamInstance_OggVorbis : public ClCodecStreamInstance {
public:
    ClCodecStreamInstance_OggVorbis() = default;
    ~ClCodecStreamInstance_OggVorbis() override;

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

    s32 attemptToFillOggVorbisBuffers();

    SCodecRing m_ring = {};
    // Heap-held library state; valid while m_vorbisOpen is set.
    OggVorbis_File* m_vorbisFile = nullptr;
    u32 m_vorbisOpen = 0;
    // Ours until vorbisfile takes it; vorbisfile closes it in ov_clear.
    FILE* m_file = nullptr;
    u32 m_channels = 0;
    u32 m_sampleRate = 0;
    // ov_pcm_total and ov_time_total of the whole file at open; negative when unknown.
    s64 m_totalFrames = -1;
    f64 m_totalSeconds = -1.0;

private:
    s32 openFile();
    s32 totalFrames(s64* outFrames) const;
};
