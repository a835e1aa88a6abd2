// The QuickTime decoder family: MP3, M4A and AAC files (format ids 1, 2 and 4; MP3 only when the
// Windows Media family could not start). The file is loaded as a movie through the media reader,
// its audio is extracted into a ring of 32 scheduled audio slices of 4,096 frames, planar per
// channel, and each extracted slice is then interleaved into 32-bit floats in [-1, 1].
//
// A slice's flag cycles: 1 (complete, free to extract into) -> 0 (extracted, planar data waiting)
// -> 2 (interleaved, ready to be read) -> 1 once a reader has consumed it.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "platform/media/media_audio_reader.h"

constexpr u32 QUICKTIME_SLICE_COUNT = 32;
constexpr u32 QUICKTIME_SLICE_FRAMES = 4096;

enum EScheduledAudioSliceFlag : u32 {
    E_SLICEFLAG_EXTRACTED = 0,
    E_SLICEFLAG_COMPLETE = 1,
    kScheduledAudioSliceFlag_BeganToRender = 2,
};

struct SScheduledAudioSlice {
    u32 mFlags;                                  // EScheduledAudioSliceFlag
    u32 mNumberFrames;                           // at most QUICKTIME_SLICE_FRAMES
    f32* mBufferList[MEDIA_AUDIO_MAX_CHANNELS];  // planar, QUICKTIME_SLICE_FRAMES per channel
    f32* interleaved;                            // QUICKTIME_SLICE_FRAMES x channels
    u32 interleavedBytes;                        // mNumberFrames x channels x 4
    u32 bytesRead;                               // of the interleaved bytes, by the reader
};

class ClCodecStreamInstance_QuickTime : public ClCodecStreamInstance {
public:
    ClCodecStreamInstance_QuickTime() = default;
    ~ClCodecStreamInstance_QuickTime() override;

    s32 initializeMembers() override;
    s32 initializeFullStream() override;
    s32 initializeMetaDataOnlyStream() override;
    s32 startDecoding() override;
    s32 prepareMetaDataOnly() override { return 1; }
    s32 canDecodeMoreData() override;
    s32 isDecodingFinished() override { return m_endOfMedia ? 1 : 0; }
    s32 isStreamDrained() override;
    s32 getMetaData(SCodecMetaDataRequest* request) override;
    s32 continueDecoding() override;
    void releaseAll() override;
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override;
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override;
    s32 handleFMODReadCallback(void* data, u32 bytes) override;
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes, u32* outBytes) override;

    // A slice's flag, read under the buffer lock.
    u32 getSliceFlags(u32 index);
    u32 getReadIndex();

private:
    s32 loadMovieFromFile();
    s32 setUpSlices();
    void releaseSlices();
    // One fill: extracts into the run of free slices, then interleaves what was extracted. The
    // slices are claimed under the buffer lock (waiting for it, or giving up at once when it is
    // busy) and filled outside it. 0 when the extraction failed.
    s32 fillSlices(bool waitForLock);
    // Copies ready slices to destination from the read index; stops at the first slice that is
    // not ready. Under the buffer lock. Returns the bytes copied.
    u32 copyReadySlices(u8* destination, u32 bytes, u32* outStoppedAt);

    ClMediaAudioReader m_movie;
    u32 m_movieLoaded = 0;
    // The extraction's output.
    u32 m_channels = 0;
    f64 m_sampleRate = 0.0;
    u32 m_bitsPerChannel = 0;
    u64 m_framesInMovie = 0;
    SScheduledAudioSlice m_slices[QUICKTIME_SLICE_COUNT] = {};
    u32 m_sliceCount = 0;
    // One slice of interleaved frames as the reader hands them out.
    f32* m_extractBuffer = nullptr;
    // index: the slice being read; offsets live in the slices.
    SCodecReadPosition m_streamRead = {};
    // Next slice to extract into and interleave (decode thread only).
    u32 m_writeIndex = 0;
    u32 m_endOfMedia = 0;
    u64 m_framesExtracted = 0;
    u64 m_framesInterleaved = 0;
};
