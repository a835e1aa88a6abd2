// The RIFF/WAVE container as the WAV decoder reads it: the chunk walk that finds the "fmt " and
// "data" chunks, the format block read as WAVEFORMATEX, the checks a PCM stream must pass, and
// the reasons a file is refused.
//
// The walk reads through a caller-supplied positioned read, so it runs the same over a disk file
// and over bytes in memory.
#pragma once

#include "core/types.h"

enum EWavError : u32 {
    E_WAVERR_NONE = 0,
    E_WAVERR_NOT_WAVE = 1,          // no RIFF/WAVE header
    E_WAVERR_BAD_FORMAT_CHUNK = 2,  // a "fmt " chunk too large, running past the end, or short
    E_WAVERR_READ_FAILED = 3,       // the source refused a read
    E_WAVERR_TOO_LARGE = 4,         // 4 GiB or larger: sizes here are 32-bit
    E_WAVERR_CANNOT_OPEN = 5,       // no path, no such file, or not a regular file
};

// A short text for the audio log.
const char* wavErrorText(EWavError error);

constexpr u16 WAV_FORMAT_TAG_PCM = 1;
// The format block always holds a whole WAVEFORMATEX, zero-filled beyond the file's chunk.
constexpr u32 WAV_FORMAT_BLOCK_MIN_BYTES = 18;
// A "fmt " chunk larger than this is not a format block we could use; refused before allocating.
constexpr u32 WAV_FORMAT_BLOCK_MAX_BYTES = 0x10000;
// Chunks looked at before the walk gives up; bounds the time spent on a file of empty chunks.
constexpr u32 WAV_CHUNK_WALK_LIMIT = 0x10000;
constexpr u32 WAV_MAX_BITS_PER_SAMPLE = 32;
constexpr u32 WAV_MAX_CONTAINER_BYTES = 4;
// The ring's buffers hold half a second each; this caps them at 16 MiB.
constexpr u32 WAV_MAX_AVG_BYTES_PER_SEC = 32u << 20;
// Files of this size or larger are refused: data offsets and sizes are 32-bit.
constexpr u64 WAV_FILE_SIZE_LIMIT = u64(1) << 32;

// The standard WAVEFORMATEX fields, little-endian in the file.
struct SWavFormat {
    u16 formatTag;
    u16 channels;
    u32 samplesPerSec;
    u32 avgBytesPerSec;
    u16 blockAlign;
    u16 bitsPerSample;
    u16 extraSize;
};

// Reads the fields from a block of at least WAV_FORMAT_BLOCK_MIN_BYTES bytes.
void readWavFormatBlock(const u8* block, SWavFormat* out);

// Positioned read: returns 0 or a system error code (E_OSERR_HANDLE_EOF counts as the end of the
// data); outRead may be short at the end of the data.
using WavReadAtFn = u32 (*)(void* user, u64 offset, void* buffer, u32 size, u32* outRead);

struct SWavChunkSource {
    WavReadAtFn readAt;
    void* user;
    u64 size;  // bytes in the source
};

// What the walk found. The format block is heap-held (free with freeWavLayout); null until a
// "fmt " chunk was read. The data size is cut to the bytes the source really holds after the
// data start, so a truncated file reports what can be read.
struct SWavLayout {
    u8* formatBlock;
    u32 formatBlockSize;
    u32 dataStart;
    u32 dataSize;
};

// Walks the chunks. Returns E_WAVERR_NONE, or the error that stopped the walk; whatever was
// found before the error stays in the layout (a caller can use the file when it has a format
// block). A later "fmt " or "data" chunk replaces an earlier one. A chunk of odd size is followed
// by a pad byte, unless the byte there starts a printable chunk id (a writer that left the pad
// out; real pad bytes are 0).
EWavError parseWavChunks(const SWavChunkSource& source, SWavLayout* layout);
void freeWavLayout(SWavLayout* layout);

// True when all four bytes are printable ASCII, as every chunk id is.
bool isPrintableChunkId(const u8* id);

enum EWavFormatCheck : u32 {
    E_WAVCHECK_OK = 0,
    E_WAVCHECK_UNSUPPORTED_TAG = 1,   // only WAV_FORMAT_TAG_PCM
    E_WAVCHECK_UNSUPPORTED_BITS = 2,  // more than WAV_MAX_BITS_PER_SAMPLE
    E_WAVCHECK_MALFORMED = 3,         // fields that cannot describe a PCM stream
};

// Checks in this order: the tag, the bit depth, then the fields the decoder divides by or sizes
// its buffers from (channels, rate, block align a whole number of 1- to 4-byte containers per
// channel holding the bits, average bytes per second giving half-second buffers of at least one
// frame and at most WAV_MAX_AVG_BYTES_PER_SEC / 2 bytes).
EWavFormatCheck checkWavPcmFormat(const SWavFormat& format);

// Bytes of one sample's container: block align / channels, so 12- and 20-bit samples take their
// 2- and 3-byte containers. 0 when the fields do not divide.
u32 wavContainerBytes(const SWavFormat& format);
