// Compressed-audio reader: opens a music file (MP3, WMA, M4A, AAC and whatever else the media
// library recognises), picks its best audio stream and hands out decoded, interleaved PCM at
// the file's own rate and channel count. Video streams are never decoded.
//
// Two output forms: signed 16-bit integers (for decoders that deliver integer PCM) and 32-bit
// floats clamped to [-1, 1] (for decoders that deliver float slices).
//
// A reader is used by one thread at a time; callers that share it guard it with their own lock.
// Nothing here logs: every failure is returned as an EMediaReaderError with the system or
// library code behind it, for the caller to write to its own log.
#pragma once

#include "platform/types.h"


// Frames of one suggested read (and of one decoder buffer or slice). Never 0, so a buffer sized
// from it always makes progress.
constexpr u32 MEDIA_AUDIO_BUFFER_FRAMES = 4096;
// More channels than this are refused at open.
constexpr u32 MEDIA_AUDIO_MAX_CHANNELS = 8;

enum EMediaSampleFormat : u32 {
    E_MEDIASAMPLE_S16 = 0,  // signed 16-bit, little-endian, interleaved
    E_MEDIASAMPLE_F32 = 1,  // 32-bit float in [-1, 1], interleaved
};

enum EMediaReaderError : u32 {
    E_MEDIAERR_NONE = 0,
    E_MEDIAERR_INVALID_PARAMETER,   // no path, an unknown sample format, or already open
    E_MEDIAERR_NOT_OPEN,            // an operation that needs an open reader
    E_MEDIAERR_FILE_NOT_FOUND,      // the file does not exist
    E_MEDIAERR_FILE_OPEN,           // the file exists but cannot be opened or sized (system code)
    E_MEDIAERR_EMPTY_FILE,          // zero bytes long
    E_MEDIAERR_NOT_A_MEDIA_FILE,    // no container recognised in the data (library code)
    E_MEDIAERR_STREAM_INFO,         // the container's streams cannot be read (library code)
    E_MEDIAERR_NO_AUDIO_STREAM,     // a media file without any audio stream
    E_MEDIAERR_NO_DECODER,          // the audio codec is not supported
    E_MEDIAERR_UNSUPPORTED_FORMAT,  // rate 0, no channels or more than MEDIA_AUDIO_MAX_CHANNELS
    E_MEDIAERR_DECODER_OPEN,        // the audio decoder cannot start (library code)
    E_MEDIAERR_CONVERTER,           // the sample converter cannot start (library code)
    E_MEDIAERR_OUT_OF_MEMORY,
    E_MEDIAERR_READ,                // the file failed under a read (system code)
    E_MEDIAERR_DECODE,              // the data is damaged beyond the decoder's recovery (library code)
    E_MEDIAERR_MOSTLY_DAMAGED,      // the decoder gives far more audio than the packets hold: their
                                    // framing is damaged and what comes out is noise
};

// A fixed English text for an error, such as "no audio stream found".
const char* mediaReaderErrorText(EMediaReaderError error);

// The delivered audio, as read from the file at open.
struct SMediaAudioFormat {
    EMediaSampleFormat sampleFormat;
    u32 sampleRate;           // Hz
    u32 channels;             // 1 to MEDIA_AUDIO_MAX_CHANNELS
    u32 bitsPerSample;        // 16 or 32
    u32 bytesPerFrame;        // channels x bitsPerSample / 8
    u32 bytesPerBuffer;       // MEDIA_AUDIO_BUFFER_FRAMES x bytesPerFrame
    // Frames the stream holds. Measured (lengthMeasured) from the stream's packets at open,
    // less the encoder delay and padding the file marks for removal, and never more than an
    // exact length the container states; reads then end there. Otherwise the container's
    // stated length, where the file's size could hold it, else 0.
    u64 totalFrames;
    bool lengthMeasured;
};

struct SMediaAudioReaderState;

class ClMediaAudioReader {
public:
    ClMediaAudioReader() = default;
    ~ClMediaAudioReader();
    ClMediaAudioReader(const ClMediaAudioReader&) = delete;
    ClMediaAudioReader& operator=(const ClMediaAudioReader&) = delete;

    // Opens a file by its game path (UTF-16, '\' or '/' separators) and prepares decoding of its
    // best audio stream into the wanted form. On failure the reader stays closed.
    EMediaReaderError open(const char16_t* path, EMediaSampleFormat wanted);

    // Format of an open reader; E_MEDIAERR_NOT_OPEN (and a zeroed record) otherwise.
    EMediaReaderError getFormat(SMediaAudioFormat* out) const;

    // Decodes up to maxFrames frames into out (maxFrames x bytesPerFrame bytes). Fewer frames
    // come back only at the end of the stream or on a failure; either way atEnd() is then true
    // and later calls give 0 frames. On a failure *framesOut still counts the frames written
    // before it.
    EMediaReaderError read(void* out, u32 maxFrames, u32* framesOut);
    bool atEnd() const;
    // Packets the decoder refused as damaged so far (each was skipped).
    u32 damagedPackets() const;

    // Releases the file and the decoder; safe on a closed or partly opened reader.
    void close();

    bool isOpen() const { return m_state != nullptr; }
    // The last failure of open or read and its system or library code (0 when none).
    EMediaReaderError lastError() const { return m_lastError; }
    s32 lastSystemCode() const { return m_lastSystemCode; }

private:
    EMediaReaderError fail(EMediaReaderError error, s32 systemCode);

    SMediaAudioReaderState* m_state = nullptr;
    EMediaReaderError m_lastError = E_MEDIAERR_NONE;
    s32 m_lastSystemCode = 0;
};
