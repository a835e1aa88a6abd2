// The scan thread's two kinds of work: walking the music folders for songs, and analysing one
// song. Neither touches the library; their results go back through the scan's queue.
#pragma once

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "core/types.h"
#include "platform/tags/music_tags.h"
#include "world/state/play_record.h"

#include <atomic>
#include <string>
#include <vector>

// A file is taken as a song only from this size on: smaller files cannot hold the 90 seconds a
// song needs in any format the game decodes (even 32 kbit/s MP3 takes 352 KiB), so ring tones,
// sound effects and broken files are passed over without being opened.
constexpr u64 SONG_SCAN_MIN_FILE_BYTES = 256 * 1024;
// Folder levels walked below a music folder. Links are followed, each real folder once.
constexpr u32 SONG_SCAN_MAX_FOLDER_DEPTH = 16;

struct SScanFoundSong {
    std::u16string path;
    u64 size;
    SMusicTags tags;
    u32 failure;  // ESongFailure: E_SONGFAIL_CANNOT_OPEN when the file could not be opened
    // The file changed after (or as) the analysis caches of its path and size were written:
    // they may be those of the file it replaced.
    bool changedSinceAnalysis;
};

struct SScanAnalysedSong {
    SSongIdentity identity;
    u32 state;    // E_SONGSTATE_READY or E_SONGSTATE_FAILED
    u32 failure;  // ESongFailure
    f32 duration;
    f32 sampleRate;
    s32 levelSpawnTargets[DIFFICULTY_LEVEL_COUNT];
    std::vector<u8> fingerprint;  // as the analysis enciphered it
};

// What the walk found in one folder.
struct SScanFolder {
    std::u16string path;
    // Listing it failed for another reason than its absence (no permission, a disk error): the
    // songs here, if any, are those listed before the failure.
    bool unreadable;
    std::vector<SScanFoundSong> songs;
};

// Hands over one folder's findings (possibly no song); the walk goes on while it answers true.
using ScanFoundFn = bool (*)(SScanFolder* folder, void* user);

// Walks each folder and its sub-folders for regular files whose extension a started decoder
// family takes (and the player has not turned off) and that are at least
// SONG_SCAN_MIN_FILE_BYTES; each folder's songs, with their tags, go to `found` in one batch. A
// file that cannot be opened is handed over with its failure, and a folder that cannot be read
// as unreadable. Pipes, devices and sockets are never opened; each real folder and file is taken
// once, however many links lead to it. A folder that is not there (it vanished, or never was) is
// passed over. False when `found`
// stopped the walk, or `stop` (when given) was set: the walk then ends before its next file, and
// the folder it was in is not handed over.
//
// A file whose last change is not older than its analysis caches is marked as changed since its
// analysis: a copy over a song, or two songs of one size swapping names, keep the size and path
// that name the caches.
bool walkMusicFolders(const std::vector<std::u16string>& folders, ScanFoundFn found, void* user,
                      const std::atomic<bool>* stop = nullptr);

// Analyses the song (spectral frames and beats, from their caches when present unless `afresh`,
// writing them otherwise) and builds its spawn bars at each difficulty from the ranges given, leaving the
// global analysis state released. Only one analysis may run at a time in the process. False,
// with nothing found out, when a stop was requested (requestSongAnalysisStop) before its end.
bool analyseSongInBackground(const std::u16string& path, const SSongIdentity& identity, bool afresh,
                             const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT], SScanAnalysedSong* out);
