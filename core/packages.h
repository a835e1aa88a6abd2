// Packages: data files stored one after another in "<NAME>_win32.mdf", found through the table
// of contents "<NAME>_win32.mtc" by the name hash of their path under the data directory. A found
// file is handed out as a file object (`SAssetFile`) that carries its buffers; its stored bytes
// may be a zlib stream and may be AES-128-CBC ciphertext, and both are undone on reading.
//
// Main thread only: the pools are not locked. Only the data-file opens take the file-system
// lock (in the file layer), and deciphering takes the cipher lock.
//
// The usual blocking sequence: `openPackagedFile`, `prepareAssetFileBuffers` (alignment 16),
// `readAssetFile` (offset 0, the whole size), `closeAssetFileDisk`, use the data buffer,
// `releaseAssetFile` when the data is no longer needed.
#pragma once

#include "core/file_layer.h"
#include "core/package_format.h"
#include "core/types.h"

constexpr u32 PACKAGE_POOL_SIZE = 16;
constexpr u32 ASSET_FILE_POOL_SIZE = 768;
constexpr u32 PACKAGE_KEY_SIZE = 16;
// Package id meaning "every mounted package, in mount order".
constexpr u32 PACKAGE_ID_ANY = 0xFFFFFFFFu;
// A sub-folder of the data directory that may hold both files of a package.
constexpr const char* PACKAGE_FALLBACK_FOLDER = "Mag/";

struct SPackage {
    bool mounted;
    u8* tableImage;  // the ".mtc" read whole; owned, never changed
    u32 tableSize;
    SPackageTableView table;
    u32 id;  // crc32TextNoCase of the name
    u8 key[PACKAGE_KEY_SIZE];
    bool hasKey;
    u32 bufferAlignment;  // the mount's alignment word: the least alignment of data buffers
    char dataPath[FILE_PATH_LIMIT];
    char tablePath[FILE_PATH_LIMIT];
    u32 poolIndex;
};


struct SAssetFile {
    u8* data;
    u32 dataCapacity;  // bytes the data buffer holds
    u8* work;          // the stored bytes of a compressed or enciphered entry
    u32 workCapacity;
    u32 userWord;
    u32 bufferMode;  // 1: the buffers belong to the object
    SDiskFileSlot* slot;  // the package's data file; null once closed
    SPackageEntry entry;
    SPackage* package;
    u32 poolIndex;
};

// Sets up the pools of package records and file objects. Called after `fileLayerInit`.
void packagesInit();
// Releases every file object (last first), then unloads every package (last first).
void packagesShutdown();

// Mounts "<name>_win32.mtc" and ".mdf" from the data directory, or from its "Mag/" folder when
// the data file is not in the data directory. 1 when mounted; 0 when already mounted, when 16
// packages are in use, when the package is missing, or when its table of contents is damaged
// (refused with one line on standard error naming the file). The key text (at most 15
// characters) deciphers enciphered entries; an enciphered entry in a package mounted without
// a key stops the program. The alignment word is the least alignment of the data buffers of
// the package's files.
u32 archiveMount(const char* name, u32 alignmentWord, const char* keyText);

// Status 0 with the unpacked size and a ready file object whose data file is open; 2 bad path,
// 1 no package with that id or no such entry, 3 every file object in use, or the data file's
// open status (1, 2, 13). The path is taken relative to the data directory; '/' counts as '\'.
u32 openPackagedFile(const char* path, u32* outSize, SAssetFile** outFile, u32 packageId);
u32 packagedFileExists(const char* path, u32 packageId);

// 1 or 0. Allocates the data buffer of size bytes and, for a compressed or enciphered entry,
// the work buffer for its stored bytes, with the given alignment (or the package's, when
// larger); earlier buffers of the object are freed first. 0 for a null object, or
// when an allocation fails (nothing stays allocated then). The offset is not used.
u32 prepareAssetFileBuffers(SAssetFile* file, u32 offset, u32 size, u32 alignment, u32 userWord);

// Reads into the data buffer: plain entries size bytes from the offset; compressed or
// enciphered entries whole (offset 0, size = the unpacked size), inflated and deciphered.
// 2 null, 0, or 9 when the read fails, the request does not fit the entry or the
// buffers, the stored bytes lie past the data file's end, the zlib stream does not inflate to
// exactly the unpacked size, or the ciphertext is not whole blocks.
u32 readAssetFile(SAssetFile* file, u32 offset, u32 size);
// 2 null; closes the data file (its status) and forgets it, else 0. The buffers stay.
u32 closeAssetFileDisk(SAssetFile* file);
// 2 null, else 1: frees the object's buffers, closes its data file, returns it to the pool.
u32 releaseAssetFile(SAssetFile* file);

// For tests and diagnostics.
u32 getMountedPackageCount();
u32 getAssetFileCount();
