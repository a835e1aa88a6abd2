#include "library/song_scan.h"

#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "core/crit_section_pool.h"
#include "library/music_folders.h"
#include "library/song_library.h"
#include "library/song_scan_work.h"
#include "platform/os/os.h"

#include <algorithm>
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
    bool analyseAfresh = false;
    bool stop = false;
    std::vector<SScanFoundSong> found;
    std::vector<std::u16string> unreadable;
    std::vector<SScanAnalysedSong> analysed;
    bool walkDone = false;
    // Set by a pause: the walk stops after the folder it is in, and is asked for again.
    bool cutWalk = false;
    bool walkWasCut = false;
};

SScanShared g_shared;
// Set with g_shared.stop, for the walk to read at each file without the lock.
std::atomic<bool> g_stopping{false};
std::atomic<bool> g_busy{false};
// Set while an analysis runs: only an analysis uses the global analysis state that play needs.
std::atomic<bool> g_analysing{false};
ClEvent g_wake(false, false);
ClEvent g_idle(true, true);
ClEvent g_ended(true, false);
ClThread g_thread;
SSpawnBarRange g_ranges[DIFFICULTY_LEVEL_COUNT];

// Main thread only.
bool g_started = false;
bool g_paused = true;
bool g_walkRequested = false;
bool g_walking = false;
// Counts the walks issued; a record found by the current one carries its number.
u32 g_walkNumber = 0;
// The folders the current walk could not read.
std::vector<std::u16string> g_walkUnreadable;
// What the walk found and the tick has not taken yet, and the walk's end (and whether a pause
// cut it) once its last finding is among them. A tick takes at most FOUND_SONGS_PER_TICK, so
// that a folder of thousands of songs does not hold one frame up.
constexpr size_t FOUND_SONGS_PER_TICK = 500;
std::vector<SScanFoundSong> g_found;
size_t g_foundTaken = 0;
bool g_walkEnded = false;
bool g_walkEndedCut = false;

bool handOverFound(SScanFolder* folder, void*) {
    critSectionEnter(g_shared.lock);
    for (SScanFoundSong& song : folder->songs) g_shared.found.push_back(std::move(song));
    if (folder->unreadable) g_shared.unreadable.push_back(std::move(folder->path));
    const bool goOn = !g_shared.stop && !g_shared.cutWalk;
    critSectionLeave(g_shared.lock);
    return goOn;
}

void scanThreadMain(void*) {
    for (;;) {
        g_wake.wait(OS_INFINITE);
        critSectionEnter(g_shared.lock);
        const bool stop = g_shared.stop;
        const u32 request = g_shared.request;
        std::vector<std::u16string> folders = std::move(g_shared.walkFolders);
        const std::u16string path = g_shared.analysePath;
        const SSongIdentity identity = g_shared.analyseIdentity;
        const bool afresh = g_shared.analyseAfresh;
        critSectionLeave(g_shared.lock);
        if (stop) break;
        if (request == E_SCANREQ_NONE) continue;

        if (request == E_SCANREQ_WALK) {
            if (!walkMusicFolders(folders, handOverFound, nullptr, &g_stopping)) {
                critSectionEnter(g_shared.lock);
                g_shared.walkWasCut = true;
                critSectionLeave(g_shared.lock);
            }
            critSectionEnter(g_shared.lock);
            g_shared.walkDone = true;
            critSectionLeave(g_shared.lock);
        } else {
            SScanAnalysedSong result;
            if (analyseSongInBackground(path, identity, afresh, g_ranges, &result)) {
                critSectionEnter(g_shared.lock);
                g_shared.analysed.push_back(std::move(result));
                critSectionLeave(g_shared.lock);
            }
            g_analysing = false;
        }
        critSectionEnter(g_shared.lock);
        g_shared.request = E_SCANREQ_NONE;
        critSectionLeave(g_shared.lock);
        g_busy = false;
        g_idle.set();
    }
    g_busy = false;
    g_idle.set();
    g_ended.set();
}

void issue(u32 request) {
    g_busy = true;
    g_analysing = request == E_SCANREQ_ANALYSE;
    g_idle.reset();
    critSectionEnter(g_shared.lock);
    g_shared.request = request;
    critSectionLeave(g_shared.lock);
    g_wake.set();
}

void replaceBossPendingIdentity(const SSongIdentity& from, const SSongIdentity& to) {
    u32* pending = g_SongLibrary.boss.pendingIdentity;
    if (std::memcmp(pending, from.bytes, SONG_IDENTITY_BYTES) == 0) std::memcpy(pending, to.bytes, SONG_IDENTITY_BYTES);
}

void exchangeBossPendingIdentity(const SSongIdentity& a, const SSongIdentity& b) {
    u32* pending = g_SongLibrary.boss.pendingIdentity;
    if (std::memcmp(pending, a.bytes, SONG_IDENTITY_BYTES) == 0) {
        std::memcpy(pending, b.bytes, SONG_IDENTITY_BYTES);
    } else if (std::memcmp(pending, b.bytes, SONG_IDENTITY_BYTES) == 0) {
        std::memcpy(pending, a.bytes, SONG_IDENTITY_BYTES);
    }
}

void takeFoundSong(SScanFoundSong& found) {
    s32 index = findSongIndexByPath(found.path);
    if (index < 0) {
        index = addSongRecord(makeSongRecord(found.path, found.size));
    } else if (SSongRecord& song = g_SongLibrary.songs[size_t(index)];
               song.state != E_SONGSTATE_ANALYSING && (song.fileSize != found.size || found.changedSinceAnalysis)) {
        // The file at the path changed (its tags were rewritten, or another song took its name):
        // it is analysed again, afresh, and what the player earned stays with the music the
        // analysis finds (takeAnalysedSong).
        if (song.fileSize != found.size) {
            const SSongIdentity previous = song.identity;
            SSongIdentity identity;
            makeSongIdentity(found.path, found.size, &identity);
            setSongIdentity(index, identity);
            replaceBossPendingIdentity(previous, identity);
            song.fileSize = found.size;
        }
        song.state = E_SONGSTATE_PENDING;
        song.failure = E_SONGFAIL_NONE;
    }
    SSongRecord& song = g_SongLibrary.songs[size_t(index)];
    if (found.failure != E_SONGFAIL_NONE && song.state != E_SONGSTATE_ANALYSING) {
        song.state = E_SONGSTATE_FAILED;
        song.failure = found.failure;
    } else if (song.state == E_SONGSTATE_FAILED && song.failure == E_SONGFAIL_CANNOT_OPEN) {
        // It could not be opened before and can now: analysed again.
        song.state = E_SONGSTATE_PENDING;
        song.failure = E_SONGFAIL_NONE;
    }
    if (song.state != E_SONGSTATE_ANALYSING) song.cachesStale = found.changedSinceAnalysis;
    song.missing = false;
    song.lastWalk = g_walkNumber;
    song.title = std::move(found.tags.title);
    song.artist = std::move(found.tags.artist);
    song.album = std::move(found.tags.album);
    notePendingSong(index);
}

bool hasBestScore(const SSongRecord& song) {
    for (s32 best : song.bestScores) {
        if (best > 0) return true;
    }
    return false;
}

// Which records may hand over or take what the player earned with a song's music.
bool isGoneWithMusic(const SSongRecord& song) { return song.missing && song.state == E_SONGSTATE_READY; }
bool isToBeAnalysedAgain(const SSongRecord& song) {
    return song.state == E_SONGSTATE_PENDING && hasSongAnalysis(song);
}
bool isUnplayedCopy(const SSongRecord& song) {
    return !song.missing && song.state == E_SONGSTATE_READY && !hasBestScore(song);
}

// A song found at a new path whose music is that of a record whose file has gone (the file was
// renamed or moved): the old record takes the new file, keeping what the player earned, and the
// new record goes. The old record keeps its place in the list.
void followMovedSong(s32 index) {
    SSongRecord& found = g_SongLibrary.songs[size_t(index)];
    if (found.state != E_SONGSTATE_READY || hasBestScore(found)) return;
    const s32 old = findSongWithAudio(getSongAudioIdentity(found), index, isGoneWithMusic);
    if (old < 0) return;
    replaceBossPendingIdentity(g_SongLibrary.songs[size_t(old)].identity, found.identity);
    copySongProgress(g_SongLibrary.songs[size_t(old)], &found);
    replaceSongRecords({{old, index}});
}

// The record's file now holds other music than its analysis found. When another record whose
// file changed too held that music (two files swapped names), the two exchange what the player
// earned, and the other record takes this one's music, for its own analysis to confirm;
// otherwise nothing of the old song stays here.
void takeOtherMusic(s32 index, const SSongAudioIdentity& now) {
    SSongRecord& song = g_SongLibrary.songs[size_t(index)];
    const s32 otherIndex = findSongWithAudio(now, index, isToBeAnalysedAgain);
    if (otherIndex < 0) {
        clearSongProgress(&song);
        return;
    }
    SSongRecord& other = g_SongLibrary.songs[size_t(otherIndex)];
    SSongRecord held;
    copySongProgress(song, &held);
    copySongProgress(other, &song);
    copySongProgress(held, &other);
    exchangeBossPendingIdentity(song.identity, other.identity);
    setSongAudioIdentity(otherIndex, getSongAudioIdentity(song));
}

void takeAnalysedSong(SScanAnalysedSong& analysed) {
    const s32 index = findSongIndexByIdentity(analysed.identity);
    if (index < 0) return;
    SSongRecord& song = g_SongLibrary.songs[size_t(index)];
    song.state = analysed.state;
    song.failure = analysed.failure;
    song.cachesStale = false;
    // A failed analysis tells nothing of the music: what an earlier one found is kept, and so is
    // what the player earned (the file may be mended).
    if (analysed.state != E_SONGSTATE_READY) return;
    const SSongAudioIdentity now = {analysed.duration, analysed.sampleRate, analysed.levelSpawnTargets,
                                    &analysed.fingerprint};
    if (hasSongAnalysis(song) && !isSameSongAudio(getSongAudioIdentity(song), now)) takeOtherMusic(index, now);
    setSongAudioIdentity(index, now);
    followMovedSong(index);
}

// Shown as soon as a walk meets it; gone once a whole walk has not.
void takeUnreadableFolder(std::u16string& folder) {
    std::vector<std::u16string>& shown = g_SongLibrary.unreadableFolders;
    if (std::find(shown.begin(), shown.end(), folder) == shown.end()) shown.push_back(folder);
    g_walkUnreadable.push_back(std::move(folder));
}

// After a whole walk: a record it did not find has lost its file. A song played whose file went
// while an unplayed copy of it stays (a library moved by copying, then deleting) continues in
// its own record at the copy's path, and the copy's record goes.
void takeWalkEnd() {
    std::vector<SSongRecord>& songs = g_SongLibrary.songs;
    std::vector<s32> gone;
    for (size_t i = 0; i < songs.size(); ++i) {
        const bool wasMissing = songs[i].missing;
        songs[i].missing = songs[i].lastWalk != g_walkNumber;
        if (songs[i].missing && !wasMissing && songs[i].state == E_SONGSTATE_READY && hasBestScore(songs[i]))
            gone.push_back(s32(i));
    }
    std::vector<SSongReplacement> replacements;
    for (s32 old : gone) {
        const s32 copy = findSongWithAudio(getSongAudioIdentity(songs[size_t(old)]), old, isUnplayedCopy);
        if (copy < 0) continue;
        replaceBossPendingIdentity(songs[size_t(old)].identity, songs[size_t(copy)].identity);
        // With the scores the copy is no longer unplayed: no other record takes it.
        copySongProgress(songs[size_t(old)], &songs[size_t(copy)]);
        replacements.push_back({old, copy});
    }
    replaceSongRecords(replacements);
}

}  // namespace

void startSongScan() {
    SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT];
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) ranges[level] = readSpawnBarRange(level);
    startSongScanWithRanges(ranges);
}

void startSongScanWithRanges(const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT]) {
    if (g_started) return;
    std::memcpy(g_ranges, ranges, sizeof(g_ranges));
    g_shared.lock = critSectionCreateOrDie("song scan");
    g_shared.stop = false;
    g_stopping = false;
    clearSongAnalysisStop();
    g_shared.request = E_SCANREQ_NONE;
    g_busy = false;
    g_analysing = false;
    g_idle.set();
    g_ended.reset();
    g_paused = true;
    g_walkRequested = true;
    g_walking = false;
    g_started = g_thread.start(scanThreadMain, nullptr, "song scan");
    if (!g_started) {
        critSectionDestroy(g_shared.lock);
        g_shared.lock = nullptr;
    }
}

void askSongScanToStop() {
    if (!g_started) return;
    critSectionEnter(g_shared.lock);
    g_shared.stop = true;
    critSectionLeave(g_shared.lock);
    g_stopping = true;
    requestSongAnalysisStop();
    g_wake.set();
}

void stopSongScan() {
    if (!g_started) return;
    askSongScanToStop();
    if (g_ended.wait(SONG_SCAN_STOP_LIMIT_MS) != E_OSWAIT_SIGNALLED) {
        // Held in a system call (a stalled mount): it is left to the process's exit, with the
        // state it shares.
        std::fprintf(stderr, "velodrix: the song scan did not stop; it is left running\n");
        g_thread.detach();
        g_shared.lock = nullptr;
        g_started = false;
        g_walking = false;
        return;
    }
    g_thread.join();
    clearSongAnalysisStop();
    critSectionDestroy(g_shared.lock);
    g_shared = SScanShared{};
    g_found.clear();
    g_foundTaken = 0;
    g_walkEnded = false;
    // A song cut off before its analysis was handed over is analysed again next time.
    for (size_t i = 0; i < g_SongLibrary.songs.size(); ++i) {
        if (g_SongLibrary.songs[i].state != E_SONGSTATE_ANALYSING) continue;
        g_SongLibrary.songs[i].state = E_SONGSTATE_PENDING;
        notePendingSong(s32(i));
    }
    g_started = false;
    g_walking = false;
}

void songScanTick() {
    if (!g_started) return;
    std::vector<std::u16string> unreadable;
    std::vector<SScanAnalysedSong> analysed;
    critSectionEnter(g_shared.lock);
    if (g_foundTaken == g_found.size()) {
        g_found.clear();
        g_foundTaken = 0;
        g_found.swap(g_shared.found);
        // The walk's end comes after its last finding, so it is taken with them.
        if (std::exchange(g_shared.walkDone, false)) {
            g_walkEnded = true;
            g_walkEndedCut = std::exchange(g_shared.walkWasCut, false);
        }
    }
    unreadable.swap(g_shared.unreadable);
    analysed.swap(g_shared.analysed);
    critSectionLeave(g_shared.lock);

    const size_t last = std::min(g_found.size(), g_foundTaken + FOUND_SONGS_PER_TICK);
    for (; g_foundTaken < last; ++g_foundTaken) {
        // Found in a folder the player removed while the walk ran: not taken.
        if (isInSearchedFolder(g_found[g_foundTaken].path)) takeFoundSong(g_found[g_foundTaken]);
    }
    for (std::u16string& folder : unreadable) {
        if (isSearchedFolder(folder)) takeUnreadableFolder(folder);
    }
    for (SScanAnalysedSong& song : analysed) takeAnalysedSong(song);
    if (g_walkEnded && g_foundTaken == g_found.size()) {
        g_walkEnded = false;
        g_walking = false;
        if (g_walkEndedCut) {
            g_walkRequested = true;
        } else {
            takeWalkEnd();
            g_SongLibrary.unreadableFolders = std::move(g_walkUnreadable);
        }
    }

    // Nothing more is asked for until the walk's findings are taken.
    if (g_paused || g_busy || g_walking || !isCodecRegistryReady()) return;
    if (g_walkRequested) {
        g_walkRequested = false;
        g_walking = true;
        ++g_walkNumber;
        g_walkUnreadable.clear();
        std::vector<std::u16string> folders = collectScanFolders();
        critSectionEnter(g_shared.lock);
        g_shared.walkFolders = std::move(folders);
        g_shared.cutWalk = false;
        critSectionLeave(g_shared.lock);
        issue(E_SCANREQ_WALK);
        return;
    }
    SSongRecord* song = getSongRecord(firstPendingSongIndex());
    if (!song) return;
    song->state = E_SONGSTATE_ANALYSING;
    critSectionEnter(g_shared.lock);
    g_shared.analysePath = song->path;
    g_shared.analyseIdentity = song->identity;
    g_shared.analyseAfresh = song->cachesStale;
    critSectionLeave(g_shared.lock);
    issue(E_SCANREQ_ANALYSE);
}

bool waitForSongScanIdle() {
    const u32 start = osTickCount();
    while (g_busy) {
        if (osTerminationRequested()) break;
        // A walk cut by the pause ends after its folder and shares nothing play needs: only an
        // analysis is waited for to the limit.
        const u32 limit = g_analysing ? SONG_SCAN_IDLE_LIMIT_MS : SONG_SCAN_WALK_WAIT_MS;
        if (osTickCount() - start >= limit) break;
        g_idle.wait(IDLE_WAIT_MS, true);
    }
    return !g_analysing;
}

void pauseSongScanRequests() {
    g_paused = true;
    if (!g_started) return;
    critSectionEnter(g_shared.lock);
    g_shared.cutWalk = true;
    critSectionLeave(g_shared.lock);
}
void resumeSongScanRequests() { g_paused = false; }
bool areSongScanRequestsPaused() { return g_paused; }
bool isSongScanBusy() { return g_busy; }
void requestSongRescan() { g_walkRequested = true; }
bool isSongScanWalking() { return g_walking || g_walkRequested; }
