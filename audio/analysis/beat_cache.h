// The beat cache: one file per song under "SAVEDATA\" in the user-data directory, holding the
// song's final beat list so that a song analysed once gets its beats back without the onset and
// tempo analysis.
//
// Layout, little-endian: "BSYM", u32 version 1, then N SBeat records of 80 bytes (20 words each)
// in beat-list order. There is no count: N = (size - 8) / 80, and bytes after the last whole
// record are ignored. There is no digest either, so every record is checked when it is read.
//
// The file is named like the spectral cache (buildSongCachePath) with its own salt.
#pragma once

#include "audio/analysis/beat.h"
#include "audio/analysis/spectrum_analysis.h"
#include "core/types.h"

constexpr u32 BEAT_CACHE_NAME_SALT = 3105872;
constexpr u32 BEAT_CACHE_VERSION = 1;
constexpr u32 BEAT_CACHE_HEAD_BYTES = 8;
constexpr u32 BEAT_CACHE_RECORD_BYTES = sizeof(SBeat);
// A file must be larger than this. An 8-byte file (a song with no beats) therefore reads as not
// cached, and such a song is analysed again on each play.
constexpr u32 BEAT_CACHE_MIN_SIZE_EXCLUDED = 9;
constexpr const char* BEAT_CACHE_EXTENSION = "sbc";

// The whole file for the beat list, in a new 16-byte aligned block (std::free). False when it
// would reach 4 GiB.
bool buildBeatCacheImage(const SBeatArray& beats, u8** outBlock, u32* outSize);
// True when the image is a beat cache this song can take: size above 9 bytes, "BSYM", version 1,
// and every whole record's time finite, not negative, above the previous record's and not after
// the song's end (songSeconds). outCount receives the number of whole records.
bool validateBeatCacheImage(const u8* image, u32 size, f32 songSeconds, u32* outCount);

// Writes the song's beat list to a temporary name beside the file and renames it into place, so
// a reader never meets a half-written file. Nothing is reported on failure. `path` (the music
// file) does not take part in the name.
void writeBeatCache(const char16_t* path, const SSongIdentity& identity);
// 1 when the file was read, accepted against the current song's length (its spectral frames
// must be ready) and its records appended to the song's beat list, else 0 with the list
// untouched. With the setting VISUAL_BEAT_ANALYSIS the list is emptied before the records are
// appended.
s32 readBeatCache(const char16_t* path, const SSongIdentity& identity);

// The beat analysis's entry point, after analyseSongSpectrum has made the frames ready. Unless
// `force` is set or NEVER_CACHE is non-zero, the beat cache is tried first. Otherwise the song's
// beats are analysed and the cache rewritten; when the frames came from the spectral cache (no
// three-band energies) the song is first decoded again (analyseSongSpectrum with force). The
// current beat index becomes 0. Always returns 1; a song that cannot be decoded again, or whose
// analysis was asked to stop (requestSongAnalysisStop), is left with no beats and no beat cache.
s32 loadOrAnalyseBeats(const char16_t* path, const SSongIdentity& identity, u32 force);
