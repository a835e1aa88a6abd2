#include "audio/decode/wav_format.h"

#include "core/package_format.h"
#include "platform/os/os.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr u32 RIFF_HEADER_BYTES = 12;
constexpr u32 CHUNK_HEADER_BYTES = 8;

u16 readLe16(const u8* bytes) { return u16(bytes[0] | (bytes[1] << 8)); }

bool sameId(const u8* bytes, const char* id) { return std::memcmp(bytes, id, 4) == 0; }

// The offset of the chunk after one of the given size whose body starts at bodyStart. After an
// odd size comes a pad byte, which writers set to 0; a byte there that starts a printable chunk
// id means the writer left the pad out.
u64 nextChunkOffset(const SWavChunkSource& source, u64 bodyStart, u32 size) {
    const u64 unpadded = bodyStart + size;
    if ((size & 1) == 0) return unpadded;
    u8 id[4];
    u32 got = 0;
    if (source.readAt(source.user, unpadded, id, 4, &got) == 0 && got == 4 && isPrintableChunkId(id)) {
        return unpadded;
    }
    return unpadded + 1;
}

// Reads the "fmt " body into a fresh block of at least WAV_FORMAT_BLOCK_MIN_BYTES bytes.
EWavError readFormatChunk(const SWavChunkSource& source, u64 bodyStart, u32 size, SWavLayout* layout) {
    // Checked before allocating: the size field is the file's word, not a promise.
    if (size > WAV_FORMAT_BLOCK_MAX_BYTES || bodyStart + size > source.size) return E_WAVERR_BAD_FORMAT_CHUNK;
    const u32 blockSize = size < WAV_FORMAT_BLOCK_MIN_BYTES ? WAV_FORMAT_BLOCK_MIN_BYTES : size;
    u8* block = static_cast<u8*>(std::calloc(blockSize, 1));
    if (!block) return E_WAVERR_BAD_FORMAT_CHUNK;
    u32 got = 0;
    const u32 error = size ? source.readAt(source.user, bodyStart, block, size, &got) : 0;
    if (error != 0 || got < size) {
        std::free(block);
        return error != 0 ? E_WAVERR_READ_FAILED : E_WAVERR_BAD_FORMAT_CHUNK;
    }
    std::free(layout->formatBlock);
    layout->formatBlock = block;
    layout->formatBlockSize = blockSize;
    return E_WAVERR_NONE;
}

}  // namespace

const char* wavErrorText(EWavError error) {
    switch (error) {
        case E_WAVERR_NONE: return "no error";
        case E_WAVERR_NOT_WAVE: return "not a RIFF/WAVE file";
        case E_WAVERR_BAD_FORMAT_CHUNK: return "damaged \"fmt \" chunk";
        case E_WAVERR_READ_FAILED: return "read failed";
        case E_WAVERR_TOO_LARGE: return "4 GiB or larger";
        case E_WAVERR_CANNOT_OPEN: return "cannot be opened";
    }
    return "unknown error";
}

void readWavFormatBlock(const u8* block, SWavFormat* out) {
    out->formatTag = readLe16(block + 0);
    out->channels = readLe16(block + 2);
    out->samplesPerSec = loadLe32(block + 4);
    out->avgBytesPerSec = loadLe32(block + 8);
    out->blockAlign = readLe16(block + 12);
    out->bitsPerSample = readLe16(block + 14);
    out->extraSize = readLe16(block + 16);
}

bool isPrintableChunkId(const u8* id) {
    for (u32 i = 0; i < 4; ++i) {
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    }
    return true;
}

EWavError parseWavChunks(const SWavChunkSource& source, SWavLayout* layout) {
    if (source.size >= WAV_FILE_SIZE_LIMIT) return E_WAVERR_TOO_LARGE;

    u8 header[RIFF_HEADER_BYTES];
    u32 got = 0;
    u32 error = source.readAt(source.user, 0, header, RIFF_HEADER_BYTES, &got);
    if (error != 0) return E_WAVERR_READ_FAILED;
    if (got < RIFF_HEADER_BYTES || !sameId(header, "RIFF") || !sameId(header + 8, "WAVE")) return E_WAVERR_NOT_WAVE;

    u64 offset = RIFF_HEADER_BYTES;
    for (u32 walked = 0; walked < WAV_CHUNK_WALK_LIMIT && offset < source.size; ++walked) {
        u8 chunk[CHUNK_HEADER_BYTES];
        got = 0;
        error = source.readAt(source.user, offset, chunk, CHUNK_HEADER_BYTES, &got);
        if (error == E_OSERR_HANDLE_EOF) break;
        if (error != 0) return E_WAVERR_READ_FAILED;
        // A partial header can only be the file's last bytes.
        if (got < CHUNK_HEADER_BYTES) break;

        const u32 size = loadLe32(chunk + 4);
        const u64 bodyStart = offset + CHUNK_HEADER_BYTES;
        if (sameId(chunk, "fmt ")) {
            const EWavError formatError = readFormatChunk(source, bodyStart, size, layout);
            if (formatError != E_WAVERR_NONE) return formatError;
        } else if (sameId(chunk, "data")) {
            const u64 held = bodyStart < source.size ? source.size - bodyStart : 0;
            layout->dataStart = u32(bodyStart < source.size ? bodyStart : source.size);
            layout->dataSize = u32(size < held ? size : held);
        }
        offset = nextChunkOffset(source, bodyStart, size);
    }
    return E_WAVERR_NONE;
}

void freeWavLayout(SWavLayout* layout) {
    std::free(layout->formatBlock);
    layout->formatBlock = nullptr;
    layout->formatBlockSize = 0;
}

u32 wavContainerBytes(const SWavFormat& format) {
    if (format.channels == 0 || format.blockAlign % format.channels != 0) return 0;
    return format.blockAlign / format.channels;
}

EWavFormatCheck checkWavPcmFormat(const SWavFormat& format) {
    if (format.formatTag != WAV_FORMAT_TAG_PCM) return E_WAVCHECK_UNSUPPORTED_TAG;
    if (format.bitsPerSample > WAV_MAX_BITS_PER_SAMPLE) return E_WAVCHECK_UNSUPPORTED_BITS;
    const u32 container = wavContainerBytes(format);
    if (format.samplesPerSec == 0 || format.bitsPerSample == 0 || container == 0 ||
        container > WAV_MAX_CONTAINER_BYTES || format.bitsPerSample > container * 8 ||
        format.avgBytesPerSec / 2 < format.blockAlign || format.avgBytesPerSec > WAV_MAX_AVG_BYTES_PER_SEC) {
        return E_WAVCHECK_MALFORMED;
    }
    return E_WAVCHECK_OK;
}
