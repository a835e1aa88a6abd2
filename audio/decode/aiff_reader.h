// A small stateless AIFF reader: every operation opens the file by its UTF-8 system path, parses
// all chunks, answers and closes the file again. Also the byte-level pieces of the format (chunk
// bodies, the 80-bit extended sample rate, big-endian sample conversion), over plain buffers.
//
// Operations answer a negative EAiffReaderResult on failure.
#pragma once

#include "core/types.h"

#include <cstdio>

constexpr const char* AIFF_READER_VERSION_TEXT = "2.0.1 [0905260830]";

enum EAiffReaderResult : s32 {
    E_AIFFREAD_BAD_FILE = -3,           // does not parse (no FORM/AIFF, no COMM or SSND, bad fields)
    E_AIFFREAD_CANNOT_OPEN = -4,        // no path, or the file cannot be opened
    E_AIFFREAD_TOO_MANY_BITS = -8,      // more than AIFF_MAX_BITS_PER_SAMPLE
    E_AIFFREAD_TOO_MANY_CHANNELS = -9,  // more than AIFF_MAX_CHANNELS
    E_AIFFREAD_NO_FRAMES = -10,
    E_AIFFREAD_OUT_OF_MEMORY = -108,
};

constexpr s32 AIFF_MAX_BITS_PER_SAMPLE = 32;
constexpr s32 AIFF_MAX_CHANNELS = 2;
// Rates outside this range come only from a damaged header; they would size absurd buffers.
constexpr f64 AIFF_MIN_SAMPLE_RATE = 1.0;
constexpr f64 AIFF_MAX_SAMPLE_RATE = 1000000.0;
// Chunks looked at before the walk gives up; bounds the time spent on a file of empty chunks.
constexpr u32 AIFF_CHUNK_WALK_LIMIT = 0x10000;
// Markers kept from the marker chunk; further ones are skipped.
constexpr u32 AIFF_MARKER_CAPACITY = 64;
constexpr u32 AIFF_COMM_MIN_BYTES = 18;
constexpr u32 AIFF_INSTRUMENT_BYTES = 20;
constexpr u32 AIFF_EXTENDED_BYTES = 10;

struct SAiffMarker {
    s16 id;
    u32 position;  // in sample frames
};

// What one parse found. Positions are file offsets (files of 4 GiB or more are refused).
struct SAiffInfo {
    s16 channels;
    s16 bitsPerSample;
    f64 sampleRate;
    u32 firstSampleByte;
    // The COMM frame count, cut to the whole frames the SSND chunk really holds.
    u32 sampleFrames;
    u32 bytesPerFrame;  // container bytes ((bits + 7) / 8) x channels
    u32 hasComm;
    u32 hasSoundData;
    // Kept from the file; the decoder does not use them.
    u32 markerChunkPosition;
    u32 markerCount;  // markers kept, at most AIFF_MARKER_CAPACITY
    SAiffMarker markers[AIFF_MARKER_CAPACITY];
    u32 instrumentChunkPosition;
    u8 instrument[AIFF_INSTRUMENT_BYTES];
    u32 applicationChunkPosition;
    u32 applicationSignature;
};

// ---------------------------------------------------------------------------------------------
// Byte-level pieces

// The IEEE 754 80-bit extended float (sign, 15-bit exponent biased by 16383, 64-bit mantissa
// with an explicit integer bit), big-endian, as f64. Infinity and NaN come out as such.
f64 aiffExtendedToDouble(const u8* bytes);

// Reads the COMM body into the info; false when it is shorter than AIFF_COMM_MIN_BYTES.
bool parseAiffCommChunk(const u8* body, u32 size, SAiffInfo* info);

// Bytes of the container of one sample: the bit depth rounded up to whole bytes (a 12-bit sample
// takes 2, a 6-bit one 1). 0 for a depth of 0 or above AIFF_MAX_BITS_PER_SAMPLE.
u32 aiffContainerBytes(u32 bitsPerSample);

// count big-endian samples of the given bit depth to f32, by their container, in which the sample
// is left-justified: 1 byte signed / 2^7, 2 bytes / 2^15, 3 bytes placed in the top three bytes
// of an i32 / 2^31, 4 bytes / 2^31. Samples are taken every strideBytes bytes. A depth without a
// container writes nothing (the destination stays as it was).
void convertAiffSamples(const u8* source, u32 bitsPerSample, u32 count, u32 strideBytes, f32* destination);

// Walks the chunks of an open file (at most AIFF_CHUNK_WALK_LIMIT), filling a cleared info.
// 0, or E_AIFFREAD_BAD_FILE for another form type, a missing or short COMM chunk, a missing SSND
// chunk, sound data stated longer than the COMM frame count (and a pad byte) needs, or a file of
// 4 GiB or more. Data shorter than the count (a file cut short) cuts the count instead.
s32 parseAiffFile(FILE* file, SAiffInfo* info);
// The checks every answer makes: bits (1 to 32, else -8; 0 or less -3), channels (1 to 2, else
// -9; 0 or less -3), frames (non-zero, else -10), and a rate in range with a decoded f32 size
// below 4 GiB (else -3). 0 when the file can be decoded.
s32 validateAiffInfo(const SAiffInfo& info);

// ---------------------------------------------------------------------------------------------
// Reader operations by path

// Each parses the whole file and validates it before answering.
s32 aiffReaderChannels(const char* path);
// The rate truncated to an integer.
s32 aiffReaderSampleRate(const char* path);
s32 aiffReaderSampleFrames(const char* path);

// Clears the planes, then reads each plane whose index is below the file's channel count from
// the start frame (other planes stay zero). Frames read, 0 for a count of 0.
s32 aiffReadFrames(const char* path, f32** planes, u32 startFrame, u32 frameCount, u32 channelCount);
// Clears the plane and reads one channel (an index beyond the last reads channel 0): nothing
// when the start is beyond the last frame, else the count cut to the frames left. Frames read.
s32 aiffReadChannel(const char* path, f32* plane, u32 startFrame, u32 frameCount, u32 channel);

// Zeroed f32 planes of frames each; null (nothing kept) when memory runs out.
f32** aiffAllocatePlanes(u32 channels, u32 frames);
void aiffFreePlanes(f32** planes, u32 channels);
