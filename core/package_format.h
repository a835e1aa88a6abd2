// The package table of contents (".mtc"): its layout, the checks a reader makes before it trusts
// an image, the look-up by path hash, and the image a writer builds. The game's package reader
// and the package writer in tools/ both use this module, so the two cannot drift.
//
// Every word is little-endian and 32 bits; every offset is from the start of the image.
//
//   0x00 offset of the record-offset array     0x04 format tag (not read)
//   0x08 record count N                        0x0C 0 (not read)
//   array: N record offsets, ascending by the records' keys compared as SIGNED integers
//   record (12 bytes):      +0 payload offset  +4 (free)  +8 key
//   descriptor (28 bytes):  +0 compressed flag  +4 enciphered flag  +8 offset in the ".mdf"
//                           +12 (free)  +16 unpacked size  +20 zlib stream length
//                           +24 ciphertext length (a multiple of 16)
//
// In a package the key is the path hash and the payload is the entry descriptor; the writer puts
// the offset of the path text (a pool at the end of the image) in the free record word so that
// a listing can show names. The string tables use the same table shape with other payloads,
// which is why the view below knows nothing about descriptors.
//
// The image is never changed: offsets are resolved against the image's address whenever they
// are used, and never stored back as addresses.
#pragma once

#include "core/types.h"

#include <vector>

// ---------------------------------------------------------------------------------------------
// Little-endian words at any byte position

u32 loadLe32(const u8* bytes);
void storeLe32(u8* bytes, u32 value);

// ---------------------------------------------------------------------------------------------
// The relocatable table view: header word 0 = array offset, word 2 = count; record word 0 =
// payload offset, word 2 = key.

constexpr u32 RELOC_TABLE_HEADER_SIZE = 12;  // the words a reader needs; writers emit 16
constexpr u32 RELOC_TABLE_MIN_RECORD_SIZE = 12;

enum ERelocTableError : u32 {
    E_RELOCTABLE_OK = 0,
    E_RELOCTABLE_TOO_SHORT,       // smaller than the header, or 4 GiB or more
    E_RELOCTABLE_ARRAY_PAST_END,  // array offset + 4N beyond the image
    E_RELOCTABLE_RECORD_PAST_END, // a record offset + record size beyond the image
    E_RELOCTABLE_NOT_SORTED,      // keys not ascending as signed integers
};

struct SRelocTableView {
    const u8* image = nullptr;
    u32 imageSize = 0;
    u32 arrayOffset = 0;
    u32 count = 0;
};

// Checks the header, the array and every record against the image size, and the order of the
// keys. On failure the view is left empty (count 0), so a look-up in it simply misses.
ERelocTableError relocTableOpen(SRelocTableView* view, const void* image, u64 imageSize,
                                u32 recordSize);

// Accessors for index < count of a view that opened.
u32 relocTableRecordOffset(const SRelocTableView& view, u32 index);
u32 relocTablePayloadOffset(const SRelocTableView& view, u32 index);
u32 relocTableKey(const SRelocTableView& view, u32 index);
// Any word of a record (word 1 is the free one), for payload kinds that use it.
u32 relocTableRecordWord(const SRelocTableView& view, u32 index, u32 word);

// Binary search comparing keys as signed integers (low and high inclusive, mid = (low + high) / 2).
// The index of a record holding the key, or -1.
s32 relocTableFind(const SRelocTableView& view, u32 key);

// ---------------------------------------------------------------------------------------------
// Package tables of contents

constexpr u32 PACKAGE_TABLE_HEADER_SIZE = 16;
constexpr u32 PACKAGE_RECORD_SIZE = 12;
constexpr u32 PACKAGE_DESCRIPTOR_SIZE = 28;
constexpr u32 PACKAGE_CIPHER_BLOCK_SIZE = 16;
constexpr u32 PACKAGE_FORMAT_TAG = 0x3143544Du;  // "MTC1"
// The data file of a package may be missing at mount; its entries are then checked when opened.
constexpr u64 PACKAGE_DATA_SIZE_UNKNOWN = ~u64(0);

// An entry descriptor as decoded from the image.
struct SPackageEntry {
    u32 compressed = 0;      // non-zero: the stored bytes are a zlib stream
    u32 enciphered = 0;      // non-zero: the stored bytes are AES-128-CBC ciphertext
    u32 dataOffset = 0;      // of the stored bytes in the ".mdf"
    u32 size = 0;            // after unpacking; the size callers see
    u32 compressedSize = 0;  // length of the zlib stream
    u32 encipheredSize = 0;  // length of the ciphertext
};

// The bytes the entry occupies in the data file: the ciphertext when enciphered, else the zlib
// stream when compressed, else the file itself.
u32 packageEntryStoredSize(const SPackageEntry& entry);

enum EPackageTableError : u32 {
    E_PACKAGETABLE_OK = 0,
    E_PACKAGETABLE_TOO_SHORT,
    E_PACKAGETABLE_ARRAY_PAST_END,
    E_PACKAGETABLE_RECORD_PAST_END,
    E_PACKAGETABLE_NOT_SORTED,
    E_PACKAGETABLE_DESCRIPTOR_PAST_END,
    E_PACKAGETABLE_BAD_CIPHER_LENGTH,  // ciphertext empty or not a multiple of 16
    E_PACKAGETABLE_BAD_SIZES,          // an empty zlib stream, or plaintext shorter than its use
    E_PACKAGETABLE_DATA_PAST_END,      // stored bytes beyond the end of the data file
};

const char* packageTableErrorText(EPackageTableError error);

struct SPackageTableView {
    SRelocTableView table;
};

// Checks everything the reader will touch: the table shape (above), each descriptor within the
// image, each entry's sizes, and, unless the data size is PACKAGE_DATA_SIZE_UNKNOWN, each
// entry's stored bytes within the data file. On failure the view is left empty.
EPackageTableError packageTableOpen(SPackageTableView* view, const void* image, u64 imageSize,
                                    u64 dataFileSize);

// The checks an entry must pass, apart from the data-file bound.
EPackageTableError packageEntryCheck(const SPackageEntry& entry);
// Whether the entry's stored bytes lie within a data file of the given size.
bool packageEntryFitsDataFile(const SPackageEntry& entry, u64 dataFileSize);

u32 packageTableCount(const SPackageTableView& view);
// The entry and path hash of record index (< count).
SPackageEntry packageTableEntryAt(const SPackageTableView& view, u32 index);
u32 packageTableHashAt(const SPackageTableView& view, u32 index);
// The stored path text of record index, or null when there is none or it is not terminated
// inside the image.
const char* packageTablePathAt(const SPackageTableView& view, u32 index);
// True and the entry when the path hash is in the table.
bool packageTableFind(const SPackageTableView& view, u32 pathHash, SPackageEntry* outEntry);

// ---------------------------------------------------------------------------------------------
// Building a table image (the writer's side)

struct SPackageTableInput {
    u32 pathHash = 0;
    SPackageEntry entry;
    const char* pathText = nullptr;  // stored for listings when not null
};

enum EPackageBuildError : u32 {
    E_PACKAGEBUILD_OK = 0,
    E_PACKAGEBUILD_DUPLICATE_HASH,  // two inputs share a path hash
    E_PACKAGEBUILD_TOO_LARGE,       // the image would reach 4 GiB
    E_PACKAGEBUILD_BAD_ENTRY,       // an entry fails packageEntryCheck
};

struct SPackageBuildResult {
    EPackageBuildError error = E_PACKAGEBUILD_OK;
    // The inputs at fault: both holders of a duplicate hash, or the bad entry (twice).
    u32 firstIndex = 0;
    u32 secondIndex = 0;
};

// Writes the table image for the inputs, records sorted by signed path hash. The output is
// cleared on failure.
SPackageBuildResult packageTableBuild(const SPackageTableInput* inputs, u32 count,
                                      std::vector<u8>* outImage);
