#include "audio/analysis/beat_cache.h"

#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/tempo_search.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/package_format.h"
#include "core/string_helpers.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char BEAT_CACHE_MAGIC[4] = {'B', 'S', 'Y', 'M'};

// Records are copied between memory and the file as they stand.
static_assert(std::endian::native == std::endian::little, "the beat cache's words are little-endian");

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
    storeLe32(block + 4, BEAT_CACHE_VERSION);
    if (beats.count != 0) std::memcpy(block + BEAT_CACHE_HEAD_BYTES, beats.data, size_t(beats.count) * BEAT_CACHE_RECORD_BYTES);
    *outBlock = block;
    *outSize = u32(size);
    return true;
}

bool validateBeatCacheImage(const u8* image, u32 size, f32 songSeconds, u32* outCount) {
    if (size <= BEAT_CACHE_MIN_SIZE_EXCLUDED) return false;
    if (std::memcmp(image, BEAT_CACHE_MAGIC, 4) != 0 || loadLe32(image + 4) != BEAT_CACHE_VERSION) return false;
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
    u8* image = nullptr;
    u32 size = 0;
    if (!g_aSongBeats.inUse || !buildBeatCacheImage(g_aSongBeats, &image, &size)) return;
    writeSongCacheFile(identity, BEAT_CACHE_NAME_SALT, BEAT_CACHE_EXTENSION, image, size);
    std::free(image);
}

s32 readBeatCache(const char16_t* /*path*/, const SSongIdentity& identity) {
    u8* image = nullptr;
    u32 size = 0;
    if (!readSongCacheFile(identity, BEAT_CACHE_NAME_SALT, BEAT_CACHE_EXTENSION, &image, &size)) return 0;
    u32 count = 0;
    if (!validateBeatCacheImage(image, size, currentSongSeconds(), &count)) {
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
    // Asked to stop: the beats are left for the next analysis.
    if (isSongAnalysisStopRequested()) return 1;
    analyseBeats();
    writeBeatCache(songPath, identity);
    return 1;
}
