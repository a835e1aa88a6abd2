// Localised text: the string tables of the chosen language, read whole from the mounted
// packages ("<language directory>Strings\<name>.lang"; never from loose files), searched by the
// name hash of a key, and formatted with "%d" and "%s" replaced.
//
// Loading and unloading run on the main thread before and after the frame loop; look-ups only
// read the loaded images and take no lock.
#pragma once

#include "core/string_table_format.h"
#include "core/types.h"

struct SAssetFile;

constexpr u32 STRING_TABLE_CAPACITY = 8;
// Units `intToWide` may write, terminator included: "-2147483648".
constexpr u32 INT_TO_WIDE_LENGTH = 12;

// A loaded table.
struct SStringTable {
    SAssetFile* file;  // owns the image; released with the table
    const u8* image;
    SStringTableView view;
    // Only for a table with texts at odd offsets: the image again, one byte further on, so that
    // every such text starts on a 2-byte boundary and can be handed out as char16_t text.
    u8* shiftedImage;
    u32 nameHash;  // crc32TextNoCase of the table name
    u32 poolIndex;
};

// Sets up the pool of tables. Called by the start-up before any table is loaded.
void stringTablesInit();
// Releases every table with its file object and image. Called by the shutdown.
void stringTablesShutdown();

// 1 when the table is now loaded, else 0: not set up, already loaded (the name is compared by
// hash), 8 tables loaded already, the file is missing (silently), cannot be read, or is damaged.
// A refused table keeps no file object and no image, and a damaged or refused one is named in a
// line on standard error.
u32 stringTableLoad(const char* name);
// The platform's own table, "Win32"; its texts win over those of tables loaded later.
u32 loadPlatformStringTable();

// The text of the first table, in load order, that holds the id hash; null when none does, so
// callers must supply their own fallback (an empty text or an English default). The text stays
// valid until `stringTablesShutdown`.
const char16_t* stringTableLookup(u32 idHash);
// The same by key name (crc32TextNoCase of the key).
const char16_t* getLocalisedString(const char* key);

// The formatting forms write the text of the id hash into out (capacity n units, terminator
// included), with each "%d" or "%s" replaced; any other '%' is copied as it stands.
//
// 0 when no table holds the id: out is then empty (when n > 0). Otherwise 1. A text that does
// not fit is cut at a unit boundary (never between the halves of a surrogate pair), terminated,
// and reported on standard error; it never stops the program.
//
// Every "%d" takes value.
u32 formatLocalisedInt(char16_t* out, u32 n, u32 idHash, s32 value);
// The first "%d" takes first, every later "%d" takes second.
u32 formatLocalisedTwoInts(char16_t* out, u32 n, u32 idHash, s32 first, s32 second);
// Every "%s" takes the narrow text, each byte widened to the unit of the same value.
u32 formatLocalisedNarrowString(char16_t* out, u32 n, u32 idHash, const char* narrow);
u32 formatLocalisedIntByKey(char16_t* out, u32 n, const char* key, s32 value);
u32 formatLocalisedNarrowStringByKey(char16_t* out, u32 n, const char* key, const char* narrow);

// Decimal digits with a leading '-' when negative, no padding; out holds INT_TO_WIDE_LENGTH
// units.
void intToWide(s32 value, char16_t* out);
