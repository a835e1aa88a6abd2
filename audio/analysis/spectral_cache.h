// The spectral cache: one file per song under "SAVEDATA\" in the user-data directory, holding the
// song's spectral frames so that a song is decoded for analysis only once.
//
// Layout, little-endian 4-byte words (F frames, B bands):
//   0    the 17 words of SSpectrumHeader, written field by field: "SDFT", version 2, window,
//        transform size, hop, rate, Nyquist, frame duration, channels, bytes per sample, F,
//        68 (offset of the frame-offset table), loaded-from-cache as the writer held it, B,
//        a reserved 0, duration, f32 rate
//   68   F u32 offsets: entry i = 68 + 4F + 4B i
//   68 + 4F  F rows of B f32 band values in [0, 0.97]
//   end - 32  SHA-256 of every byte before it followed by the trailer value (not stored)
//
// A file is never trusted: its trailer, its size, its words and every offset must agree with
// each other and with the frame geometry of its rate, or it reads as "not cached".
//
// The file name comes from the song identity: base64 of SHA-256(identity || name salt) with '_'
// for characters 62 and 63 and for the pad. The beat cache names its file the same way with its
// own salt (buildSongCachePath).
#pragma once

#include "audio/analysis/spectrum_analysis.h"
#include "core/types.h"

constexpr u32 SPECTRAL_CACHE_NAME_SALT = 561920374;
constexpr u32 SPECTRAL_CACHE_TRAILER_VALUE = 407162;
constexpr u32 SPECTRAL_CACHE_VERSION = 2;
constexpr u32 SPECTRAL_CACHE_HEADER_BYTES = 68;
constexpr u32 SPECTRAL_CACHE_TRAILER_BYTES = 32;
// Characters of the name part T (without terminator).
constexpr u32 SONG_CACHE_NAME_PART_LENGTH = 44;
constexpr const char* SPECTRAL_CACHE_EXTENSION = "sec";

// T for the identity and salt: 44 characters and a terminator.
void buildSongCacheNamePart(const SSongIdentity& identity, u32 nameSalt, char out[SONG_CACHE_NAME_PART_LENGTH + 1]);
// user data directory + "SAVEDATA\VelodrixCache_" + T + "." + extension. False when it does not
// fit the capacity (out then holds an empty text).
bool buildSongCachePath(const SSongIdentity& identity, u32 nameSalt, const char* extension, char16_t* out,
                        u32 capacity);

// Writes the image to the song's cache file with the file layer's whole-file write, so a reader
// never meets a half-written file. Nothing is reported on failure.
void writeSongCacheFile(const SSongIdentity& identity, u32 nameSalt, const char* extension, const u8* image,
                        u32 size);
// The song's whole cache file in a new 32-byte aligned block (std::free). False, with nothing
// allocated, when the file is missing or cannot be read.
bool readSongCacheFile(const SSongIdentity& identity, u32 nameSalt, const char* extension, u8** outImage,
                       u32* outSize);

// When the song's spectral cache was written (nanoseconds since 1970); false when there is none.
bool spectralCacheWriteTime(const SSongIdentity& identity, u64* outTime);

// The identity of a song that has no library record: SHA-256 of its path in UTF-8 with '/'
// taken as '\', followed by four zero bytes. The same path always gives the same identity.
void songIdentityFromPath(const char16_t* path, SSongIdentity* out);

// The whole file for the header and its band values (trailer included), in a new 32-byte
// aligned block (std::free). False when the header holds no frames or bands, the file would
// reach 4 GiB, or there is no memory for the block.
bool buildSpectralCacheImage(const SSpectrumHeader& header, u8** outBlock, u32* outSize);
// Room for the band values of F frames of B bands in a new block (std::free) laid out as their
// cache file: the values start where the file's do, so writeSpectrumCache can fill in the rest
// and write the block without copying them. Null when out of memory, F or B is 0, or the file
// would reach 4 GiB.
u8* allocateSpectralCacheBlock(u32 frameCount, u32 bandCount, f32** outBandValues);
// True when the image is a sound cache file; outHeader then holds its words (both references
// null). Checks, in order: the trailer, the size above 9, the magic, the version, then that B is
// 1 to 32, the size is 68 + 4F + 4BF + 32, the table offset is 68 and every entry is
// 68 + 4F + 4B i, that rate, hop, window, transform size, Nyquist, frame duration and B are those
// of the frame geometry, channels 1 or 2, bytes per sample 1 to 4, the duration finite and
// positive, and every band value in [0, 1].
bool validateSpectralCacheImage(const u8* image, u32 size, SSpectrumHeader* outHeader);

// Writes the current analysis's frames to a temporary name beside the file and renames it into
// place, so a reader never meets a half-written file. Nothing is reported on failure.
void writeSpectrumCache(const char16_t* path, const SSongIdentity& identity);
// 1 when the file was found, verified and taken as the current analysis (earlier tables are
// released; the band values then live in the loaded image), else 0 with the state untouched.
// The caller sets loadedFromCache. `path` (the music file) does not take part in the name.
s32 readSpectrumCache(const char16_t* path, const SSongIdentity& identity);
