#include "library/song_scan_work.h"

#include "audio/analysis/beat_cache.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "audio/play/beat_events.h"
#include "core/file_layer.h"
#include "library/song_record.h"
#include "platform/os/os.h"

namespace {

// The decode thread's pause between passes while the scan analyses: the analysis waits on it.
constexpr u32 ANALYSIS_DECODE_INTERVAL_MS = 1;

bool isSongFile(const std::u16string& path, u64* outSize) {
    s32 format = E_CODECFORMAT_NONE;
    if (!findCodecFormatForPath(path.c_str(), &format) || format == E_CODECFORMAT_NONE) return false;
    if (isCodecDisabledForPath(path.c_str())) return false;
    fileSystemLockEnter();
    SOsFile* file = osFileOpenW(path.c_str(), E_OSFILE_READ_EXISTING);
    fileSystemLockLeave();
    if (!file) return false;
    uint64_t size = 0;
    const bool sized = osFileGetSize(file, &size);
    osFileClose(file);
    *outSize = size;
    return sized && size >= SONG_SCAN_MIN_FILE_BYTES;
}

// False once the receiver wants no more.
bool walkFolder(const std::u16string& folder, u32 depth, ScanFoundFn found, void* user) {
    ClArray<SDirectoryEntry> entries;
    const u32 status = listDirectoryW(&entries, folder.c_str(), E_FILEATTR_DIRECTORY | E_FILEATTR_FILE, true);
    std::vector<SScanFoundSong> batch;
    std::vector<std::u16string> subFolders;
    if (status == E_FILESTATUS_OK) {
        for (const SDirectoryEntry& entry : entries) {
            std::u16string path = folder + u'\\' + entry.name;
            if (path.size() >= FILE_PATH_LIMIT) continue;
            if (entry.attributes & E_FILEATTR_DIRECTORY) {
                subFolders.push_back(std::move(path));
                continue;
            }
            SScanFoundSong song{std::move(path), 0, {}};
            if (!isSongFile(song.path, &song.size)) continue;
            readMusicTags(song.path.c_str(), &song.tags);
            batch.push_back(std::move(song));
        }
    }
    entries.release();
    // Called for every folder, even one with no songs, so that the receiver can stop the walk.
    if (!found(&batch, user)) return false;
    if (depth >= SONG_SCAN_MAX_FOLDER_DEPTH) return true;
    for (const std::u16string& sub : subFolders) {
        if (!walkFolder(sub, depth + 1, found, user)) return false;
    }
    return true;
}

s32 spawnTargetSum() {
    s32 sum = 0;
    for (const SSpawnBar& bar : getSongSpawnBars()) sum += bar.spawnTarget;
    return sum;
}

}  // namespace

bool walkMusicFolders(const std::vector<std::u16string>& folders, ScanFoundFn found, void* user) {
    for (const std::u16string& folder : folders) {
        if (!walkFolder(folder, 0, found, user)) return false;
    }
    return true;
}

void analyseSongInBackground(const std::u16string& path, const SSongIdentity& identity,
                             const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT], SScanAnalysedSong* out) {
    *out = SScanAnalysedSong{};
    out->identity = identity;
    // The song clock's reset would also reset the in-game display, which belongs to the main
    // thread: the analysis state is reset part by part instead.
    resetSpectrumAnalysis();
    resetSongFeatures();
    resetBeatAnalysis();
    setDecodeThreadInterval(ANALYSIS_DECODE_INTERVAL_MS);

    s32 result = E_SPECTRUM_RESULT_NONE;
    if (analyseSongSpectrum(path.c_str(), identity, &result, 0, 0)) {
        loadOrAnalyseBeats(path.c_str(), identity, 0);
        out->state = E_SONGSTATE_READY;
        out->duration = g_SpectrumAnalysis.header.duration;
        out->sampleRate = g_SpectrumAnalysis.header.sampleRateF;
        for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
            computeSongFeaturesForRange(ranges[level]);
            out->levelSpawnTargets[level] = spawnTargetSum();
        }
    } else {
        out->state = E_SONGSTATE_FAILED;
        out->failure = result != E_SPECTRUM_RESULT_NONE ? u32(result) : u32(E_SONGFAIL_UNDECODABLE);
    }

    resetDecodeThreadInterval();
    releaseSongFeatures();
    releaseBeatAnalysis();
    resetSpectrumAnalysis();
}
