// One song of the library: the identity that names its caches, the music file, its tags, what
// its analysis found, the fields the play record takes from it, and the best scores.
#pragma once

#include "audio/analysis/spectrum_analysis.h"
#include "core/rand_obj.h"
#include "core/types.h"
#include "world/state/play_record.h"
#include "world/play/song_names.h"

#include <string>
#include <vector>

enum ESongAnalysisState : u32 {
    E_SONGSTATE_PENDING = 0,    // found, not analysed yet
    E_SONGSTATE_ANALYSING = 1,  // handed to the scan thread
    E_SONGSTATE_READY = 2,      // analysed: its caches exist and it can be played
    E_SONGSTATE_FAILED = 3,     // cannot be played; the failure reason says why
    E_SONGSTATE_COUNT
};

// Why a song cannot be played: the analysis's ESpectrumResult codes 1 to 4, kept as they are.
enum ESongFailure : u32 {
    E_SONGFAIL_NONE = E_SPECTRUM_RESULT_NONE,
    E_SONGFAIL_CANNOT_OPEN = E_SPECTRUM_RESULT_CANNOT_OPEN,
    E_SONGFAIL_TOO_SHORT = E_SPECTRUM_RESULT_TOO_SHORT,
    E_SONGFAIL_TOO_LONG = E_SPECTRUM_RESULT_TOO_LONG,
    E_SONGFAIL_UNDECODABLE = E_SPECTRUM_RESULT_UNDECODABLE,
    E_SONGFAIL_COUNT
};

struct SSongRecord {
    // First, as the caches expect: the 32 bytes their file names are made from.
    SSongIdentity identity;
    std::u16string path;    // the music file, a game path
    std::u16string title;   // tags; empty when the file has none
    std::u16string artist;
    std::u16string album;
    u64 fileSize;

    u32 state;              // ESongAnalysisState
    u32 failure;            // ESongFailure; E_SONGFAIL_NONE unless the state is failed
    f32 duration;           // seconds, once analysed
    f32 sampleRate;         // Hz, once analysed
    // Spawn events the song's bars ask for at each difficulty: how busy each level is.
    s32 levelSpawnTargets[DIFFICULTY_LEVEL_COUNT];

    // What the play record takes (play_record.h); the wave layer settles the score fields at
    // its first play, and they are kept from then on.
    SRandObjState randomState;
    f32 scoreScale[DIFFICULTY_LEVEL_COUNT];
    f32 progressValue;
    f32 progressThresholds[DIFFICULTY_LEVEL_COUNT][2];
    s32 scoreTargets[DIFFICULTY_LEVEL_COUNT][2];

    s32 bestScores[DIFFICULTY_LEVEL_COUNT];  // stored points; 0 before the first play

    // The song's audio fingerprint as its analysis enciphered it (song_fingerprint.h); empty
    // before the analysis and for records of saves that did not keep it. With the duration,
    // the rate and the level spawn targets it tells the same music under another name or tags.
    std::vector<u8> fingerprint;

    // Not saved: what the scan found this run.
    bool missing;             // the last whole walk of the folders did not find the file
    u32 lastWalk;             // the walk that last found it
    // The walk found the file changed after its analysis caches were written: the next analysis
    // does without them.
    bool cachesStale;
};

constexpr u32 SONG_FINGERPRINT_MAX_BYTES = 128;
// Durations of one song's analyses differ by less than this whatever its tags.
constexpr f32 SONG_SAME_AUDIO_DURATION_TOLERANCE = 0.05f;

// A new record for the file: pending, its identity made from the path and size, score scale 1,
// its wave generator state seeded from the identity.
SSongRecord makeSongRecord(const std::u16string& path, u64 fileSize);
// The song's own identity: SHA-256 of the path in UTF-8 followed by the file size, under a value
// of the library's. It differs from songIdentityFromPath's, which names songs outside the
// library.
void makeSongIdentity(const std::u16string& path, u64 fileSize, SSongIdentity* out);
// The song's path and tags as the display-name functions take them (song_names.h): an empty
// tag is null there. Valid while the record is unchanged.
SSongNameTags getSongNameTags(const SSongRecord& song);
// A song may be chosen for play once analysed, while its file is there.
inline bool isSongPlayable(const SSongRecord& song) { return song.state == E_SONGSTATE_READY && !song.missing; }

// What an analysis found of a song's music: enough to tell the same music at another path.
struct SSongAudioIdentity {
    f32 duration;
    f32 sampleRate;
    const s32* levelSpawnTargets;  // DIFFICULTY_LEVEL_COUNT of them
    const std::vector<u8>* fingerprint;
};
SSongAudioIdentity getSongAudioIdentity(const SSongRecord& song);
// True once an analysis has found the song's music; a later failed analysis keeps what it found.
// When such a record is analysed again (its file changed), what the player earned stays with the
// music the new analysis finds.
inline bool hasSongAnalysis(const SSongRecord& song) { return song.sampleRate > 0.0f; }
// True when both are analyses of the same music: equal rates, level spawn targets and (when
// both have one) fingerprints, and durations within SONG_SAME_AUDIO_DURATION_TOLERANCE.
bool isSameSongAudio(const SSongAudioIdentity& a, const SSongAudioIdentity& b);

// What the player earned with a song: the best scores and the score fields the first play
// settled (with the wave generator state). Copied whole, or set back to a new record's.
void copySongProgress(const SSongRecord& from, SSongRecord* to);
void clearSongProgress(SSongRecord* song);
