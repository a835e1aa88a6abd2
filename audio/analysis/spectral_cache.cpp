#include "audio/analysis/spectral_cache.h"

#include "audio/analysis/spectrum_geometry.h"
#include "core/digest.h"
#include "core/directories.h"
#include "core/encoders.h"
#include "core/file_layer.h"
#include "core/package_format.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char16_t* SAVE_FOLDER = u"SAVEDATA\\";
constexpr const char* CACHE_NAME_PREFIX = "VelodrixCache_";
constexpr u32 CACHE_PATH_CAPACITY = 768;
constexpr u32 IMAGE_ALIGNMENT = 32;
// Word indices of the 17-word head.
enum ESpectralCacheWord : u32 {
    W_MAGIC = 0,
    W_VERSION,
    W_WINDOW,
    W_TRANSFORM,
    W_HOP,
    W_RATE,
    W_NYQUIST,
    W_FRAME_DURATION,
    W_CHANNELS,
    W_BYTES_PER_SAMPLE,
    W_FRAME_COUNT,
    W_TABLE_OFFSET,
    W_LOADED_FROM_CACHE,
    W_BAND_COUNT,
    W_RESERVED,
    W_DURATION,
    W_RATE_F,
    W_COUNT,
};
static_assert(W_COUNT * 4 == SPECTRAL_CACHE_HEADER_BYTES, "the head is 17 words");

// Loaded rows are read in place as f32.
static_assert(std::endian::native == std::endian::little, "the cache's words are little-endian");

constexpr char SPECTRAL_CACHE_MAGIC[4] = {'S', 'D', 'F', 'T'};

void putFloat(u8* at, f32 value) {
    u32 bits;
    std::memcpy(&bits, &value, 4);
    storeLe32(at, bits);
}
f32 getFloat(const u8* at) {
    const u32 bits = loadLe32(at);
    f32 value;
    std::memcpy(&value, &bits, 4);
    return value;
}
u32 headWord(const u8* image, u32 word) { return loadLe32(image + 4u * word); }
f32 headFloat(const u8* image, u32 word) { return getFloat(image + 4u * word); }

bool sameBits(f32 a, f32 b) { return std::memcmp(&a, &b, 4) == 0; }

}  // namespace

void buildSongCacheNamePart(const SSongIdentity& identity, u32 nameSalt, char out[SONG_CACHE_NAME_PART_LENGTH + 1]) {
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, identity.bytes, SONG_IDENTITY_BYTES, nameSalt);
    char* text = nullptr;
    encodeBase64(digest, DIGEST_SIZE, &text, '_', '_', '_');
    std::memcpy(out, text, SONG_CACHE_NAME_PART_LENGTH);
    out[SONG_CACHE_NAME_PART_LENGTH] = '\0';
    std::free(text);
}

bool buildSongCachePath(const SSongIdentity& identity, u32 nameSalt, const char* extension, char16_t* out,
                        u32 capacity) {
    char name[SONG_CACHE_NAME_PART_LENGTH + 1];
    buildSongCacheNamePart(identity, nameSalt, name);
    bool fits = wstrCopyN(out, getUserDataDirW(), capacity) == E_TEXTCOPY_COMPLETE;
    fits = fits && wstrAppendN(out, SAVE_FOLDER, capacity) == E_TEXTCOPY_COMPLETE;
    fits = fits && wstrAppendNarrowN(out, CACHE_NAME_PREFIX, capacity) == E_TEXTCOPY_COMPLETE;
    fits = fits && wstrAppendNarrowN(out, name, capacity) == E_TEXTCOPY_COMPLETE;
    fits = fits && wstrAppendNarrowN(out, ".", capacity) == E_TEXTCOPY_COMPLETE;
    fits = fits && wstrAppendNarrowN(out, extension, capacity) == E_TEXTCOPY_COMPLETE;
    if (!fits) {
        if (capacity > 0) out[0] = u'\0';
        return false;
    }
    toBackslashesW(out);
    return true;
}

void writeSongCacheFile(const SSongIdentity& identity, u32 nameSalt, const char* extension, const u8* image,
                        u32 size) {
    char16_t path[CACHE_PATH_CAPACITY];
    if (!buildSongCachePath(identity, nameSalt, extension, path, CACHE_PATH_CAPACITY)) return;
    if (createSaveDataDir()) writeWholeFileW(path, image, size);
}

bool spectralCacheWriteTime(const SSongIdentity& identity, u64* outTime) {
    char16_t path[CACHE_PATH_CAPACITY];
    uint64_t time = 0;
    if (!buildSongCachePath(identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, path, CACHE_PATH_CAPACITY) ||
        !osPathWriteTimeW(path, &time))
        return false;
    *outTime = time;
    return true;
}

bool readSongCacheFile(const SSongIdentity& identity, u32 nameSalt, const char* extension, u8** outImage,
                       u32* outSize) {
    char16_t cachePath[CACHE_PATH_CAPACITY];
    if (!buildSongCachePath(identity, nameSalt, extension, cachePath, CACHE_PATH_CAPACITY)) return false;
    if (!fileExistsW(cachePath)) return false;

    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    if (openDiskFileW(cachePath, &size, &slot) != 0) return false;
    u8* image = static_cast<u8*>(std::aligned_alloc(IMAGE_ALIGNMENT, (size_t(size) + IMAGE_ALIGNMENT - 1) &
                                                                         ~size_t(IMAGE_ALIGNMENT - 1)));
    if (image == nullptr) {
        closeDiskFile(slot);
        return false;
    }
    const bool read = readDiskFileBlocking(slot, 0, size, image) == 0;
    closeDiskFile(slot);
    if (!read) {
        std::free(image);
        return false;
    }
    *outImage = image;
    *outSize = size;
    return true;
}

void songIdentityFromPath(const char16_t* path, SSongIdentity* out) {
    std::string utf8 = osWideToUtf8(path);
    for (char& c : utf8) {
        if (c == '/') c = '\\';
    }
    computeDigestWithValue(out->bytes, utf8.data(), static_cast<u32>(utf8.size()), 0);
}

namespace {

// Bytes of a file of F frames of B bands.
u64 spectralCacheFileSize(u32 frameCount, u32 bandCount) {
    return u64(SPECTRAL_CACHE_HEADER_BYTES) + 4ull * frameCount + 4ull * bandCount * frameCount +
           SPECTRAL_CACHE_TRAILER_BYTES;
}

// Bytes of the block that holds a file of F frames of B bands and its trailer.
size_t spectralCacheBlockBytes(u64 fileSize) {
    return (size_t(fileSize) + IMAGE_ALIGNMENT - 1u) & ~size_t(IMAGE_ALIGNMENT - 1u);
}

// Everything of the file but the band values into content: the head, the frame table and the
// trailer after the content's contentSize bytes (the band values must be in place by then).
void completeSpectralCacheImage(const SSpectrumHeader& header, u8* content, u32 contentSize) {
    const u32 frames = header.frameCount;
    const u32 bands = header.bandCount;
    std::memcpy(content, SPECTRAL_CACHE_MAGIC, 4);
    storeLe32(content + 4u * W_VERSION, SPECTRAL_CACHE_VERSION);
    storeLe32(content + 4u * W_WINDOW, header.windowLength);
    storeLe32(content + 4u * W_TRANSFORM, header.transformSize);
    storeLe32(content + 4u * W_HOP, header.hop);
    storeLe32(content + 4u * W_RATE, header.sampleRate);
    storeLe32(content + 4u * W_NYQUIST, header.nyquist);
    putFloat(content + 4u * W_FRAME_DURATION, header.frameDuration);
    storeLe32(content + 4u * W_CHANNELS, header.channels);
    storeLe32(content + 4u * W_BYTES_PER_SAMPLE, header.bytesPerSample);
    storeLe32(content + 4u * W_FRAME_COUNT, frames);
    storeLe32(content + 4u * W_TABLE_OFFSET, SPECTRAL_CACHE_HEADER_BYTES);
    storeLe32(content + 4u * W_LOADED_FROM_CACHE, header.loadedFromCache);
    storeLe32(content + 4u * W_BAND_COUNT, bands);
    storeLe32(content + 4u * W_RESERVED, 0);
    putFloat(content + 4u * W_DURATION, header.duration);
    putFloat(content + 4u * W_RATE_F, header.sampleRateF);

    const u32 valuesStart = SPECTRAL_CACHE_HEADER_BYTES + 4u * frames;
    u8* table = content + SPECTRAL_CACHE_HEADER_BYTES;
    for (u32 i = 0; i < frames; ++i) storeLe32(table + 4u * i, valuesStart + 4u * bands * i);
    computeDigestWithValue(content + contentSize, content, contentSize, SPECTRAL_CACHE_TRAILER_VALUE);
}

// The content size of the file for the header; 0 when it holds no frames or bands or the file
// would reach 4 GiB.
u32 spectralCacheContentSize(const SSpectrumHeader& header) {
    if (header.frameCount == 0 || header.bandCount == 0 || header.bandCount > SPECTRUM_MAX_BANDS) return 0;
    const u64 fileSize = spectralCacheFileSize(header.frameCount, header.bandCount);
    if (fileSize >= (u64(1) << 32)) return 0;
    return static_cast<u32>(fileSize) - SPECTRAL_CACHE_TRAILER_BYTES;
}

}  // namespace

bool buildSpectralCacheImage(const SSpectrumHeader& header, u8** outBlock, u32* outSize) {
    *outBlock = nullptr;
    *outSize = 0;
    const u32 contentSize = spectralCacheContentSize(header);
    if (contentSize == 0 || header.bandValues == nullptr) return false;
    // The trailer is written in place after the content, so the image is never copied.
    u8* content = static_cast<u8*>(
        std::aligned_alloc(IMAGE_ALIGNMENT, spectralCacheBlockBytes(u64(contentSize) + SPECTRAL_CACHE_TRAILER_BYTES)));
    if (content == nullptr) return false;
    u8* values = content + SPECTRAL_CACHE_HEADER_BYTES + 4u * header.frameCount;
    const size_t valueCount = size_t(header.frameCount) * header.bandCount;
    for (size_t i = 0; i < valueCount; ++i) putFloat(values + 4u * i, header.bandValues[i]);
    completeSpectralCacheImage(header, content, contentSize);
    *outBlock = content;
    *outSize = contentSize + SPECTRAL_CACHE_TRAILER_BYTES;
    return true;
}

u8* allocateSpectralCacheBlock(u32 frameCount, u32 bandCount, f32** outBandValues) {
    *outBandValues = nullptr;
    if (frameCount == 0 || bandCount == 0) return nullptr;
    const u64 fileSize = spectralCacheFileSize(frameCount, bandCount);
    if (fileSize >= (u64(1) << 32)) return nullptr;
    u8* block = static_cast<u8*>(std::aligned_alloc(IMAGE_ALIGNMENT, spectralCacheBlockBytes(fileSize)));
    if (block == nullptr) return nullptr;
    *outBandValues = reinterpret_cast<f32*>(block + SPECTRAL_CACHE_HEADER_BYTES + 4u * frameCount);
    return block;
}

bool validateSpectralCacheImage(const u8* image, u32 size, SSpectrumHeader* outHeader) {
    if (image == nullptr) return false;
    if (!verifyTrailingDigest(image, size, SPECTRAL_CACHE_TRAILER_VALUE)) return false;
    if (size <= 9 || size < SPECTRAL_CACHE_HEADER_BYTES + SPECTRAL_CACHE_TRAILER_BYTES) return false;
    if (std::memcmp(image, SPECTRAL_CACHE_MAGIC, 4) != 0) return false;
    if (headWord(image, W_VERSION) != SPECTRAL_CACHE_VERSION) return false;

    const u32 frames = headWord(image, W_FRAME_COUNT);
    const u32 bands = headWord(image, W_BAND_COUNT);
    if (frames == 0 || bands < 1 || bands > SPECTRUM_MAX_BANDS) return false;
    if (spectralCacheFileSize(frames, bands) != size) return false;
    if (headWord(image, W_TABLE_OFFSET) != SPECTRAL_CACHE_HEADER_BYTES) return false;
    const u32 valuesStart = SPECTRAL_CACHE_HEADER_BYTES + 4u * frames;
    const u8* table = image + SPECTRAL_CACHE_HEADER_BYTES;
    for (u32 i = 0; i < frames; ++i) {
        if (loadLe32(table + 4u * i) != valuesStart + 4u * bands * i) return false;
    }

    SSpectrumGeometry geometry;
    const f32 rateF = headFloat(image, W_RATE_F);
    if (!computeSpectrumGeometry(rateF, &geometry)) return false;
    if (headWord(image, W_RATE) != geometry.sampleRate || headWord(image, W_HOP) != geometry.hop ||
        headWord(image, W_WINDOW) != geometry.windowLength || headWord(image, W_TRANSFORM) != geometry.transformSize ||
        headWord(image, W_NYQUIST) != geometry.nyquist || bands != geometry.bandCount ||
        !sameBits(headFloat(image, W_FRAME_DURATION), geometry.frameDuration))
        return false;
    const u32 channels = headWord(image, W_CHANNELS);
    const u32 bytesPerSample = headWord(image, W_BYTES_PER_SAMPLE);
    if (channels < 1 || channels > 2 || bytesPerSample < 1 || bytesPerSample > 4) return false;
    const f32 duration = headFloat(image, W_DURATION);
    if (!std::isfinite(duration) || !(duration > 0.0f)) return false;

    const u8* values = image + valuesStart;
    const size_t valueCount = size_t(frames) * bands;
    for (size_t i = 0; i < valueCount; ++i) {
        const f32 v = getFloat(values + 4u * i);
        if (!(v >= 0.0f && v <= 1.0f)) return false;
    }

    if (outHeader != nullptr) {
        SSpectrumHeader& h = *outHeader;
        h = SSpectrumHeader{};
        std::memcpy(h.magic, SPECTRAL_CACHE_MAGIC, 4);
        h.version = SPECTRAL_CACHE_VERSION;
        h.windowLength = geometry.windowLength;
        h.transformSize = geometry.transformSize;
        h.hop = geometry.hop;
        h.sampleRate = geometry.sampleRate;
        h.nyquist = geometry.nyquist;
        h.frameDuration = geometry.frameDuration;
        h.channels = channels;
        h.bytesPerSample = bytesPerSample;
        h.frameCount = frames;
        h.loadedFromCache = headWord(image, W_LOADED_FROM_CACHE);
        h.bandCount = bands;
        h.duration = duration;
        h.sampleRateF = rateF;
    }
    return true;
}

void writeSpectrumCache(const char16_t* /*path*/, const SSongIdentity& identity) {
    SSpectrumHeader header = g_SpectrumAnalysis.header;
    std::memcpy(header.magic, SPECTRAL_CACHE_MAGIC, 4);
    header.version = SPECTRAL_CACHE_VERSION;
    g_SpectrumAnalysis.header.version = SPECTRAL_CACHE_VERSION;
    std::memcpy(g_SpectrumAnalysis.header.magic, SPECTRAL_CACHE_MAGIC, 4);

    // Band values in a block laid out as the file (allocateSpectralCacheBlock) are written where
    // they are; on a little-endian machine their bytes are already the file's. A song that came
    // out shorter than its block moves its values down to where its shorter frame table ends.
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    const u32 contentSize = spectralCacheContentSize(header);
    if (std::endian::native == std::endian::little && s.cacheImage != nullptr && header.bandValues != nullptr &&
        contentSize != 0) {
        f32* values = reinterpret_cast<f32*>(s.cacheImage + SPECTRAL_CACHE_HEADER_BYTES + 4u * header.frameCount);
        if (values != header.bandValues) {
            std::memmove(values, header.bandValues, size_t(header.frameCount) * header.bandCount * sizeof(f32));
            s.header.bandValues = values;
        }
        completeSpectralCacheImage(header, s.cacheImage, contentSize);
        writeSongCacheFile(identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, s.cacheImage,
                           contentSize + SPECTRAL_CACHE_TRAILER_BYTES);
        return;
    }
    u8* image = nullptr;
    u32 size = 0;
    if (!buildSpectralCacheImage(header, &image, &size)) return;
    writeSongCacheFile(identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, image, size);
    std::free(image);
}

s32 readSpectrumCache(const char16_t* /*path*/, const SSongIdentity& identity) {
    u8* image = nullptr;
    u32 size = 0;
    if (!readSongCacheFile(identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, &image, &size)) return 0;
    SSpectrumHeader header;
    if (!validateSpectralCacheImage(image, size, &header)) {
        std::free(image);
        return 0;
    }

    releaseSpectrumAnalysis();
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    s.header = header;
    // The rows are referenced in place: the image is 32-byte aligned and every row starts on a
    // 4-byte boundary of it.
    s.header.bandValues = reinterpret_cast<f32*>(image + SPECTRAL_CACHE_HEADER_BYTES + 4u * header.frameCount);
    s.cacheImage = image;
    s.framesPerSecond = header.sampleRate / header.hop;
    return 1;
}
