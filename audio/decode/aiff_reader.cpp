#include "audio/decode/aiff_reader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr u32 FORM_HEADER_BYTES = 12;
constexpr u32 CHUNK_HEADER_BYTES = 8;
constexpr u32 SOUND_DATA_HEADER_BYTES = 8;  // u32 offset, u32 block size
constexpr s32 EXTENDED_EXPONENT_BIAS = 16383;
constexpr u32 EXTENDED_EXPONENT_SPECIAL = 0x7FFF;
constexpr u64 FILE_SIZE_LIMIT = u64(1) << 32;
constexpr u64 DECODED_BYTES_LIMIT = u64(1) << 32;
// The marker chunk is read up to this many bytes: a count and AIFF_MARKER_CAPACITY markers of an
// id, a position and a name of at most 255 characters with its count byte and pad.
constexpr u32 MARKER_READ_BYTES = 2 + AIFF_MARKER_CAPACITY * (2 + 4 + 256);

u16 readBe16(const u8* bytes) { return u16((bytes[0] << 8) | bytes[1]); }

u32 readBe32(const u8* bytes) {
    return (u32(bytes[0]) << 24) | (u32(bytes[1]) << 16) | (u32(bytes[2]) << 8) | u32(bytes[3]);
}

bool sameId(const u8* bytes, const char* id) { return std::memcmp(bytes, id, 4) == 0; }

bool readAt(FILE* file, u64 offset, void* buffer, u32 size, u32* outRead) {
    *outRead = 0;
    if (fseeko(file, off_t(offset), SEEK_SET) != 0) return false;
    *outRead = u32(fread(buffer, 1, size, file));
    return true;
}

// The name of a marker is a count byte and its characters, padded to an even total.
void parseMarkers(const u8* body, u32 size, SAiffInfo* info) {
    if (size < 2) return;
    const u32 declared = readBe16(body);
    u32 at = 2;
    for (u32 i = 0; i < declared && info->markerCount < AIFF_MARKER_CAPACITY; ++i) {
        if (at + 7 > size) return;
        SAiffMarker& marker = info->markers[info->markerCount++];
        marker.id = s16(readBe16(body + at));
        marker.position = readBe32(body + at + 2);
        const u32 nameBytes = 1u + body[at + 6];
        at += 6 + nameBytes + (nameBytes & 1);
    }
}

// Reads the parts of a recognised chunk that the info keeps. False when the file is damaged.
// The sound data's end as held and as the chunk states it (the file may be cut short).
struct SSoundDataEnds {
    u64 held = 0;
    u64 stated = 0;
};

bool readChunkBody(FILE* file, const u8* id, u64 body, u32 size, u64 held, SAiffInfo* info, SSoundDataEnds* ssnd) {
    u32 got = 0;
    if (sameId(id, "COMM")) {
        u8 comm[AIFF_COMM_MIN_BYTES];
        if (held < AIFF_COMM_MIN_BYTES || !readAt(file, body, comm, AIFF_COMM_MIN_BYTES, &got)) return false;
        return parseAiffCommChunk(comm, got, info);
    }
    if (sameId(id, "SSND")) {
        u8 header[SOUND_DATA_HEADER_BYTES];
        if (held < SOUND_DATA_HEADER_BYTES || !readAt(file, body, header, SOUND_DATA_HEADER_BYTES, &got) ||
            got < SOUND_DATA_HEADER_BYTES) {
            return false;
        }
        const u64 end = body + held;
        const u64 first = body + SOUND_DATA_HEADER_BYTES + readBe32(header);
        info->firstSampleByte = u32(first < end ? first : end);
        ssnd->held = end;
        ssnd->stated = body + size;
        info->hasSoundData = 1;
        return true;
    }
    if (sameId(id, "MARK")) {
        info->markerChunkPosition = u32(body - CHUNK_HEADER_BYTES);
        info->markerCount = 0;
        static thread_local u8 markerBytes[MARKER_READ_BYTES];
        const u32 want = u32(held < MARKER_READ_BYTES ? held : MARKER_READ_BYTES);
        if (readAt(file, body, markerBytes, want, &got)) parseMarkers(markerBytes, got, info);
        return true;
    }
    if (sameId(id, "INST")) {
        info->instrumentChunkPosition = u32(body - CHUNK_HEADER_BYTES);
        std::memset(info->instrument, 0, sizeof(info->instrument));
        readAt(file, body, info->instrument, u32(held < AIFF_INSTRUMENT_BYTES ? held : AIFF_INSTRUMENT_BYTES), &got);
        return true;
    }
    if (sameId(id, "APPL")) {
        info->applicationChunkPosition = u32(body - CHUNK_HEADER_BYTES);
        u8 signature[4] = {};
        if (held >= 4 && readAt(file, body, signature, 4, &got) && got == 4) {
            info->applicationSignature = readBe32(signature);
        }
        return true;
    }
    return true;
}

// Opens, parses and validates; the file stays open for the caller on success.
s32 openAndParse(const char* path, FILE** outFile, SAiffInfo* info) {
    *outFile = nullptr;
    if (!path || !path[0]) return E_AIFFREAD_CANNOT_OPEN;
    // Only regular files: opening a pipe or a device could block the decode thread for good.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return E_AIFFREAD_CANNOT_OPEN;
    FILE* file = fopen(path, "rb");
    if (!file) return E_AIFFREAD_CANNOT_OPEN;
    s32 result = parseAiffFile(file, info);
    if (result == 0) result = validateAiffInfo(*info);
    if (result < 0) {
        fclose(file);
        return result;
    }
    *outFile = file;
    return 0;
}

s32 answerFor(const char* path, s32 (*pick)(const SAiffInfo&)) {
    SAiffInfo info;
    FILE* file = nullptr;
    const s32 result = openAndParse(path, &file, &info);
    if (result < 0) return result;
    fclose(file);
    return pick(info);
}

}  // namespace

f64 aiffExtendedToDouble(const u8* bytes) {
    const bool negative = (bytes[0] & 0x80) != 0;
    const u32 exponent = (u32(bytes[0] & 0x7F) << 8) | bytes[1];
    const u64 mantissa = (u64(readBe32(bytes + 2)) << 32) | readBe32(bytes + 6);
    f64 value;
    if (exponent == EXTENDED_EXPONENT_SPECIAL) {
        // The integer bit does not count: only the fraction tells infinity from NaN.
        value = (mantissa << 1) == 0 ? HUGE_VAL : std::nan("");
    } else {
        value = std::ldexp(f64(mantissa), s32(exponent) - EXTENDED_EXPONENT_BIAS - 63);
    }
    return negative ? -value : value;
}

u32 aiffContainerBytes(u32 bitsPerSample) {
    if (bitsPerSample == 0 || bitsPerSample > u32(AIFF_MAX_BITS_PER_SAMPLE)) return 0;
    return (bitsPerSample + 7) / 8;
}

bool parseAiffCommChunk(const u8* body, u32 size, SAiffInfo* info) {
    if (size < AIFF_COMM_MIN_BYTES) return false;
    info->channels = s16(readBe16(body));
    info->sampleFrames = readBe32(body + 2);
    info->bitsPerSample = s16(readBe16(body + 6));
    info->sampleRate = aiffExtendedToDouble(body + 8);
    info->hasComm = 1;
    return true;
}

void convertAiffSamples(const u8* source, u32 bitsPerSample, u32 count, u32 strideBytes, f32* destination) {
    // Samples are left-justified in their container, so the container read whole is the sample
    // scaled to the container's range (the pad bits below it are zero in a valid file).
    switch (aiffContainerBytes(bitsPerSample)) {
        case 1:
            for (u32 i = 0; i < count; ++i) destination[i] = f32(s8(source[size_t(i) * strideBytes])) / 128.0f;
            break;
        case 2:
            for (u32 i = 0; i < count; ++i) {
                destination[i] = f32(s16(readBe16(source + size_t(i) * strideBytes))) / 32768.0f;
            }
            break;
        case 3:
            for (u32 i = 0; i < count; ++i) {
                const u8* sample = source + size_t(i) * strideBytes;
                const u32 word = (u32(sample[0]) << 24) | (u32(sample[1]) << 16) | (u32(sample[2]) << 8);
                destination[i] = f32(s32(word)) / 2147483648.0f;
            }
            break;
        case 4:
            for (u32 i = 0; i < count; ++i) {
                destination[i] = f32(s32(readBe32(source + size_t(i) * strideBytes))) / 2147483648.0f;
            }
            break;
        default:
            break;
    }
}

s32 parseAiffFile(FILE* file, SAiffInfo* info) {
    std::memset(info, 0, sizeof(*info));
    if (fseeko(file, 0, SEEK_END) != 0) return E_AIFFREAD_BAD_FILE;
    const off_t end = ftello(file);
    if (end < 0 || u64(end) >= FILE_SIZE_LIMIT) return E_AIFFREAD_BAD_FILE;
    const u64 fileSize = u64(end);

    u8 header[FORM_HEADER_BYTES];
    u32 got = 0;
    if (!readAt(file, 0, header, FORM_HEADER_BYTES, &got) || got < FORM_HEADER_BYTES) return E_AIFFREAD_BAD_FILE;
    // AIFF-C ("AIFC") and every other form type are refused.
    if (!sameId(header, "FORM") || !sameId(header + 8, "AIFF")) return E_AIFFREAD_BAD_FILE;

    SSoundDataEnds ssnd;
    u64 offset = FORM_HEADER_BYTES;
    for (u32 walked = 0; walked < AIFF_CHUNK_WALK_LIMIT && offset + CHUNK_HEADER_BYTES <= fileSize; ++walked) {
        u8 chunk[CHUNK_HEADER_BYTES];
        if (!readAt(file, offset, chunk, CHUNK_HEADER_BYTES, &got) || got < CHUNK_HEADER_BYTES) break;
        const u32 size = readBe32(chunk + 4);
        const u64 body = offset + CHUNK_HEADER_BYTES;
        // A chunk running past the end of the file holds only what is there (a truncated SSND).
        const u64 held = size < fileSize - body ? size : fileSize - body;
        if (!readChunkBody(file, chunk, body, size, held, info, &ssnd)) return E_AIFFREAD_BAD_FILE;
        offset = body + size + (size & 1);
    }
    if (!info->hasComm || !info->hasSoundData) return E_AIFFREAD_BAD_FILE;

    // Depths without a container and bad channel counts are refused by the validation.
    if (info->channels > 0 && info->bitsPerSample > 0) {
        info->bytesPerFrame = aiffContainerBytes(u32(info->bitsPerSample)) * u32(info->channels);
    }
    if (info->bytesPerFrame != 0) {
        // Sound data stated longer than the frame count (beyond a pad byte some writers count)
        // belongs to another depth or channel count than the header's: decoding it would be noise.
        const u64 stated = ssnd.stated > info->firstSampleByte ? ssnd.stated - info->firstSampleByte : 0;
        if (stated > u64(info->sampleFrames) * info->bytesPerFrame + 1) return E_AIFFREAD_BAD_FILE;
        const u64 heldFrames = (ssnd.held - info->firstSampleByte) / info->bytesPerFrame;
        if (heldFrames < info->sampleFrames) info->sampleFrames = u32(heldFrames);
    }
    return 0;
}

s32 validateAiffInfo(const SAiffInfo& info) {
    if (info.bitsPerSample > AIFF_MAX_BITS_PER_SAMPLE) return E_AIFFREAD_TOO_MANY_BITS;
    if (info.bitsPerSample <= 0) return E_AIFFREAD_BAD_FILE;
    if (info.channels > AIFF_MAX_CHANNELS) return E_AIFFREAD_TOO_MANY_CHANNELS;
    if (info.channels <= 0) return E_AIFFREAD_BAD_FILE;
    if (info.sampleFrames == 0) return E_AIFFREAD_NO_FRAMES;
    if (!(info.sampleRate >= AIFF_MIN_SAMPLE_RATE && info.sampleRate <= AIFF_MAX_SAMPLE_RATE)) {
        return E_AIFFREAD_BAD_FILE;
    }
    if (u64(info.sampleFrames) * u64(info.channels) * sizeof(f32) >= DECODED_BYTES_LIMIT) return E_AIFFREAD_BAD_FILE;
    return 0;
}

s32 aiffReaderChannels(const char* path) {
    return answerFor(path, [](const SAiffInfo& info) { return s32(info.channels); });
}

s32 aiffReaderSampleRate(const char* path) {
    return answerFor(path, [](const SAiffInfo& info) { return s32(info.sampleRate); });
}

s32 aiffReaderSampleFrames(const char* path) {
    return answerFor(path, [](const SAiffInfo& info) { return s32(info.sampleFrames); });
}

s32 aiffReadFrames(const char* path, f32** planes, u32 startFrame, u32 frameCount, u32 channelCount) {
    if (!planes) return E_AIFFREAD_BAD_FILE;
    for (u32 i = 0; i < channelCount; ++i) std::memset(planes[i], 0, size_t(frameCount) * sizeof(f32));
    if (frameCount == 0) return 0;
    const s32 fileChannels = aiffReaderChannels(path);
    if (fileChannels < 0) return fileChannels;
    s32 framesRead = 0;
    for (u32 i = 0; i < channelCount && i < u32(fileChannels); ++i) {
        framesRead = aiffReadChannel(path, planes[i], startFrame, frameCount, i);
        if (framesRead < 0) return framesRead;
    }
    return framesRead;
}

s32 aiffReadChannel(const char* path, f32* plane, u32 startFrame, u32 frameCount, u32 channel) {
    SAiffInfo info;
    FILE* file = nullptr;
    const s32 result = openAndParse(path, &file, &info);
    if (result < 0) return result;
    std::memset(plane, 0, size_t(frameCount) * sizeof(f32));
    if (channel >= u32(info.channels)) channel = 0;
    if (startFrame >= info.sampleFrames || frameCount == 0) {
        fclose(file);
        return 0;
    }
    const u32 count = frameCount < info.sampleFrames - startFrame ? frameCount : info.sampleFrames - startFrame;
    const u64 bytes = u64(count) * info.bytesPerFrame;
    u8* frames = static_cast<u8*>(std::malloc(size_t(bytes)));
    if (!frames) {
        fclose(file);
        return E_AIFFREAD_OUT_OF_MEMORY;
    }
    u32 got = 0;
    readAt(file, info.firstSampleByte + u64(startFrame) * info.bytesPerFrame, frames, u32(bytes), &got);
    fclose(file);
    const u32 framesRead = got / info.bytesPerFrame;
    const u32 containerBytes = info.bytesPerFrame / u32(info.channels);
    convertAiffSamples(frames + size_t(channel) * containerBytes, u32(info.bitsPerSample), framesRead,
                       info.bytesPerFrame, plane);
    std::free(frames);
    return s32(framesRead);
}

f32** aiffAllocatePlanes(u32 channels, u32 frames) {
    if (channels == 0) return nullptr;
    f32** planes = static_cast<f32**>(std::calloc(channels, sizeof(f32*)));
    if (!planes) return nullptr;
    for (u32 i = 0; i < channels; ++i) {
        planes[i] = static_cast<f32*>(std::calloc(frames ? frames : 1, sizeof(f32)));
        if (!planes[i]) {
            aiffFreePlanes(planes, i);
            return nullptr;
        }
    }
    return planes;
}

void aiffFreePlanes(f32** planes, u32 channels) {
    if (!planes) return;
    for (u32 i = 0; i < channels; ++i) std::free(planes[i]);
    std::free(planes);
}
