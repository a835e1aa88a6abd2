// The song library's look-ups: path to index, identity to index, music to indices, and where the
// search for the first pending song goes on. Main thread only, like the library.
#include "library/song_library.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

struct SIdentityHash {
    // An identity is a digest: its first bytes are spread evenly already.
    size_t operator()(const SSongIdentity& identity) const {
        size_t hash = 0;
        std::memcpy(&hash, identity.bytes, sizeof(hash));
        return hash;
    }
};

struct SIdentityEqual {
    bool operator()(const SSongIdentity& a, const SSongIdentity& b) const {
        return std::memcmp(a.bytes, b.bytes, SONG_IDENTITY_BYTES) == 0;
    }
};

struct SSongIndex {
    std::unordered_map<std::u16string, s32> byPath;
    std::unordered_map<SSongIdentity, s32, SIdentityHash, SIdentityEqual> byIdentity;
    // The records with an analysis, by the parts of their music that isSameSongAudio compares
    // exactly (the rate and the level spawn targets): the same music always has the same key.
    std::unordered_multimap<u64, s32> byMusic;
    // No record before it is pending and present.
    size_t pendingFrom = 0;
    // The list's length when it was indexed: a list whose length changed behind the operations'
    // back is indexed again.
    size_t indexedCount = 0;
};

SSongIndex g_index;

std::vector<SSongRecord>& songs() { return g_SongLibrary.songs; }

u64 musicKey(f32 sampleRate, const s32* levelSpawnTargets) {
    u32 rate = 0;
    std::memcpy(&rate, &sampleRate, sizeof(rate));
    u64 key = 1469598103934665603ull;
    key = (key ^ rate) * 1099511628211ull;
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level)
        key = (key ^ u32(levelSpawnTargets[level])) * 1099511628211ull;
    return key;
}

u64 musicKey(const SSongRecord& song) { return musicKey(song.sampleRate, song.levelSpawnTargets); }

void indexMusic(s32 index) {
    const SSongRecord& song = songs()[size_t(index)];
    if (hasSongAnalysis(song)) g_index.byMusic.emplace(musicKey(song), index);
}

void unindexMusic(s32 index) {
    const SSongRecord& song = songs()[size_t(index)];
    if (!hasSongAnalysis(song)) return;
    const auto range = g_index.byMusic.equal_range(musicKey(song));
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (entry->second == index) {
            g_index.byMusic.erase(entry);
            return;
        }
    }
}

// A record whose path or identity another record holds already (a damaged save) is found by
// neither: the first one keeps them, as a search from the start would find it.
void indexRecord(s32 index) {
    const SSongRecord& song = songs()[size_t(index)];
    g_index.byPath.emplace(song.path, index);
    g_index.byIdentity.emplace(song.identity, index);
    indexMusic(index);
}

void keepIndexInStep() {
    if (g_index.indexedCount != songs().size()) rebuildSongIndex();
}

bool isPendingAndPresent(const SSongRecord& song) { return song.state == E_SONGSTATE_PENDING && !song.missing; }

}  // namespace

void rebuildSongIndex() {
    g_index.byPath.clear();
    g_index.byIdentity.clear();
    g_index.byMusic.clear();
    g_index.byPath.reserve(songs().size());
    g_index.byIdentity.reserve(songs().size());
    for (size_t i = 0; i < songs().size(); ++i) indexRecord(s32(i));
    g_index.pendingFrom = 0;
    g_index.indexedCount = songs().size();
}

s32 findSongIndexByPath(const std::u16string& path) {
    keepIndexInStep();
    const auto found = g_index.byPath.find(path);
    return found == g_index.byPath.end() ? -1 : found->second;
}

s32 findSongIndexByIdentity(const SSongIdentity& identity) {
    keepIndexInStep();
    const auto found = g_index.byIdentity.find(identity);
    return found == g_index.byIdentity.end() ? -1 : found->second;
}

SSongRecord* findSongByIdentity(const SSongIdentity& identity) {
    return getSongRecord(findSongIndexByIdentity(identity));
}

s32 findSongWithAudio(const SSongAudioIdentity& audio, s32 except, bool (*accept)(const SSongRecord& song)) {
    keepIndexInStep();
    s32 first = -1;
    const auto range = g_index.byMusic.equal_range(musicKey(audio.sampleRate, audio.levelSpawnTargets));
    for (auto entry = range.first; entry != range.second; ++entry) {
        const s32 index = entry->second;
        if (index == except || (first >= 0 && index > first)) continue;
        const SSongRecord& song = songs()[size_t(index)];
        if (accept(song) && isSameSongAudio(getSongAudioIdentity(song), audio)) first = index;
    }
    return first;
}

s32 firstPendingSongIndex() {
    keepIndexInStep();
    while (g_index.pendingFrom < songs().size() && !isPendingAndPresent(songs()[g_index.pendingFrom]))
        ++g_index.pendingFrom;
    return g_index.pendingFrom < songs().size() ? s32(g_index.pendingFrom) : -1;
}

s32 addSongRecord(SSongRecord song) {
    keepIndexInStep();
    songs().push_back(std::move(song));
    const s32 index = s32(songs().size() - 1);
    indexRecord(index);
    g_index.indexedCount = songs().size();
    notePendingSong(index);
    return index;
}

void setSongIdentity(s32 index, const SSongIdentity& identity) {
    keepIndexInStep();
    SSongRecord& song = songs()[size_t(index)];
    const auto previous = g_index.byIdentity.find(song.identity);
    if (previous != g_index.byIdentity.end() && previous->second == index) g_index.byIdentity.erase(previous);
    song.identity = identity;
    g_index.byIdentity.emplace(identity, index);
}

void setSongAudioIdentity(s32 index, const SSongAudioIdentity& audio) {
    keepIndexInStep();
    unindexMusic(index);
    SSongRecord& song = songs()[size_t(index)];
    song.duration = audio.duration;
    song.sampleRate = audio.sampleRate;
    std::memcpy(song.levelSpawnTargets, audio.levelSpawnTargets, sizeof(song.levelSpawnTargets));
    song.fingerprint = *audio.fingerprint;
    indexMusic(index);
}

void notePendingSong(s32 index) {
    if (index >= 0 && size_t(index) < g_index.pendingFrom && isPendingAndPresent(songs()[size_t(index)]))
        g_index.pendingFrom = size_t(index);
}

void replaceSongRecords(const std::vector<SSongReplacement>& replacements) {
    if (replacements.empty()) return;
    std::vector<bool> gone(songs().size(), false);
    for (const SSongReplacement& replacement : replacements) {
        songs()[size_t(replacement.kept)] = std::move(songs()[size_t(replacement.from)]);
        gone[size_t(replacement.from)] = true;
    }
    size_t next = 0;
    for (size_t i = 0; i < songs().size(); ++i) {
        if (gone[i]) continue;
        if (next != i) songs()[next] = std::move(songs()[i]);
        ++next;
    }
    songs().erase(songs().begin() + std::ptrdiff_t(next), songs().end());
    rebuildSongIndex();
}

void removeSongRecords(const std::function<bool(const SSongRecord& song)>& gone) {
    songs().erase(std::remove_if(songs().begin(), songs().end(), gone), songs().end());
    rebuildSongIndex();
}
