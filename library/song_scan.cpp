#include "library/song_scan.h"

#include "audio/decode/codec_registry.h"
#include "core/crit_section_pool.h"
#include "library/music_folders.h"
#include "library/song_library.h"
#include "library/song_scan_work.h"
#include "platform/os/os.h"

#include <atomic>
#include <cstdio>
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
// Set while an analysis runs: only an analysis uses the global analysis state that play needs.
std::atomic<bool> s_analysing{false};
ClEvent s_wake(false, false);
ClEvent s_idle(true, true);
ClEvent s_ended(true, false);
ClThread s_thread;
SSpawnBarRange s_ranges[DIFFICULTY_LEVEL_COUNT];

// Main thread only.
bool s_started = false;
bool s_paused = true;
bool s_walkRequested = false;
bool s_walking = false;
// Counts the walks issued; a record found by the current one carries its number.
u32 s_walkNumber = 0;

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
            s_shared.analysed.push_back(std::move(result));
            critSectionLeave(s_shared.lock);
            s_analysing = false;
        }
        critSectionEnter(s_shared.lock);
        s_shared.request = E_SCANREQ_NONE;
        critSectionLeave(s_shared.lock);
        s_busy = false;
        s_idle.set();
    }
    s_busy = false;
    s_idle.set();
    s_ended.set();
}

void issue(u32 request) {
    s_busy = true;
    s_analysing = request == E_SCANREQ_ANALYSE;
    s_idle.reset();
    critSectionEnter(s_shared.lock);
    s_shared.request = request;
    critSectionLeave(s_shared.lock);
    s_wake.set();
}

void replaceBossPendingIdentity(const SSongIdentity& from, const SSongIdentity& to) {
    u32* pending = g_SongLibrary.boss.pendingIdentity;
    if (std::memcmp(pending, from.bytes, SONG_IDENTITY_BYTES) == 0) std::memcpy(pending, to.bytes, SONG_IDENTITY_BYTES);
}

void takeFoundSong(SScanFoundSong& found) {
    SSongRecord* song = getSongRecord(findSongIndexByPath(found.path));
    if (!song) {
        g_SongLibrary.songs.push_back(makeSongRecord(found.path, found.size));
        song = &g_SongLibrary.songs.back();
    } else if (song->fileSize != found.size && song->state != E_SONGSTATE_ANALYSING) {
        // The file at the path changed (its tags were rewritten, or another song took its
        // name): it is analysed again as a new file, and what the player earned stays only when
        // the analysis finds the same music (takeAnalysedSong).
        const SSongIdentity previous = song->identity;
        makeSongIdentity(found.path, found.size, &song->identity);
        replaceBossPendingIdentity(previous, song->identity);
        song->fileSize = found.size;
        if (song->state == E_SONGSTATE_READY) song->progressToConfirm = true;
        song->state = E_SONGSTATE_PENDING;
        song->failure = E_SONGFAIL_NONE;
    }
    if (found.failure != E_SONGFAIL_NONE && song->state != E_SONGSTATE_ANALYSING) {
        song->state = E_SONGSTATE_FAILED;
        song->failure = found.failure;
    } else if (song->state == E_SONGSTATE_FAILED && song->failure == E_SONGFAIL_CANNOT_OPEN) {
        // It could not be opened before and can now: analysed again.
        song->state = E_SONGSTATE_PENDING;
        song->failure = E_SONGFAIL_NONE;
    }
    song->missing = false;
    song->lastWalk = s_walkNumber;
    song->title = std::move(found.tags.title);
    song->artist = std::move(found.tags.artist);
    song->album = std::move(found.tags.album);
}

bool hasBestScore(const SSongRecord& song) {
    for (s32 best : song.bestScores) {
        if (best > 0) return true;
    }
    return false;
}

// A song found at a new path whose music is that of a record whose file has gone (the file was
// renamed or moved): the old record takes the new file, keeping what the player earned, and the
// new record goes. The old record keeps its place in the list.
void followMovedSong(size_t index) {
    std::vector<SSongRecord>& songs = g_SongLibrary.songs;
    SSongRecord& found = songs[index];
    if (found.state != E_SONGSTATE_READY || hasBestScore(found)) return;
    const SSongAudioIdentity audio = getSongAudioIdentity(found);
    for (size_t i = 0; i < songs.size(); ++i) {
        SSongRecord& old = songs[i];
        if (i == index || !old.missing || old.state != E_SONGSTATE_READY) continue;
        if (!isSameSongAudio(getSongAudioIdentity(old), audio)) continue;
        replaceBossPendingIdentity(old.identity, found.identity);
        copySongProgress(old, &found);
        old = std::move(found);
        songs.erase(songs.begin() + std::ptrdiff_t(index));
        return;
    }
}

void takeAnalysedSong(SScanAnalysedSong& analysed) {
    SSongRecord* song = findSongByIdentity(analysed.identity);
    if (!song) return;
    song->state = analysed.state;
    song->failure = analysed.failure;
    // A failed analysis tells nothing of the music: what an earlier one found is kept, and so is
    // the progress still to be confirmed (the file may be mended).
    if (analysed.state != E_SONGSTATE_READY) return;
    if (song->progressToConfirm) {
        const SSongAudioIdentity now = {analysed.duration, analysed.sampleRate, analysed.levelSpawnTargets,
                                        &analysed.fingerprint};
        // Another song now has the path: nothing of the old one is kept.
        if (!isSameSongAudio(getSongAudioIdentity(*song), now)) clearSongProgress(song);
        song->progressToConfirm = false;
    }
    song->duration = analysed.duration;
    song->sampleRate = analysed.sampleRate;
    std::memcpy(song->levelSpawnTargets, analysed.levelSpawnTargets, sizeof(song->levelSpawnTargets));
    song->fingerprint = std::move(analysed.fingerprint);
    followMovedSong(size_t(song - g_SongLibrary.songs.data()));
}

// After a whole walk: a record it did not find has lost its file.
void markMissingSongs() {
    for (SSongRecord& song : g_SongLibrary.songs) song.missing = song.lastWalk != s_walkNumber;
}

SSongRecord* firstPendingSong() {
    for (SSongRecord& song : g_SongLibrary.songs) {
        if (song.state == E_SONGSTATE_PENDING && !song.missing) return &song;
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
    s_analysing = false;
    s_idle.set();
    s_ended.reset();
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
    if (s_ended.wait(SONG_SCAN_STOP_LIMIT_MS) != E_OSWAIT_SIGNALLED) {
        // Held in a system call (a stalled mount): it is left to the process's exit, with the
        // state it shares.
        std::fprintf(stderr, "velodrix: the song scan did not stop; it is left running\n");
        s_thread.detach();
        s_shared.lock = nullptr;
        s_started = false;
        s_walking = false;
        return;
    }
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
    for (SScanAnalysedSong& song : analysed) takeAnalysedSong(song);
    if (walkDone && !walkWasCut) markMissingSongs();
    if (walkDone) s_walking = false;
    if (walkWasCut) s_walkRequested = true;

    if (s_paused || s_busy || !isCodecRegistryReady()) return;
    if (s_walkRequested) {
        s_walkRequested = false;
        s_walking = true;
        ++s_walkNumber;
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

bool waitForSongScanIdle() {
    const u32 start = osTickCount();
    while (s_busy) {
        if (osTerminationRequested()) break;
        // A walk cut by the pause ends after its folder and shares nothing play needs: only an
        // analysis is waited for to the limit.
        const u32 limit = s_analysing ? SONG_SCAN_IDLE_LIMIT_MS : SONG_SCAN_WALK_WAIT_MS;
        if (osTickCount() - start >= limit) break;
        s_idle.wait(IDLE_WAIT_MS, true);
    }
    return !s_analysing;
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
