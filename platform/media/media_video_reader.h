// Video reader: opens a film (".mov" and whatever else the media library recognises) and hands
// out, in file order, its pictures as RGBA pixels and its sound as interleaved 16-bit stereo at
// the file's own rate. Either stream may be missing, not both.
//
// One thread at a time; nothing here logs (failures come back as EMediaReaderError codes).
#pragma once

#include "platform/media/media_audio_reader.h"
#include "platform/types.h"

constexpr u32 MEDIA_VIDEO_AUDIO_CHANNELS = 2;
// Larger pictures are refused at open.
constexpr u32 MEDIA_VIDEO_MAX_SIDE = 8192;
// Sound at other rates, or with more channels, is refused at open: only a damaged description
// states such numbers, and the player sizes its sound buffer by the rate.
constexpr u32 MEDIA_VIDEO_MIN_SAMPLE_RATE = 8000;
constexpr u32 MEDIA_VIDEO_MAX_SAMPLE_RATE = 192000;
constexpr u32 MEDIA_VIDEO_MAX_SOURCE_CHANNELS = 8;
// A stated picture rate above this is taken as unknown.
constexpr f64 MEDIA_VIDEO_MAX_FRAME_RATE = 1000.0;

struct SMediaVideoFormat {
    bool hasVideo;
    u32 width;  // pixels; every picture is scaled to this size
    u32 height;
    f64 frameRate;  // frames per second as the container states it, 0 when unknown
    bool hasAudio;
    u32 sampleRate;  // Hz, MEDIA_VIDEO_MIN_SAMPLE_RATE to MEDIA_VIDEO_MAX_SAMPLE_RATE; every block of
                     // sound comes at this rate
};

enum EMediaVideoEvent : u32 {
    E_MEDIAVIDEO_PICTURE = 0,  // pixels() and pictureTime() hold the next picture
    E_MEDIAVIDEO_SOUND = 1,    // sound() and soundFrames() hold the next block of sound
    E_MEDIAVIDEO_END = 2,
    E_MEDIAVIDEO_FAILED = 3,  // later calls give E_MEDIAVIDEO_END
};

struct SMediaVideoReaderState;

class ClMediaVideoReader {
public:
    ClMediaVideoReader() = default;
    ~ClMediaVideoReader();
    ClMediaVideoReader(const ClMediaVideoReader&) = delete;
    ClMediaVideoReader& operator=(const ClMediaVideoReader&) = delete;

    // By its full path (UTF-16); on failure the reader stays closed.
    EMediaReaderError open(const char16_t* path);
    void close();
    // Zeroed when closed.
    SMediaVideoFormat format() const;

    // Decodes until the next picture or block of sound.
    EMediaVideoEvent next();
    // width x height x 4 bytes, R G B A, the top row first.
    const u8* pixels() const;
    f64 pictureTime() const;  // seconds from the start of the film
    const s16* sound() const;
    u32 soundFrames() const;
    // Back to the start; false when the file cannot seek (the reader is then at its end).
    bool rewind();

private:
    SMediaVideoReaderState* m_state = nullptr;
};
