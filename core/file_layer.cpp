#include "core/file_layer.h"

#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/file_completions.h"
#include "core/fixed_pool.h"
#include "platform/os/rename.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

ClFixedPool<SDiskFileSlot, DISK_FILE_SLOT_COUNT> g_diskFileSlots;
SCritSection* g_pFileSystemLock = nullptr;
bool g_bFileLayerReady = false;

class ClFileSystemLockScope {
public:
    ClFileSystemLockScope() { fileSystemLockEnter(); }
    ~ClFileSystemLockScope() { fileSystemLockLeave(); }
    ClFileSystemLockScope(const ClFileSystemLockScope&) = delete;
    ClFileSystemLockScope& operator=(const ClFileSystemLockScope&) = delete;
};

// Looks at no more than FILE_PATH_LIMIT units, so an unterminated path is refused, not overrun.
template <typename C>
bool pathAcceptable(const C* path) {
    if (!path || path[0] == 0) return false;
    for (u32 i = 1; i < FILE_PATH_LIMIT; ++i) {
        if (path[i] == 0) return true;
    }
    return false;
}

// Copies UTF-8 text, cut at a character boundary when it does not fit.
void copyUtf8Bounded(char* dest, u32 capacity, const std::string& text) {
    size_t length = text.size();
    if (length >= capacity) {
        length = capacity - 1;
        while (length > 0 && (u8(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(dest, text.data(), length);
    dest[length] = 0;
}

void storePath(SDiskFileSlot* slot, const char* path) { copyUtf8Bounded(slot->path, FILE_PATH_LIMIT, path); }
void storePath(SDiskFileSlot* slot, const char16_t* path) {
    copyUtf8Bounded(slot->path, FILE_PATH_LIMIT, osWideToUtf8(path));
}

// Whole-file writes go to path + ".tmp" and are renamed over the file once every byte is on
// the disk, so a crash or a full disk mid-write leaves the old file as it was.
constexpr char16_t TEMPORARY_SUFFIX[] = u".tmp";
constexpr u32 TEMPORARY_PATH_CAPACITY = FILE_PATH_LIMIT + sizeof(TEMPORARY_SUFFIX) / sizeof(char16_t);

// The path is acceptable, so it and the suffix fit.
void temporaryPathOf(const char16_t* path, char16_t (&out)[TEMPORARY_PATH_CAPACITY]) {
    u32 length = 0;
    for (; path[length] != 0; ++length) out[length] = path[length];
    for (u32 i = 0; TEMPORARY_SUFFIX[i] != 0; ++i) out[length++] = TEMPORARY_SUFFIX[i];
    out[length] = 0;
}

// Renames the written temporary over the file, or removes it when the write failed or the
// rename does; osLastError() keeps the first failure's code.
bool replaceByTemporary(const char16_t* temporary, const char16_t* path, bool written) {
    if (written) {
        ClFileSystemLockScope lock;
        if (osRenameFileW(temporary, path)) return true;
    }
    const u32 error = osLastError();
    osDeleteFile(osWideToUtf8(temporary).c_str());
    osSetLastError(error);
    return false;
}

SOsFile* openExisting(const char* path) { return osFileOpen(path, E_OSFILE_READ_EXISTING); }
SOsFile* openExisting(const char16_t* path) { return osFileOpenW(path, E_OSFILE_READ_EXISTING); }

void resetSlot(SDiskFileSlot* slot) {
    const u32 poolIndex = slot->poolIndex;
    *slot = SDiskFileSlot{};
    slot->poolIndex = poolIndex;
    slot->overlapped.user = slot;
}

// The slot pool is shared by every thread that reads disk files (the main thread, and the song
// analysis on the scan thread): taking and returning a slot happens under the file-system lock.
// A slot's reads are issued and completed on the thread that opened it.
// Releases move other slots' pool indices, so a taken slot is also reset under the lock.
SDiskFileSlot* takeSlot() {
    ClFileSystemLockScope lock;
    SDiskFileSlot* slot = g_diskFileSlots.take();
    if (slot) resetSlot(slot);
    return slot;
}

void releaseSlot(SDiskFileSlot* slot) {
    ClFileSystemLockScope lock;
    g_diskFileSlots.release(slot);
}


template <typename C>
u32 openDiskFile(const C* path, u32* outSize, SDiskFileSlot** outSlot) {
    if (!pathAcceptable(path)) return E_FILESTATUS_BAD_PATH;
    SDiskFileSlot* slot = takeSlot();
    if (!slot) return E_FILESTATUS_NO_FREE_OBJECT;
    storePath(slot, path);

    SOsFile* file;
    {
        ClFileSystemLockScope lock;
        file = openExisting(path);
    }
    if (!file) {
        releaseSlot(slot);
        return E_FILESTATUS_OPEN_FAILED;
    }
    u64 size = 0;
    if (!osFileGetSize(file, &size) || size >= DISK_FILE_SIZE_LIMIT || size == 0) {
        osFileClose(file);
        releaseSlot(slot);
        return size == 0 ? E_FILESTATUS_EMPTY_FILE : E_FILESTATUS_OPEN_FAILED;
    }
    slot->file = file;
    slot->size = u32(size);
    *outSize = slot->size;
    *outSlot = slot;
    return E_FILESTATUS_OK;
}

// Runs on the issuing thread in one of its alertable waits.
void pieceCompleted(u32 error, u32 bytes, SOsOverlapped* overlapped) {
    auto* slot = static_cast<SDiskFileSlot*>(overlapped->user);
    // The layer was shut down while the piece was in flight.
    if (!slot->pieceInFlight) return;
    const u32 expected = slot->pieceSize;
    slot->pieceSize = 0;
    slot->pieceInFlight = false;
    // A short piece means the file shrank since it was opened: the bytes are not all there.
    if (error == 0 && bytes != expected) error = E_OSERR_HANDLE_EOF;
    slot->readError = error;
}

bool issuePiece(SDiskFileSlot* slot, u64 offset, u8* buffer, u32 size) {
    slot->overlapped.offset = offset;
    slot->pieceSize = size;
    slot->pieceInFlight = true;
    if (osFileReadOverlapped(slot->file, buffer, size, &slot->overlapped, pieceCompleted)) return true;
    slot->pieceSize = 0;
    slot->pieceInFlight = false;
    return false;
}

bool readAcceptable(const SDiskFileSlot* slot, u32 offset, u32 size, const void* buffer) {
    return slot && slot->file && buffer && u64(offset) + size <= slot->size;
}

template <typename C>
u32 fileExists(const C* path) {
    if (!pathAcceptable(path)) return 0;
    SOsFile* file;
    {
        ClFileSystemLockScope lock;
        file = openExisting(path);
    }
    if (!file) return 0;
    osFileClose(file);
    return 1;
}

}  // namespace

void fileLayerInit() {
    if (g_bFileLayerReady) return;
    g_diskFileSlots.init();
    g_pFileSystemLock = critSectionCreateOrDie("file system");
    g_bFileLayerReady = true;
}

void fileLayerShutdown() {
    if (!g_bFileLayerReady) return;
    for (u32 i = 0; i < g_diskFileSlots.used; ++i) {
        SDiskFileSlot* slot = g_diskFileSlots.table[i];
        if (slot->file) osFileClose(slot->file);
        // A completion still queued finds no piece in flight and does nothing.
        resetSlot(slot);
    }
    g_diskFileSlots.releaseAll();
    critSectionDestroy(g_pFileSystemLock);
    g_pFileSystemLock = nullptr;
    g_bFileLayerReady = false;
}

void fileSystemLockEnter() { critSectionEnter(g_pFileSystemLock); }

void fileSystemLockLeave() { critSectionLeave(g_pFileSystemLock); }

u32 openDiskFileW(const char16_t* path, u32* outSize, SDiskFileSlot** outSlot) {
    return openDiskFile(path, outSize, outSlot);
}

u32 openDiskFileA(const char* path, u32* outSize, SDiskFileSlot** outSlot) {
    return openDiskFile(path, outSize, outSlot);
}

u32 closeDiskFile(SDiskFileSlot* slot) {
    if (!slot || !slot->file) return E_FILESTATUS_CLOSE_FAILED;
    const bool closed = osFileClose(slot->file);
    if (!closed) reportLastError();
    slot->file = nullptr;
    releaseSlot(slot);
    return closed ? E_FILESTATUS_OK : E_FILESTATUS_CLOSE_FAILED;
}

u32 readDiskFileBlocking(SDiskFileSlot* slot, u32 offset, u32 size, void* buffer) {
    if (!readAcceptable(slot, offset, size, buffer)) return E_FILESTATUS_READ_NOT_STARTED;
    slot->readError = 0;
    u8* const target = static_cast<u8*>(buffer);
    u32 done = 0;
    while (done < size) {
        const u32 piece = size - done < DISK_READ_PIECE_SIZE ? size - done : DISK_READ_PIECE_SIZE;
        if (!issuePiece(slot, u64(offset) + done, target + done, piece)) {
            slot->readError = reportLastError();
            return E_FILESTATUS_READ_NOT_STARTED;
        }
        while (slot->pieceInFlight) pumpFileCompletions();
        if (slot->readError != 0) return E_FILESTATUS_READ_NOT_STARTED;
        done += piece;
    }
    return E_FILESTATUS_OK;
}

u32 fileExistsA(const char* path) { return fileExists(path); }

u32 fileExistsW(const char16_t* path) { return fileExists(path); }

u32 writeWholeFileW(const char16_t* path, const void* buffer, u32 size) {
    if (!pathAcceptable(path)) return E_FILESTATUS_BAD_PATH;
    if (!buffer && size > 0) return E_FILESTATUS_WRITE_FAILED;
    char16_t temporary[TEMPORARY_PATH_CAPACITY];
    temporaryPathOf(path, temporary);
    SOsFile* file;
    {
        ClFileSystemLockScope lock;
        file = osFileOpenW(temporary, E_OSFILE_WRITE_CREATE);
    }
    if (!file) return E_FILESTATUS_WRITE_FAILED;
    u32 written = 0;
    bool ok = osFileWrite(file, buffer, size, &written) && written == size && osFileFlush(file);
    // A close can report a write that failed late (full disk, network file system).
    if (!osFileClose(file)) ok = false;
    return replaceByTemporary(temporary, path, ok) ? E_FILESTATUS_OK : E_FILESTATUS_WRITE_FAILED;
}

u32 createDirectoryW(const char16_t* path) {
    if (!pathAcceptable(path)) return 0;
    ClFileSystemLockScope lock;
    return osCreateDirectoryW(path) ? 1 : 0;
}

u32 reportLastError() {
    const u32 code = osLastError();
    if (code == 0) return 0;
    const std::string text = osErrorText(code);
    std::fprintf(stderr, "failed with error %d: %s\n", s32(code), text.c_str());
    return code;
}
