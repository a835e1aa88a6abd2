// The user save "SAVEDATA\USR-DATA" under the user-data directory: the saved options
// (core/saved_options.h) and the song library (song_library.h).
//
// Layout, little-endian (save_bytes.h), closed by a digest trailer under USER_SAVE_TRAILER_VALUE:
//   "VXUS", version
//   options: seven u32 words (water reflection, bloom, input-lag reduction, full screen, v-sync,
//     resolution width and height), the audio-log word, three f32 sensitivities (controller,
//     interface pointer, in-game pointer), the ambient layout (s32), the latched-fire word, and
//     from version 3 on the line-style word (0 whole edges, 1 travelling glints)
//   credentials: login name (text), 32-byte password digest
//   boss: 15 beaten words, pending word, pending identity (8 words), enabled, skip, 15 met
//     bytes, static intro, corruption sound off, stage, won, failed
//   profile: barrel-phase count, 16 equipped item keys (texts)
//   collectibles: count, then key (text), key hash, identified, current level
//   songs: count, then identity (32 bytes), path, title, artist, album (wide texts), file size
//     (u64), state, failure, duration, rate, 6 level spawn targets, random state (3 words),
//     6 score scales, progress value, 6 x 2 thresholds, 6 x 2 targets, 6 best scores
//   from version 2 on, song audio: for each song in the same order, its fingerprint (a u32 count
//     of at most SONG_FINGERPRINT_MAX_BYTES, then the bytes)
//   tips: the once-only tips shown (u32, a bit each); absent from older saves, which read as none
// Texts are a u32 count and their units (UTF-16 for wide texts). A file whose trailer, version,
// counts or lengths do not hold is damaged; a value out of its range is mended field by field
// (user_save_values.h) and the rest of the save kept. Every earlier version still reads.
#pragma once

#include "core/types.h"

#include <vector>

constexpr u32 USER_SAVE_MAGIC = 0x53555856u;  // "VXUS"
constexpr u32 USER_SAVE_VERSION = 3;
constexpr u32 USER_SAVE_FIRST_VERSION = 1;
constexpr u32 USER_SAVE_TRAILER_VALUE = 0x2F1A0E57u;
constexpr const char* USER_SAVE_RELATIVE_PATH = "SAVEDATA\\USR-DATA";

// Reads the save into the library (and, with withOptions, into the saved options), then hands the
// boss progress to the world's play record; saves still being written are waited for first. 1 when read; 0 when there is no usable save: missing,
// or damaged, which sets it aside (noteLibraryDamagedFile) and leaves the library and the
// options as they were.
s32 saveRead(u32 withOptions);
// The whole save from the library and the saved options, encoded now and written by the save
// writer's thread (save_writer.h) while the game goes on; finishSaveWrites waits for it. The flag
// is the callers' and changes nothing here. 1 when handed over; 0, noted at once, when no save
// can be written (no user-data folder, or a damaged save that could not be set aside is still in
// its place). A write that fails leaves the file as it was and is noted when it ends
// (libraryWriteFailedFlags).
s32 saveWrite(u32 flag);

// The save's content (without its trailer) for the current library and options, and its
// decoding into them: false leaves both untouched.
std::vector<u8> encodeUserSave();
bool decodeUserSave(const std::vector<u8>& content, bool withOptions);
