// The decoder of the compressed formats that the media reader opens: MP3, WMA, M4A and AAC.
//
// It is registered twice (codec_registration.cpp), each registration with its own profile: as
// the Windows Media family (".mp3", ".wma"), delivering signed 16-bit PCM into a ring of 64
// buffers, and as the QuickTime family (".mp3", ".m4a", ".aac"), delivering 32-bit floats in
// [-1, 1] into a ring of 32. Every buffer holds MEDIA_AUDIO_BUFFER_FRAMES frames; the last one
// of a song holds only what is left.
//
// The length it reports is the one the reader measured from the file's packets, so a header
// that claims more than the file holds, or only estimates, is not passed on.
#pragma once

#include "audio/decode/codec_stream_instance.h"
#include "platform/media/media_audio_reader.h"

struct SMediaDecoderProfile {
    const char* name;                // names the family in log lines
    EMediaSampleFormat sampleFormat;
    u32 bufferCount;
    u32 decodeBufferFrames;          // the stream's decode buffer, in frames
};

extern const SMediaDecoderProfile g_windowsMediaProfile;
extern const SMediaDecoderProfile g_quickTimeProfile;

class ClCodecStreamInstance_Media : public ClCodecStreamInstance {
public:
    explicit ClCodecStreamInstance_Media(const SMediaDecoderProfile& profile) : m_profile(profile) {}
    ~ClCodecStreamInstance_Media() override;

    s32 initializeMembers() override;
    s32 initializeFullStream() override;
    s32 startDecoding() override { return fillBuffers(); }
    s32 canDecodeMoreData() override { return codecRingHasFreeBuffer(this, &m_ring); }
    s32 isDecodingFinished() override { return m_ring.finished ? 1 : 0; }
    s32 continueDecoding() override { return fillBuffers(); }
    void releaseAll() override;
    s32 getCommonCodecInfo(SCommonCodecInfo* info) override;
    s32 fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) override;
    s32 handleFMODReadCallback(void* data, u32 bytes) override;
    s32 gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                       u32* outBytes) override;

    const SMediaDecoderProfile& profile() const { return m_profile; }

    SCodecRing m_ring = {};

private:
    // Opens the reader on the job's path under the file-system lock; a failure is logged.
    s32 openReader();
    // Decodes into every free buffer. 0 after a decoding failure; the frames decoded before it
    // stay in the ring.
    s32 fillBuffers();

    const SMediaDecoderProfile& m_profile;
    ClMediaAudioReader m_reader;
    SMediaAudioFormat m_format = {};
    u32 m_decodeFailed = 0;
};
