#include "library/song_scan.h"

#include "audio/decode/codec_registry.h"
#include "core/crit_section_pool.h"
#include "library/music_folders.h"
#include "library/song_library.h"
#include "library/song_scan_work.h"
#include "platform/os/os.h"

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr u32 IDLE_WAIT_MS = 16;

enum EScanRequest : u32 {
    E_SCANREQ_NONE,
    E_SCANREQ_WALK,
    E_SCANREQ_ANALYSE,
};

// Shared with the thread under `lock`, except the atomic busy flag.
struct SScanShared {
    SCritSection* lock = nullptr;
    u32 request = E_SCANREQ_NONE;
    std::vector<std::u16string> walkFolders;
    std::u16string analysePath;
    SSongIdentity analyseIdentity{};
    bool stop = false;
    std::vector<SScanFoundSong> found;
    std::vector<SScanAnalysedSong> analysed;
    bool walkDone = false;
    // Set by a pause: the walk stops after the folder it is in, and is asked for again.
    bool cutWalk = false;
    bool walkWasCut = false;
};

SScanShared s_shared;
std::atomic<bool> s_busy{false};
ClEvent s_wake(false, false);
ClEvent s_idle(true, true);
ClThread s_thread;
SSpawnBarRange s_ranges[DIFFICULTY_LEVEL_COUNT];

// Main thread only.
bool s_started = false;
bool s_paused = true;
bool s_walkRequested = false;
bool s_walking = false;

bool handOverFound(std::vector<SScanFoundSong>* batch, void*) {
    critSectionEnter(s_shared.lock);
    for (SScanFoundSong& song : *batch) s_shared.found.push_back(std::move(song));
    const bool goOn = !s_shared.stop && !s_shared.cutWalk;
    critSectionLeave(s_shared.lock);
    batch->clear();
    return goOn;
}

void scanThreadMain(void*) {
    for (;;) {
        s_wake.wait(OS_INFINITE);
        critSectionEnter(s_shared.lock);
        const bool stop = s_shared.stop;
        const u32 request = s_shared.request;
        std::vector<std::u16string> folders = std::move(s_shared.walkFolders);
        const std::u16string path = s_shared.analysePath;
        const SSongIdentity identity = s_shared.analyseIdentity;
        critSectionLeave(s_shared.lock);
        if (stop) break;
        if (request == E_SCANREQ_NONE) continue;

        if (request == E_SCANREQ_WALK) {
            if (!walkMusicFolders(folders, handOverFound, nullptr)) {
                critSectionEnter(s_shared.lock);
                s_shared.walkWasCut = true;
                critSectionLeave(s_shared.lock);
            }
            critSectionEnter(s_shared.lock);
            s_shared.walkDone = true;
            critSectionLeave(s_shared.lock);
        } else {
            SScanAnalysedSong result;
            analyseSongInBackground(path, identity, s_ranges, &result);
            critSectionEnter(s_shared.lock);
            s_shared.analysed.push_back(result);
            critSectionLeave(s_shared.lock);
        }
        critSectionEnter(s_shared.lock);
        s_shared.request = E_SCANREQ_NONE;
        critSectionLeave(s_shared.lock);
        s_busy = false;
        s_idle.set();
    }
    s_busy = false;
    s_idle.set();
}

void issue(u32 request) {
    s_busy = true;
    s_idle.reset();
    critSectionEnter(s_shared.lock);
    s_shared.request = request;
    critSectionLeave(s_shared.lock);
    s_wake.set();
}

void takeFoundSong(SScanFoundSong& found) {
    SSongRecord* song = getSongRecord(findSongIndexByPath(found.path));
    if (!song) {
        g_SongLibrary.songs.push_back(makeSongRecord(found.path, found.size));
        song = &g_SongLibrary.songs.back();
    } else if (song->fileSize != found.size && song->state != E_SONGSTATE_ANALYSING) {
        // Another file now has the path: a new song, with nothing of the old one kept.
        *song = makeSongRecord(found.path, found.size);
    }
    song->title = std::move(found.tags.title);
    song->artist = std::move(found.tags.artist);
    song->album = std::move(found.tags.album);
}

void takeAnalysedSong(const SScanAnalysedSong& analysed) {
    SSongRecord* song = findSongByIdentity(analysed.identity);
    if (!song) return;
    song->state = analysed.state;
    song->failure = analysed.failure;
    song->duration = analysed.duration;
    song->sampleRate = analysed.sampleRate;
    std::memcpy(song->levelSpawnTargets, analysed.levelSpawnTargets, sizeof(song->levelSpawnTargets));
}

SSongRecord* firstPendingSong() {
    for (SSongRecord& song : g_SongLibrary.songs) {
        if (song.state == E_SONGSTATE_PENDING) return &song;
    }
    return nullptr;
}

}  // namespace

void startSongScan() {
    SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT];
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) ranges[level] = readSpawnBarRange(level);
    startSongScanWithRanges(ranges);
}

void startSongScanWithRanges(const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT]) {
    if (s_started) return;
    std::memcpy(s_ranges, ranges, sizeof(s_ranges));
    s_shared.lock = critSectionCreateOrDie("song scan");
    s_shared.stop = false;
    s_shared.request = E_SCANREQ_NONE;
    s_busy = false;
    s_idle.set();
    s_paused = true;
    s_walkRequested = true;
    s_walking = false;
    s_started = s_thread.start(scanThreadMain, nullptr, "song scan");
    if (!s_started) {
        critSectionDestroy(s_shared.lock);
        s_shared.lock = nullptr;
    }
}

void stopSongScan() {
    if (!s_started) return;
    critSectionEnter(s_shared.lock);
    s_shared.stop = true;
    critSectionLeave(s_shared.lock);
    s_wake.set();
    s_thread.join();
    critSectionDestroy(s_shared.lock);
    s_shared = SScanShared{};
    // A song cut off before its analysis was handed over is analysed again next time.
    for (SSongRecord& song : g_SongLibrary.songs) {
        if (song.state == E_SONGSTATE_ANALYSING) song.state = E_SONGSTATE_PENDING;
    }
    s_started = false;
    s_walking = false;
}

void songScanTick() {
    if (!s_started) return;
    std::vector<SScanFoundSong> found;
    std::vector<SScanAnalysedSong> analysed;
    critSectionEnter(s_shared.lock);
    found.swap(s_shared.found);
    analysed.swap(s_shared.analysed);
    const bool walkDone = std::exchange(s_shared.walkDone, false);
    const bool walkWasCut = walkDone && std::exchange(s_shared.walkWasCut, false);
    critSectionLeave(s_shared.lock);

    for (SScanFoundSong& song : found) takeFoundSong(song);
    for (const SScanAnalysedSong& song : analysed) takeAnalysedSong(song);
    if (walkDone) s_walking = false;
    if (walkWasCut) s_walkRequested = true;

    if (s_paused || s_busy || !isCodecRegistryReady()) return;
    if (s_walkRequested) {
        s_walkRequested = false;
        s_walking = true;
        std::vector<std::u16string> folders = collectScanFolders();
        critSectionEnter(s_shared.lock);
        s_shared.walkFolders = std::move(folders);
        s_shared.cutWalk = false;
        critSectionLeave(s_shared.lock);
        issue(E_SCANREQ_WALK);
        return;
    }
    SSongRecord* song = firstPendingSong();
    if (!song) return;
    song->state = E_SONGSTATE_ANALYSING;
    critSectionEnter(s_shared.lock);
    s_shared.analysePath = song->path;
    s_shared.analyseIdentity = song->identity;
    critSectionLeave(s_shared.lock);
    issue(E_SCANREQ_ANALYSE);
}

void waitForSongScanIdle() {
    while (s_busy) s_idle.wait(IDLE_WAIT_MS, true);
}

void pauseSongScanRequests() {
    s_paused = true;
    if (!s_started) return;
    critSectionEnter(s_shared.lock);
    s_shared.cutWalk = true;
    critSectionLeave(s_shared.lock);
}
void resumeSongScanRequests() { s_paused = false; }
bool areSongScanRequestsPaused() { return s_paused; }
bool isSongScanBusy() { return s_busy; }
void requestSongRescan() { s_walkRequested = true; }
bool isSongScanWalking() { return s_walking || s_walkRequested; }
