#include "library/song_library.h"

#include "library/data_file.h"
#include "library/save_writer.h"
#include "core/digest.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"
#include "render/scene_inputs.h"
#include "world/generators/dna_generator.h"

#include <cmath>
#include <cstdio>
#include <cstring>

SSongLibrary g_SongLibrary;

const SSongLibrary& songLibrary() { return g_SongLibrary; }

namespace {

// Mixed into a library song's identity so that it never equals the path-only identity of a song
// outside the library.
constexpr u32 LIBRARY_IDENTITY_VALUE = 0x5649444Cu;
// The key of a collectible whose hash no ship item generator has.
constexpr const char* UNREGISTERED_ITEM_KEY = "item_%08x";

void setDefaults(SSongLibrary* library) {
    library->songs.clear();
    rebuildSongIndex();
    library->unreadableFolders.clear();
    library->collectibles.clear();
    std::memset(&library->credentials, 0, sizeof(library->credentials));
    std::memset(&library->boss, 0, sizeof(library->boss));
    // Bosses are on for a new player; the boss choice lets the first eligible play go by.
    library->boss.enabled = 1;
    std::memset(library->equippedItemKeys, 0, sizeof(library->equippedItemKeys));
    library->bossStage = BOSS_STAGE_FIRST;
    library->bossWon = 0;
    library->bossFailed = 0;
    library->barrelPhaseCount = 1;
    library->shownTips = 0;
}

}  // namespace

void makeSongIdentity(const std::u16string& path, u64 fileSize, SSongIdentity* out) {
    // The path's own bytes, so that names that differ only in bytes that are not UTF-8 differ.
    std::string bytes = osSystemPathW(path.c_str());
    for (char& c : bytes) {
        if (c == '/') c = '\\';
    }
    for (u32 i = 0; i < 8; ++i) bytes += char(u8(fileSize >> (8 * i)));
    computeDigestWithValue(out->bytes, bytes.data(), u32(bytes.size()), LIBRARY_IDENTITY_VALUE);
}

SSongRecord makeSongRecord(const std::u16string& path, u64 fileSize) {
    SSongRecord song{};
    makeSongIdentity(path, fileSize, &song.identity);
    song.path = path;
    song.fileSize = fileSize;
    song.state = E_SONGSTATE_PENDING;
    song.failure = E_SONGFAIL_NONE;
    clearSongProgress(&song);
    return song;
}

void clearSongProgress(SSongRecord* song) {
    u32 seed = 0;
    std::memcpy(&seed, song->identity.bytes, sizeof(seed));
    song->randomState = SRandObjState{1, seed, 0};
    for (f32& scale : song->scoreScale) scale = 1.0f;
    song->progressValue = 0.0f;
    std::memset(song->progressThresholds, 0, sizeof(song->progressThresholds));
    std::memset(song->scoreTargets, 0, sizeof(song->scoreTargets));
    std::memset(song->bestScores, 0, sizeof(song->bestScores));
}

void copySongProgress(const SSongRecord& from, SSongRecord* to) {
    to->randomState = from.randomState;
    std::memcpy(to->scoreScale, from.scoreScale, sizeof(to->scoreScale));
    to->progressValue = from.progressValue;
    std::memcpy(to->progressThresholds, from.progressThresholds, sizeof(to->progressThresholds));
    std::memcpy(to->scoreTargets, from.scoreTargets, sizeof(to->scoreTargets));
    std::memcpy(to->bestScores, from.bestScores, sizeof(to->bestScores));
}

SSongAudioIdentity getSongAudioIdentity(const SSongRecord& song) {
    return {song.duration, song.sampleRate, song.levelSpawnTargets, &song.fingerprint};
}

bool isSameSongAudio(const SSongAudioIdentity& a, const SSongAudioIdentity& b) {
    if (!(std::fabs(a.duration - b.duration) <= SONG_SAME_AUDIO_DURATION_TOLERANCE)) return false;
    if (a.sampleRate != b.sampleRate) return false;
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        if (a.levelSpawnTargets[level] != b.levelSpawnTargets[level]) return false;
    }
    if (a.fingerprint->empty() || b.fingerprint->empty()) return true;
    return *a.fingerprint == *b.fingerprint;
}

SSongNameTags getSongNameTags(const SSongRecord& song) {
    const auto orNull = [](const std::u16string& text) { return text.empty() ? nullptr : text.c_str(); };
    return {song.path.c_str(), orNull(song.title), orNull(song.artist)};
}

void createSongLibrary() {
    setDefaults(&g_SongLibrary);
    clearLibraryDamagedFileFlags();
    setMusicLibraryInitialised(1);
}

void freeSongLibrary() {
    // A save still being written goes to the folder it was meant for before the library goes.
    finishSaveWrites();
    setMusicLibraryInitialised(0);
    setDefaults(&g_SongLibrary);
    g_SongLibrary.songs.shrink_to_fit();
    g_SongLibrary.collectibles.shrink_to_fit();
}

void finishLibrarySetup() { setDefaults(&g_SongLibrary); }

u32 onceTipBit(const char* tipName) {
    return tipName && std::strcmp(tipName, "MegaTip_Repair") == 0 ? 1u : 0u;
}

SSongRecord* getSongRecord(s32 index) {
    if (index < 0 || size_t(index) >= g_SongLibrary.songs.size()) return nullptr;
    return &g_SongLibrary.songs[size_t(index)];
}

SCollectibleRecord* getSongCollectible(u32 packHash) {
    for (SCollectibleRecord& item : g_SongLibrary.collectibles) {
        if (item.keyHash == packHash) return &item;
    }
    SCollectibleRecord item{};
    // The key is the name of the ship item generator of that hash, when one is registered.
    if (const ClDNAGenerator* generator = generatorFind(E_GENCAT_SHIP_ITEM, packHash))
        strCopyN(item.key, generator->getName(), ITEM_KEY_LENGTH);
    else
        std::snprintf(item.key, sizeof(item.key), UNREGISTERED_ITEM_KEY, packHash);
    item.keyHash = packHash;
    g_SongLibrary.collectibles.push_back(item);
    return &g_SongLibrary.collectibles.back();
}

u32 collectibleKeyHash(const char* key) {
    u32 hash = 0;
    char check[ITEM_KEY_LENGTH];
    if (std::sscanf(key, UNREGISTERED_ITEM_KEY, &hash) == 1) {
        std::snprintf(check, sizeof check, UNREGISTERED_ITEM_KEY, hash);
        if (std::strcmp(check, key) == 0) return hash;
    }
    return crc32TextNoCase(key);
}

const SCollectibleRecord* findCollectibleRecord(const char* key) {
    if (!key || !key[0]) return nullptr;
    for (const SCollectibleRecord& item : g_SongLibrary.collectibles) {
        if (strCompare(item.key, key) == 0) return &item;
    }
    return nullptr;
}

bool recordBestScore(s32 songIndex, s32 difficulty, s32 storedScore) {
    SSongRecord* song = getSongRecord(songIndex);
    if (!song || difficulty < 0 || difficulty >= s32(DIFFICULTY_LEVEL_COUNT)) return false;
    if (storedScore <= song->bestScores[difficulty]) return false;
    song->bestScores[difficulty] = storedScore;
    return true;
}

void markBossWon() {
    g_SongLibrary.bossWon = 1;
    g_SongLibrary.bossFailed = 0;
}

void markBossFailed() { g_SongLibrary.bossFailed = 1; }

bool advanceBossStage() {
    if (g_SongLibrary.bossStage >= s32(BOSS_STAGE_LAST)) return false;
    ++g_SongLibrary.bossStage;
    return true;
}

void markTipsShown(u32 tipBits) { g_SongLibrary.shownTips |= tipBits; }

void setLibraryCredentials(const SLibraryCredentials& credentials) { g_SongLibrary.credentials = credentials; }
