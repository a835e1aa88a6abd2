// The song library: every song found, the boss progress, the player profile's items and the
// leaderboard credentials, kept in the user save. One global record, created at start-up and
// freed at shutdown; main thread only (the scan thread hands its findings to songScanTick).
#pragma once

#include "core/types.h"
#include "library/song_record.h"
#include "world/state/play_record.h"

#include <functional>
#include <vector>

constexpr u32 CREDENTIAL_NAME_LENGTH = 32;
constexpr u32 CREDENTIAL_DIGEST_BYTES = 32;
constexpr u32 BOSS_STAGE_FIRST = 1;
constexpr u32 BOSS_STAGE_LAST = 5;

struct SLibraryCredentials {
    char loginName[CREDENTIAL_NAME_LENGTH];  // terminated; empty when none
    u8 passwordDigest[CREDENTIAL_DIGEST_BYTES];
};

// An item a song's generator pack awards, found by the name hash of its key.
struct SCollectibleRecord {
    char key[ITEM_KEY_LENGTH];  // terminated
    u32 keyHash;                // crc32TextNoCase(key)
    u32 identified;             // the player has been shown the item
    s32 currentLevel;
};

struct SSongLibrary {
    SLibraryCredentials credentials;
    std::vector<SSongRecord> songs;
    // The folders the song scan could not read (for another reason than their absence), as the
    // last whole walk found them: their songs are not known. Not saved.
    std::vector<std::u16string> unreadableFolders;
    std::vector<SCollectibleRecord> collectibles;
    // The boss progress as the world reads and writes it during play (play_record.h).
    SBossLibraryState boss;
    s32 bossStage;   // BOSS_STAGE_FIRST to BOSS_STAGE_LAST
    s32 bossWon;     // the last boss game was won / lost; the front end sets and clears them
    s32 bossFailed;
    char equippedItemKeys[SHIP_ANCHOR_CAPACITY][ITEM_KEY_LENGTH];
    s32 barrelPhaseCount;  // at least 1
    u32 shownTips;         // the once-only tips the profile has been shown, a bit each (onceTipBit)
};

// The bit of a tip the player profile is shown only once ("MegaTip_Repair"); 0 for a tip shown
// whenever its moment comes.
u32 onceTipBit(const char* tipName);

// The library's own record. The layers above read it through songLibrary() and change it only
// through the operations below.
extern SSongLibrary g_SongLibrary;
const SSongLibrary& songLibrary();

// The last boss game was won: the lost flag goes.
void markBossWon();
// The last boss game was lost.
void markBossFailed();
// One boss stage on, up to BOSS_STAGE_LAST; false (and no change) at the last.
bool advanceBossStage();
// The profile has been shown the once-only tips of the bits.
void markTipsShown(u32 tipBits);
void setLibraryCredentials(const SLibraryCredentials& credentials);

// The library of a first run: no songs, no credentials, no boss beaten, stage 1, boss met
// counters 0, one barrel phase, no file found damaged. Creating also sets the scene's library-initialised word (the
// scene draws nothing while it is 0); freeing clears it, once a save being written is on disk.
void createSongLibrary();
void freeSongLibrary();
// Library defaults for a first run (no usable save): the state createSongLibrary makes.
void finishLibrarySetup();

// The song at the index, or null outside the list.
SSongRecord* getSongRecord(s32 index);

// The records' look-ups (song_index.cpp): by path, by identity, by music, and the first song
// waiting for its analysis, each in constant time whatever the library's size. Records are
// added, given another identity or music, and removed only through the operations below, which
// keep the look-ups in step; the list replaced whole (a save read) is indexed again with
// rebuildSongIndex. Removing records costs a pass over the list.

// The index of the song with this path (compared unit by unit), or -1.
s32 findSongIndexByPath(const std::u16string& path);
// The index of the song with this identity, or -1; and the song itself, or null.
s32 findSongIndexByIdentity(const SSongIdentity& identity);
SSongRecord* findSongByIdentity(const SSongIdentity& identity);
// The first record in list order, other than `except`, whose music is that of `audio`
// (isSameSongAudio) and that `accept` takes; -1 when there is none.
s32 findSongWithAudio(const SSongAudioIdentity& audio, s32 except, bool (*accept)(const SSongRecord& song));
// The first record in list order that is pending and present (its file found), or -1.
s32 firstPendingSongIndex();

// Appends the record; its index.
s32 addSongRecord(SSongRecord song);
void setSongIdentity(s32 index, const SSongIdentity& identity);
// The record takes the music the analysis found (its fingerprint copied).
void setSongAudioIdentity(s32 index, const SSongAudioIdentity& audio);
// The record at the index may have become pending or present: the search for the first pending
// song looks at it again.
void notePendingSong(s32 index);
// Each record `kept` takes the whole of record `from`, whose place then goes; the other records
// keep their order. Every index is that of the list before the call.
struct SSongReplacement {
    s32 kept;
    s32 from;
};
void replaceSongRecords(const std::vector<SSongReplacement>& replacements);
// Removes every record `gone` takes; the others keep their order.
void removeSongRecords(const std::function<bool(const SSongRecord& song)>& gone);
void rebuildSongIndex();

// The collectible a song's generator pack awards: the record whose key hash is packHash, made
// (unidentified, level 0) the first time it is asked for. Its key is the name of the ship item
// generator with that hash, or "item_<hash>" when none is registered.
SCollectibleRecord* getSongCollectible(u32 packHash);
// The record of the key, or null.
const SCollectibleRecord* findCollectibleRecord(const char* key);
// The hash a collectible's key stands for: the number of a key "item_<8 hex digits>" (made for a
// hash no generator has), else the name hash of the key.
u32 collectibleKeyHash(const char* key);

// Keeps the stored score when it beats the song's best at that difficulty. True when it did.
bool recordBestScore(s32 songIndex, s32 difficulty, s32 storedScore);
