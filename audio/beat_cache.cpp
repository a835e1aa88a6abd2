#include "audio/beat_cache.h"

#include "audio/spectral_cache.h"
#include "audio/tempo_search.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"
#include "platform/os/rename.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char16_t* TEMPORARY_SUFFIX = u".tmp";
constexpr u32 CACHE_PATH_CAPACITY = 768;
constexpr u32 IMAGE_ALIGNMENT = 32;
constexpr char BEAT_CACHE_MAGIC[4] = {'B', 'S', 'Y', 'M'};

// Records are copied between memory and the file as they stand.
static_assert(std::endian::native == std::endian::little, "the beat cache's words are little-endian");

u32 getWord(const u8* at) {
    return static_cast<u32>(at[0]) | (static_cast<u32>(at[1]) << 8) | (static_cast<u32>(at[2]) << 16) |
           (static_cast<u32>(at[3]) << 24);
}

void putWord(u8* at, u32 value) {
    at[0] = static_cast<u8>(value);
    at[1] = static_cast<u8>(value >> 8);
    at[2] = static_cast<u8>(value >> 16);
    at[3] = static_cast<u8>(value >> 24);
}

f32 recordTime(const u8* record) {
    f32 time;
    std::memcpy(&time, record, sizeof(time));
    return time;
}

f32 currentSongSeconds() {
    const SSpectrumHeader& header = g_SpectrumAnalysis.header;
    return f32(header.frameCount) * header.frameDuration;
}

}  // namespace

bool buildBeatCacheImage(const SBeatArray& beats, u8** outBlock, u32* outSize) {
    const u64 size = u64(BEAT_CACHE_HEAD_BYTES) + u64(beats.count) * BEAT_CACHE_RECORD_BYTES;
    if (size > u64(0xFFFFFFFFu)) return false;
    u8* block = static_cast<u8*>(std::aligned_alloc(16, (size_t(size) + 15) & ~size_t(15)));
    if (!block) return false;
    std::memcpy(block, BEAT_CACHE_MAGIC, 4);
    putWord(block + 4, BEAT_CACHE_VERSION);
    if (beats.count != 0) std::memcpy(block + BEAT_CACHE_HEAD_BYTES, beats.data, size_t(beats.count) * BEAT_CACHE_RECORD_BYTES);
    *outBlock = block;
    *outSize = u32(size);
    return true;
}

bool validateBeatCacheImage(const u8* image, u32 size, f32 songSeconds, u32* outCount) {
    if (size <= BEAT_CACHE_MIN_SIZE_EXCLUDED) return false;
    if (std::memcmp(image, BEAT_CACHE_MAGIC, 4) != 0 || getWord(image + 4) != BEAT_CACHE_VERSION) return false;
    const u32 count = (size - BEAT_CACHE_HEAD_BYTES) / BEAT_CACHE_RECORD_BYTES;
    f32 previous = -1.0f;
    for (u32 i = 0; i < count; ++i) {
        const f32 time = recordTime(image + BEAT_CACHE_HEAD_BYTES + size_t(i) * BEAT_CACHE_RECORD_BYTES);
        // Beats are dispatched and searched in ascending order, and only within the song.
        if (!std::isfinite(time) || time < 0.0f || time <= previous || time > songSeconds) return false;
        previous = time;
    }
    *outCount = count;
    return true;
}

void writeBeatCache(const char16_t* /*path*/, const SSongIdentity& identity) {
    char16_t finalPath[CACHE_PATH_CAPACITY];
    char16_t temporaryPath[CACHE_PATH_CAPACITY];
    if (!buildSongCachePath(identity, BEAT_CACHE_NAME_SALT, BEAT_CACHE_EXTENSION, finalPath, CACHE_PATH_CAPACITY)) {
        return;
    }
    wstrCopyN(temporaryPath, finalPath, CACHE_PATH_CAPACITY);
    if (wstrAppendN(temporaryPath, TEMPORARY_SUFFIX, CACHE_PATH_CAPACITY) != E_TEXTCOPY_COMPLETE) return;

    u8* image = nullptr;
    u32 size = 0;
    if (!g_aSongBeats.inUse || !buildBeatCacheImage(g_aSongBeats, &image, &size)) return;
    if (createSaveDataDir() && writeWholeFileW(temporaryPath, image, size) == 0) {
        fileSystemLockEnter();
        const bool renamed = osRenameFileW(temporaryPath, finalPath);
        fileSystemLockLeave();
        if (!renamed) osDeleteFile(osWideToUtf8(temporaryPath).c_str());
    } else {
        osDeleteFile(osWideToUtf8(temporaryPath).c_str());
    }
    std::free(image);
}

s32 readBeatCache(const char16_t* /*path*/, const SSongIdentity& identity) {
    char16_t cachePath[CACHE_PATH_CAPACITY];
    if (!buildSongCachePath(identity, BEAT_CACHE_NAME_SALT, BEAT_CACHE_EXTENSION, cachePath, CACHE_PATH_CAPACITY)) {
        return 0;
    }
    if (!fileExistsW(cachePath)) return 0;

    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    if (openDiskFileW(cachePath, &size, &slot) != 0) return 0;
    u8* image = static_cast<u8*>(
        std::aligned_alloc(IMAGE_ALIGNMENT, (size_t(size) + IMAGE_ALIGNMENT - 1) & ~size_t(IMAGE_ALIGNMENT - 1)));
    if (!image) {
        closeDiskFile(slot);
        return 0;
    }
    const bool read = readDiskFileBlocking(slot, 0, size, image) == 0;
    closeDiskFile(slot);
    u32 count = 0;
    if (!read || !validateBeatCacheImage(image, size, currentSongSeconds(), &count)) {
        std::free(image);
        return 0;
    }

    if (configHasKey("VISUAL_BEAT_ANALYSIS") || !g_aSongBeats.inUse) emptyBeats(&g_aSongBeats);
    for (u32 i = 0; i < count; ++i) {
        SBeat beat;
        std::memcpy(&beat, image + BEAT_CACHE_HEAD_BYTES + size_t(i) * BEAT_CACHE_RECORD_BYTES, sizeof(beat));
        pushBeat(&g_aSongBeats, beat);
    }
    std::free(image);
    return 1;
}

s32 loadOrAnalyseBeats(const char16_t* path, const SSongIdentity& identity, u32 force) {
    g_iCurrentBeat = 0;
    char16_t songPath[SPECTRUM_PATH_CAPACITY];
    wstrCopyN(songPath, path ? path : u"", SPECTRUM_PATH_CAPACITY);
    toBackslashesW(songPath);

    if (!force && configGetInt("NEVER_CACHE") == 0 && readBeatCache(songPath, identity)) return 1;

    if (!g_SpectrumAnalysis.threeBandEnergies) {
        // Frames loaded from the spectral cache carry no three-band energies: decode again.
        s32 result = 0;
        if (!analyseSongSpectrum(songPath, identity, &result, 0, 1) || !g_SpectrumAnalysis.threeBandEnergies) {
            return 1;
        }
    }
    analyseBeats();
    writeBeatCache(songPath, identity);
    return 1;
}
