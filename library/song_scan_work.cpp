#include "library/song_scan_work.h"

#include "audio/analysis/beat_cache.h"
#include "audio/analysis/song_fingerprint.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "audio/play/beat_events.h"
#include "core/file_layer.h"
#include "library/song_record.h"
#include "platform/os/os.h"

#include <cstdio>
#include <set>
#include <utility>

namespace {

// The decode thread's pause between passes while the scan analyses: the analysis waits on it.
constexpr u32 ANALYSIS_DECODE_INTERVAL_MS = 1;

// The device and inode of what the walk has taken already.
using SeenSet = std::set<std::pair<u64, u64>>;

bool hasSongExtension(const std::u16string& path) {
    s32 format = E_CODECFORMAT_NONE;
    if (!findCodecFormatForPath(path.c_str(), &format) || format == E_CODECFORMAT_NONE) return false;
    return !isCodecDisabledForPath(path.c_str());
}

// Opens the file (never waiting: only a regular file opens) to tell whether it can be read.
bool canOpen(const std::u16string& path) {
    fileSystemLockEnter();
    SOsFile* file = osFileOpenW(path.c_str(), E_OSFILE_READ_EXISTING);
    fileSystemLockLeave();
    if (!file) return false;
    osFileClose(file);
    return true;
}

struct SFolderEntry {
    std::u16string name;
    SOsFindData data;
};

// A file or folder the walk could not read, on standard error.
void logCannot(const char* what, const std::u16string& path, u32 error) {
    std::fprintf(stderr, "velodrix: song scan: cannot %s \"%s\": %s\n", what,
                 osWideToUtf8(osReadableText(path).c_str()).c_str(), osErrorText(error).c_str());
}

// The folder's entries without "." and "..", as many as could be listed: `unreadable` tells
// whether the listing failed for another reason than the folder's absence.
std::vector<SFolderEntry> listFolder(const std::u16string& folder, bool* unreadable) {
    std::vector<SFolderEntry> entries;
    SOsFindData data;
    const std::u16string pattern = folder + u"\\*";
    SOsFind* find = osFindFirst(pattern.c_str(), &data);
    if (find) {
        do {
            const std::u16string name(data.name);
            if (name == u"." || name == u"..") continue;
            entries.push_back({name, data});
        } while (osFindNext(find, &data));
    }
    const u32 error = osLastError();
    if (find) osFindClose(find);
    *unreadable = error != E_OSERR_NO_MORE_FILES && error != E_OSERR_NOT_FOUND;
    if (*unreadable) logCannot("read folder", folder, error);
    return entries;
}

// The caches are written after the analysis has read the file: a change in the same tick of
// the system's clock counts as later.
bool changedSinceAnalysis(const std::u16string& path, u64 size, u64 changeTime) {
    SSongIdentity identity;
    makeSongIdentity(path, size, &identity);
    u64 written = 0;
    return spectralCacheWriteTime(identity, &written) && changeTime >= written;
}

struct SWalk {
    SeenSet seen;
    ScanFoundFn found;
    void* user;
    const std::atomic<bool>* stop;

    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

// False once the receiver wants no more, or a stop is asked for.
bool walkFolder(const std::u16string& folder, u32 depth, SWalk* walk) {
    SScanFolder found{folder, false, {}};
    std::vector<std::u16string> subFolders;
    SeenSet* seen = &walk->seen;
    for (const SFolderEntry& entry : listFolder(folder, &found.unreadable)) {
        if (walk->stopped()) return false;
        std::u16string path = folder + u'\\' + entry.name;
        if (path.size() >= FILE_PATH_LIMIT) continue;
        const SOsFindData& data = entry.data;
        if (data.attributes & E_OSATTR_SPECIAL) continue;
        const bool known = data.device != 0 || data.inode != 0;
        if (data.attributes & E_OSATTR_DIRECTORY) {
            if (!known || seen->insert({data.device, data.inode}).second) subFolders.push_back(std::move(path));
            continue;
        }
        if (data.size < SONG_SCAN_MIN_FILE_BYTES || !hasSongExtension(path)) continue;
        if (known && !seen->insert({data.device, data.inode}).second) continue;
        SScanFoundSong song{std::move(path), data.size, {}, E_SONGFAIL_NONE, false};
        song.changedSinceAnalysis = changedSinceAnalysis(song.path, data.size, data.changeTime);
        if (canOpen(song.path)) {
            readMusicTags(song.path.c_str(), &song.tags, walk->stop);
        } else {
            song.failure = E_SONGFAIL_CANNOT_OPEN;
            logCannot("open", song.path, osLastError());
        }
        found.songs.push_back(std::move(song));
    }
    // A tag read cut short by the stop left its song without tags.
    if (walk->stopped()) return false;
    // Called for every folder, even one with no songs, so that the receiver can stop the walk.
    if (!walk->found(&found, walk->user)) return false;
    if (depth >= SONG_SCAN_MAX_FOLDER_DEPTH) return true;
    for (const std::u16string& sub : subFolders) {
        if (!walkFolder(sub, depth + 1, walk)) return false;
    }
    return true;
}

s32 spawnTargetSum() {
    s32 sum = 0;
    for (const SSpawnBar& bar : getSongSpawnBars()) sum += bar.spawnTarget;
    return sum;
}

}  // namespace

bool walkMusicFolders(const std::vector<std::u16string>& folders, ScanFoundFn found, void* user,
                      const std::atomic<bool>* stop) {
    SWalk walk{{}, found, user, stop};
    for (const std::u16string& folder : folders) {
        u64 device = 0, inode = 0;
        if (osPathIdentityW(folder.c_str(), &device, &inode) && !walk.seen.insert({device, inode}).second) continue;
        if (!walkFolder(folder, 0, &walk)) return false;
    }
    return true;
}

bool analyseSongInBackground(const std::u16string& path, const SSongIdentity& identity, bool afresh,
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
    const bool analysed = analyseSongSpectrum(path.c_str(), identity, &result, 0, afresh ? 1 : 0);
    if (analysed) loadOrAnalyseBeats(path.c_str(), identity, afresh ? 1 : 0);
    // Asked to stop, it has found out nothing: the song stays as it was, to be analysed again.
    const bool stopped = isSongAnalysisStopRequested();
    if (!stopped && analysed) {
        out->state = E_SONGSTATE_READY;
        out->duration = spectrumAnalysis().header.duration;
        out->sampleRate = spectrumAnalysis().header.sampleRateF;
        for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
            computeSongFeaturesForRange(ranges[level]);
            out->levelSpawnTargets[level] = spawnTargetSum();
        }
        u32 length = 0;
        const u8* fingerprint = getSongFeatureBuffer(&length);
        if (fingerprint && length <= SONG_FINGERPRINT_MAX_BYTES) out->fingerprint.assign(fingerprint, fingerprint + length);
    } else if (!stopped) {
        out->state = E_SONGSTATE_FAILED;
        out->failure = result != E_SPECTRUM_RESULT_NONE ? u32(result) : u32(E_SONGFAIL_UNDECODABLE);
    }

    resetDecodeThreadInterval();
    releaseSongFeatures();
    releaseBeatAnalysis();
    resetSpectrumAnalysis();
    return !stopped;
}
