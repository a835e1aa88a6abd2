// The string table image (".lang"): its layout, the checks the game makes before it trusts an
// image, the look-up by id hash, and the image the string-table writer builds. Both sides use
// this module so that they cannot drift.
//
// The table has the relocatable shape of the package table of contents (core/package_format.h),
// with a text as each record's payload. Words are little-endian and 32 bits; offsets are from
// the start of the image:
//
//   0x00 offset of the record-offset array     0x04 0 (not read)
//   0x08 record count N                        0x0C 0 (not read)
//   array: N record offsets, ascending by id hash compared as SIGNED integers
//   record (12 bytes): +0 text offset  +4 offset of the UTF-8 key (for tooling; 0 when none)
//                      +8 id hash = crc32TextNoCase(key)
//   text: UTF-16LE units ending with a 0 unit
//
// The writer puts every text at an even offset; a reader must still accept odd ones.
#pragma once

#include "core/package_format.h"
#include "core/types.h"

#include <string>
#include <vector>

constexpr u32 STRING_TABLE_HEADER_SIZE = 16;
constexpr u32 STRING_TABLE_RECORD_SIZE = 12;

enum EStringTableError : u32 {
    E_STRINGTABLE_OK = 0,
    E_STRINGTABLE_TOO_SHORT,
    E_STRINGTABLE_ARRAY_PAST_END,
    E_STRINGTABLE_RECORD_PAST_END,
    E_STRINGTABLE_NOT_SORTED,
    E_STRINGTABLE_TEXT_PAST_END,      // a text offset at or beyond the last whole unit
    E_STRINGTABLE_TEXT_UNTERMINATED,  // no 0 unit between a text's start and the image's end
};

const char* stringTableErrorText(EStringTableError error);

struct SStringTableView {
    SRelocTableView table;
    bool hasOddTexts = false;  // some text starts at an odd offset
};

// Checks the table shape, every text offset and every text's terminator. Linear in the image
// size, however many records share a text. On failure the view is left empty.
EStringTableError stringTableOpen(SStringTableView* view, const void* image, u64 imageSize);

// Index of a record holding the id hash (signed binary search), or -1.
s32 stringTableFind(const SStringTableView& view, u32 idHash);
u32 stringTableTextOffsetAt(const SStringTableView& view, u32 index);

// ---------------------------------------------------------------------------------------------
// Building an image (the writer's side)

struct SStringTableInput {
    u32 idHash = 0;
    const char16_t* text = nullptr;  // terminated; must hold no 0 unit before its end
    const char* key = nullptr;       // stored for tooling when not null
};

enum EStringTableBuildError : u32 {
    E_STRINGTABLEBUILD_OK = 0,
    E_STRINGTABLEBUILD_DUPLICATE_HASH,  // two inputs share an id hash
    E_STRINGTABLEBUILD_TOO_LARGE,       // the image would reach 4 GiB
};

struct SStringTableBuildResult {
    EStringTableBuildError error = E_STRINGTABLEBUILD_OK;
    u32 firstIndex = 0;  // both holders of a duplicate hash
    u32 secondIndex = 0;
};

// Writes the image, records sorted by signed id hash. No inputs give a valid empty table. The
// output is cleared on failure.
SStringTableBuildResult stringTableBuild(const SStringTableInput* inputs, u32 count,
                                         std::vector<u8>* outImage);
