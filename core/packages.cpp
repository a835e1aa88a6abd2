#include "core/packages.h"

#include "core/cipher.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "core/name_hash.h"
#include "core/path_helpers.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Heap blocks are 16-byte aligned throughout; larger requests are honoured up to a page.
constexpr u32 MIN_BUFFER_ALIGNMENT = 16;
constexpr u32 MAX_BUFFER_ALIGNMENT = 4096;
constexpr u32 ASSET_FILE_USER_WORD = 4;

ClFixedPool<SPackage, PACKAGE_POOL_SIZE> g_packagePool;
ClFixedPool<SAssetFile, ASSET_FILE_POOL_SIZE> g_assetFilePool;

u32 bufferAlignment(u32 requested) {
    u32 alignment = MIN_BUFFER_ALIGNMENT;
    while (alignment < requested && alignment < MAX_BUFFER_ALIGNMENT) alignment <<= 1;
    return alignment;
}

// Null on failure. Never a zero-sized request: aligned_alloc wants a whole number of alignments.
u8* allocateAligned(u32 size, u32 alignment) {
    const u64 rounded = (u64(std::max(size, 1u)) + alignment - 1) / alignment * alignment;
    return static_cast<u8*>(std::aligned_alloc(alignment, size_t(rounded)));
}

bool formatPath(char* out, const char* first, const char* second, const char* third, const char* fourth) {
    const int length = std::snprintf(out, FILE_PATH_LIMIT, "%s%s%s%s", first, second, third, fourth);
    if (length < 0 || u32(length) >= FILE_PATH_LIMIT) return false;
    toBackslashes(out);
    return true;
}

bool assetFileInUse(const SAssetFile* file) {
    return file->poolIndex < g_assetFilePool.used && g_assetFilePool.table[file->poolIndex] == file;
}

// ---------------------------------------------------------------------------------------------
// Mounting

SPackage* packageWithId(u32 id) {
    for (u32 i = 0; i < g_packagePool.used; ++i)
        if (g_packagePool.table[i]->id == id) return g_packagePool.table[i];
    return nullptr;
}

void unloadPackage(SPackage* package) {
    std::free(package->tableImage);
    const u32 poolIndex = package->poolIndex;
    *package = SPackage{};
    package->poolIndex = poolIndex;
    g_packagePool.release(package);
}

// The size of the data file, or PACKAGE_DATA_SIZE_UNKNOWN when it cannot be opened: such a
// package still mounts, and its entries fail when opened.
u64 dataFileSize(const char* path) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    if (openDiskFileA(path, &size, &slot) != E_FILESTATUS_OK) return PACKAGE_DATA_SIZE_UNKNOWN;
    closeDiskFile(slot);
    return size;
}

// Reads and checks the table of contents. A missing table is silent; a damaged one is named.
bool loadTable(SPackage* package) {
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    const u32 status = openDiskFileA(package->tablePath, &size, &slot);
    if (status == E_FILESTATUS_OPEN_FAILED) return false;
    if (status != E_FILESTATUS_OK) {
        std::fprintf(stderr, "package %s refused: %s\n", package->tablePath,
                     status == E_FILESTATUS_EMPTY_FILE ? "the table of contents is empty" : "bad path");
        return false;
    }
    package->tableImage = allocateAligned(size, MIN_BUFFER_ALIGNMENT);
    if (!package->tableImage) {
        closeDiskFile(slot);
        std::fprintf(stderr, "package %s refused: no memory for its table of contents\n", package->tablePath);
        return false;
    }
    package->tableSize = size;
    const u32 readStatus = readDiskFileBlocking(slot, 0, size, package->tableImage);
    closeDiskFile(slot);
    if (readStatus != E_FILESTATUS_OK) {
        std::fprintf(stderr, "package %s refused: its table of contents cannot be read\n", package->tablePath);
        return false;
    }
    const EPackageTableError error =
        packageTableOpen(&package->table, package->tableImage, size, dataFileSize(package->dataPath));
    if (error != E_PACKAGETABLE_OK) {
        std::fprintf(stderr, "package %s refused: %s\n", package->tablePath, packageTableErrorText(error));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Look-up

// The package holding the path and its entry; status 0, 1 (no such package or entry) or 2.
u32 lookUp(const char* path, u32 packageId, SPackage** outPackage, SPackageEntry* outEntry) {
    *outPackage = nullptr;
    if (!path || path[0] == 0 || std::strlen(path) >= FILE_PATH_LIMIT) return E_FILESTATUS_BAD_PATH;
    char relative[FILE_PATH_LIMIT];
    std::memcpy(relative, path, std::strlen(path) + 1);
    // Entries are hashed with '\' only; a '/' could never match.
    toBackslashes(relative);
    removeDataDirPrefix(relative);
    const u32 hash = crc32TextNoCase(relative);

    if (packageId != PACKAGE_ID_ANY) {
        SPackage* package = packageWithId(packageId);
        if (!package || !package->mounted || !packageTableFind(package->table, hash, outEntry))
            return E_FILESTATUS_OPEN_FAILED;
        *outPackage = package;
        return E_FILESTATUS_OK;
    }
    for (u32 i = 0; i < g_packagePool.used; ++i) {
        SPackage* package = g_packagePool.table[i];
        if (package->mounted && packageTableFind(package->table, hash, outEntry)) {
            *outPackage = package;
            return E_FILESTATUS_OK;
        }
    }
    return E_FILESTATUS_OPEN_FAILED;
}

// A zero-filled object for the entry, or null when the pool is exhausted.
SAssetFile* takeAssetFile(SPackage* package, const SPackageEntry& entry) {
    SAssetFile* file = g_assetFilePool.take();
    if (!file) return nullptr;
    const u32 poolIndex = file->poolIndex;
    *file = SAssetFile{};
    file->poolIndex = poolIndex;
    file->userWord = ASSET_FILE_USER_WORD;
    file->entry = entry;
    file->package = package;
    return file;
}

void freeBuffers(SAssetFile* file) {
    if (file->bufferMode == 1) {
        std::free(file->data);
        std::free(file->work);
    }
    file->data = nullptr;
    file->work = nullptr;
    file->dataCapacity = 0;
    file->workCapacity = 0;
}

void freeWorkBuffer(SAssetFile* file) {
    if (file->bufferMode == 1) std::free(file->work);
    file->work = nullptr;
    file->workCapacity = 0;
}

// ---------------------------------------------------------------------------------------------
// Reading

bool isPacked(const SPackageEntry& entry) { return entry.compressed || entry.enciphered; }

// Whether a read of (offset, size) can go ahead: it must lie inside the entry, the buffers and
// the data file. Compressed and enciphered entries are read whole.
u32 checkRead(const SAssetFile* file, u32 offset, u32 size) {
    const SPackageEntry& entry = file->entry;
    if (!file->slot || !packageEntryFitsDataFile(entry, file->slot->size)) return E_FILESTATUS_READ_NOT_STARTED;
    if (!file->data) return E_FILESTATUS_READ_NOT_STARTED;
    if (!isPacked(entry)) {
        if (u64(offset) + size > entry.size || size > file->dataCapacity) return E_FILESTATUS_READ_NOT_STARTED;
        return E_FILESTATUS_OK;
    }
    if (offset != 0 || size != entry.size || file->dataCapacity < entry.size) return E_FILESTATUS_READ_NOT_STARTED;
    if (!file->work || file->workCapacity < packageEntryStoredSize(entry)) return E_FILESTATUS_READ_NOT_STARTED;
    return E_FILESTATUS_OK;
}

// Only a stream that inflates without error to exactly the unpacked size is good data.
u32 inflateInto(SAssetFile* file, const u8* stream) {
    uLongf length = file->entry.size;
    const int result = uncompress(file->data, &length, stream, file->entry.compressedSize);
    if (result != Z_OK || length != file->entry.size) return E_FILESTATUS_READ_NOT_STARTED;
    return E_FILESTATUS_OK;
}

// Turns the stored bytes in the work buffer into the file in the data buffer, and frees the
// work buffer.
u32 unpack(SAssetFile* file) {
    const SPackageEntry& entry = file->entry;
    u32 status = E_FILESTATUS_OK;
    if (entry.enciphered) {
        if (!file->package->hasKey)
            fatalErrorf("package %s: enciphered entry read without a key", file->package->tablePath);
        u8 iv[CIPHER_BLOCK_SIZE];
        makeZeroIvWithWord(iv, 0);
        u8* plain = nullptr;
        if (!decryptBuffer(file->work, entry.encipheredSize, &plain, file->package->key, iv)) {
            status = E_FILESTATUS_READ_NOT_STARTED;
        } else if (entry.compressed) {
            status = inflateInto(file, plain);
        } else {
            // The ciphertext is padded to whole blocks; the data buffer holds the file only.
            std::memcpy(file->data, plain, std::min(entry.size, entry.encipheredSize));
        }
        std::free(plain);
    } else if (entry.compressed) {
        status = inflateInto(file, file->work);
    }
    freeWorkBuffer(file);
    return status;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void packagesInit() {
    g_packagePool.init();
    g_assetFilePool.init();
}

void packagesShutdown() {
    while (g_assetFilePool.used > 0) releaseAssetFile(g_assetFilePool.table[g_assetFilePool.used - 1]);
    while (g_packagePool.used > 0) unloadPackage(g_packagePool.table[g_packagePool.used - 1]);
}

u32 archiveMount(const char* name, u32 alignmentWord, const char* keyText) {
    if (!name || name[0] == 0) return 0;
    const u32 id = crc32TextNoCase(name);
    SPackage* package = packageWithId(id);
    if (package && package->mounted) return 0;
    if (!package) {
        package = g_packagePool.take();
        if (!package) return 0;
    }
    const u32 poolIndex = package->poolIndex;
    *package = SPackage{};
    package->poolIndex = poolIndex;
    package->id = id;
    package->hasKey = keyText && keyText[0] != 0;
    makeKeyFromText(package->key, package->hasKey ? keyText : nullptr);
    package->bufferAlignment = bufferAlignment(alignmentWord);

    char base[FILE_PATH_LIMIT];
    const int baseLength = std::snprintf(base, sizeof base, "%s_%s", name, getPlatformName());
    const char* folder = "";
    bool pathsFit = baseLength > 0 && u32(baseLength) < sizeof base &&
                    formatPath(package->dataPath, getDataDir(), folder, base, ".mdf");
    if (pathsFit && !fileExistsA(package->dataPath)) {
        folder = PACKAGE_FALLBACK_FOLDER;
        pathsFit = formatPath(package->dataPath, getDataDir(), folder, base, ".mdf");
    }
    pathsFit = pathsFit && formatPath(package->tablePath, getDataDir(), folder, base, ".mtc");
    if (!pathsFit) {
        std::fprintf(stderr, "package %s refused: its path is too long\n", name);
        unloadPackage(package);
        return 0;
    }
    if (!loadTable(package)) {
        unloadPackage(package);
        return 0;
    }
    if (!package->hasKey) {
        for (u32 i = 0; i < packageTableCount(package->table); ++i)
            if (packageTableEntryAt(package->table, i).enciphered)
                fatalErrorf("package %s holds enciphered entries but was mounted without a key", package->tablePath);
    }
    package->mounted = true;
    return 1;
}

u32 openPackagedFile(const char* path, u32* outSize, SAssetFile** outFile, u32 packageId) {
    SPackage* package = nullptr;
    SPackageEntry entry;
    u32 status = lookUp(path, packageId, &package, &entry);
    if (status != E_FILESTATUS_OK) return status;
    SAssetFile* file = takeAssetFile(package, entry);
    if (!file) return E_FILESTATUS_NO_FREE_OBJECT;
    u32 dataSize = 0;
    status = openDiskFileA(package->dataPath, &dataSize, &file->slot);
    if (status != E_FILESTATUS_OK) {
        file->slot = nullptr;
        releaseAssetFile(file);
        return status;
    }
    if (outSize) *outSize = entry.size;
    if (outFile) *outFile = file;
    return E_FILESTATUS_OK;
}

u32 packagedFileExists(const char* path, u32 packageId) {
    SPackage* package = nullptr;
    SPackageEntry entry;
    return lookUp(path, packageId, &package, &entry) == E_FILESTATUS_OK ? 1 : 0;
}

u32 prepareAssetFileBuffers(SAssetFile* file, u32, u32 size, u32 alignment, u32 userWord) {
    if (!file) return 0;
    freeBuffers(file);
    file->userWord = userWord;
    const u32 packageAlignment = file->package ? file->package->bufferAlignment : 0;
    const u32 aligned = bufferAlignment(std::max(alignment, packageAlignment));
    const SPackageEntry& entry = file->entry;
    u32 workSize = 0;
    if (entry.enciphered && entry.compressed)
        workSize = std::max(entry.compressedSize, entry.encipheredSize);
    else if (entry.enciphered)
        workSize = entry.encipheredSize;
    else if (entry.compressed)
        workSize = entry.compressedSize;

    file->bufferMode = 1;
    file->data = allocateAligned(size, aligned);
    if (workSize > 0) file->work = allocateAligned(workSize, aligned);
    if (!file->data || (workSize > 0 && !file->work)) {
        freeBuffers(file);
        return 0;
    }
    file->dataCapacity = size;
    file->workCapacity = workSize;
    return 1;
}

u32 readAssetFile(SAssetFile* file, u32 offset, u32 size) {
    if (!file) return E_FILESTATUS_BAD_PATH;
    const u32 status = checkRead(file, offset, size);
    if (status != E_FILESTATUS_OK) return status;
    const SPackageEntry& entry = file->entry;
    if (!isPacked(entry)) {
        if (size == 0) return E_FILESTATUS_OK;
        return readDiskFileBlocking(file->slot, entry.dataOffset + offset, size, file->data);
    }
    if (readDiskFileBlocking(file->slot, entry.dataOffset, packageEntryStoredSize(entry), file->work) !=
        E_FILESTATUS_OK) {
        freeWorkBuffer(file);
        return E_FILESTATUS_READ_NOT_STARTED;
    }
    return unpack(file);
}

u32 closeAssetFileDisk(SAssetFile* file) {
    if (!file) return E_FILESTATUS_BAD_PATH;
    if (!file->slot) return E_FILESTATUS_OK;
    const u32 status = closeDiskFile(file->slot);
    file->slot = nullptr;
    return status;
}

u32 releaseAssetFile(SAssetFile* file) {
    if (!file || !assetFileInUse(file)) return E_FILESTATUS_BAD_PATH;
    if (file->slot) closeDiskFile(file->slot);
    file->slot = nullptr;
    freeBuffers(file);
    file->package = nullptr;
    g_assetFilePool.release(file);
    return 1;
}

u32 getMountedPackageCount() {
    u32 count = 0;
    for (u32 i = 0; i < g_packagePool.used; ++i)
        if (g_packagePool.table[i]->mounted) ++count;
    return count;
}

u32 getAssetFileCount() { return g_assetFilePool.used; }
