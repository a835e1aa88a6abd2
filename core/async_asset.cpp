#include "core/async_asset.h"

#include "core/fatal_error.h"
#include "core/file_completions.h"
#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/path_helpers.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// What the completion callbacks leave for the state machine.
enum EAsyncLoaderStatus : s32 {
    E_ASYNCLOADER_CONSUMED = -1,
    E_ASYNCLOADER_OPENED = 2,
    E_ASYNCLOADER_READ = 3,
    E_ASYNCLOADER_CLOSED = 4,
    E_ASYNCLOADER_FAILED = 5,
};

// releaseAsyncAsset drives a load in flight for this many 1 ms rounds before it only waits for
// the operation in flight to end.
constexpr u32 RELEASE_WAIT_ROUNDS = 60;

struct SAsyncAssetLoader {
    ClIntrusiveList entries;
    SAsyncAssetEntry* current = nullptr;
    IAsyncAssetSource* source = nullptr;  // of the current packaged load
    void* file = nullptr;                 // the current packaged load's file object
    SDiskFileSlot* slot = nullptr;        // the current disk load's slot
    s32 status = E_ASYNCLOADER_CONSUMED;
    bool changed = false;
    u32 lastError = 0;
};

SAsyncAssetLoader g_asyncAssetLoader;
IAsyncAssetSource* g_pAsyncAssetPackageSource = nullptr;

SAsyncAssetEntry* entryOf(void* user) { return static_cast<SAsyncAssetEntry*>(user); }

void reportStatus(s32 status) {
    g_asyncAssetLoader.status = status;
    g_asyncAssetLoader.changed = true;
    g_asyncAssetLoader.lastError = 0;
}

void reportFailure(SAsyncAssetEntry* entry, s32 stage, u32 error) {
    entry->stage = stage;
    entry->error = error;
    g_asyncAssetLoader.status = E_ASYNCLOADER_FAILED;
    g_asyncAssetLoader.changed = true;
    g_asyncAssetLoader.lastError = error;
}

// Completion callbacks of the package source.
void packageOpened(void* file, u32 size, void* user) {
    g_asyncAssetLoader.file = file;
    entryOf(user)->size = size;
    reportStatus(E_ASYNCLOADER_OPENED);
}
void packageOpenFailed(u32, u32 error, void* user) { reportFailure(entryOf(user), E_ASYNCSTAGE_OPEN, error); }
void packageRead(void* user) {
    entryOf(user)->data = g_asyncAssetLoader.source->dataBuffer(g_asyncAssetLoader.file);
    reportStatus(E_ASYNCLOADER_READ);
}
void packageReadFailed(u32, u32 error, void* user) { reportFailure(entryOf(user), E_ASYNCSTAGE_READ, error); }
// A close failure is not reported: the load still ends as done.
void packageClosed(void*) { reportStatus(E_ASYNCLOADER_CLOSED); }
void packageCloseFailed(u32, u32, void*) { reportStatus(E_ASYNCLOADER_CLOSED); }

// Completion callbacks of the disk-file layer.
void diskOpened(SDiskFileSlot* slot, u32 size, void* user) {
    g_asyncAssetLoader.slot = slot;
    entryOf(user)->size = size;
    reportStatus(E_ASYNCLOADER_OPENED);
}
void diskOpenFailed(SDiskFileSlot*, u32 status, void* user) { reportFailure(entryOf(user), E_ASYNCSTAGE_OPEN, status); }
void diskRead(SDiskFileSlot*, void*) { reportStatus(E_ASYNCLOADER_READ); }
void diskReadFailed(SDiskFileSlot*, u32 error, void* user) { reportFailure(entryOf(user), E_ASYNCSTAGE_READ, error); }
void diskClosed(SDiskFileSlot*, void*) {
    g_asyncAssetLoader.slot = nullptr;
    reportStatus(E_ASYNCLOADER_CLOSED);
}
void diskCloseFailed(SDiskFileSlot*, u32, void*) {
    g_asyncAssetLoader.slot = nullptr;
    reportStatus(E_ASYNCLOADER_CLOSED);
}

void consumeStatus() {
    g_asyncAssetLoader.status = E_ASYNCLOADER_CONSUMED;
    g_asyncAssetLoader.changed = false;
    g_asyncAssetLoader.lastError = 0;
}

void* allocateData(u32 size) {
    const size_t rounded = (size_t(size) + ASYNC_ASSET_ALIGNMENT - 1) & ~size_t(ASYNC_ASSET_ALIGNMENT - 1);
    return std::aligned_alloc(ASYNC_ASSET_ALIGNMENT, rounded);
}

// Gives back what the current load holds when it fails, so a failed load keeps no slot, no file
// object and no buffer that its requester never received. Called only when no operation of the
// load is in flight.
void abandonCurrentFiles(SAsyncAssetEntry* entry) {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    if (loader.file) {
        loader.source->closeNow(loader.file);
        loader.source->release(loader.file);
        loader.file = nullptr;
        entry->data = nullptr;
    }
    if (loader.slot) {
        closeDiskFile(loader.slot);
        loader.slot = nullptr;
    }
    if (entry->disk && entry->data) {
        std::free(entry->data);
        entry->data = nullptr;
    }
}

void failLoad(SAsyncAssetEntry* entry) {
    abandonCurrentFiles(entry);
    entry->state = E_ASYNCASSET_FAILED;
}

void failLoadAt(SAsyncAssetEntry* entry, s32 stage, u32 error) {
    entry->stage = stage;
    entry->error = error;
    g_asyncAssetLoader.lastError = error;
    failLoad(entry);
}

// The first queued entry after `from`, or from the head when `from` is null.
void chooseNextQueued(SAsyncAssetEntry* from) {
    ClListNode* node = from ? from->next : g_asyncAssetLoader.entries.getHead();
    while (node && static_cast<SAsyncAssetEntry*>(node)->state != E_ASYNCASSET_QUEUED) node = node->next;
    g_asyncAssetLoader.current = static_cast<SAsyncAssetEntry*>(node);
}

void startOpen(SAsyncAssetEntry* entry) {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    consumeStatus();
    if (entry->path[0] == 0) {
        failLoadAt(entry, E_ASYNCSTAGE_OPEN, E_FILESTATUS_BAD_PATH);
        return;
    }
    u32 result;
    if (entry->disk) {
        result = openDiskFileWithCallbacks(entry->path, diskOpened, entry, diskOpenFailed, entry);
    } else if (g_pAsyncAssetPackageSource) {
        loader.source = g_pAsyncAssetPackageSource;
        void* file = nullptr;
        result = loader.source->openAsync(entry->path, &file, packageOpened, packageOpenFailed, entry);
        loader.file = file;
    } else {
        result = E_FILESTATUS_OPEN_FAILED;
    }
    if (result != E_FILESTATUS_OK) {
        failLoadAt(entry, E_ASYNCSTAGE_OPEN, result);
        return;
    }
    entry->state = E_ASYNCASSET_OPENING;
}

void startRead(SAsyncAssetEntry* entry) {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    consumeStatus();
    u32 result;
    if (!entry->disk) {
        if (!loader.source->prepareBuffers(loader.file, entry->size, ASYNC_ASSET_ALIGNMENT, entry->ownership)) {
            failLoadAt(entry, E_ASYNCSTAGE_BUFFER, 0);
            return;
        }
        entry->state = E_ASYNCASSET_READING;
        result = loader.source->readWholeAsync(loader.file, entry->size, packageRead, packageReadFailed, entry);
    } else {
        entry->data = allocateData(entry->size);
        if (!entry->data) {
            failLoadAt(entry, E_ASYNCSTAGE_BUFFER, 0);
            return;
        }
        entry->state = E_ASYNCASSET_READING;
        result = readDiskFileAsync(loader.slot, 0, entry->size, entry->data, diskRead, entry, diskReadFailed, entry);
    }
    if (result != E_FILESTATUS_OK) failLoadAt(entry, E_ASYNCSTAGE_READ, result);
}

void startClose(SAsyncAssetEntry* entry) {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    consumeStatus();
    entry->state = E_ASYNCASSET_CLOSING;
    if (!entry->disk) {
        if (loader.source->closeAsync(loader.file, packageClosed, packageCloseFailed, entry) != 0) {
            loader.source->closeNow(loader.file);
            reportStatus(E_ASYNCLOADER_CLOSED);
        }
    } else if (closeDiskFileWithCallbacks(loader.slot, diskClosed, entry, diskCloseFailed, entry) != 0) {
        // The close callbacks forget the slot; one still held was never handed to them.
        if (loader.slot) closeDiskFile(loader.slot);
        loader.slot = nullptr;
        reportStatus(E_ASYNCLOADER_CLOSED);
    }
}

void finishLoad(SAsyncAssetEntry* entry) {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    if (!entry->disk) {
        entry->file = loader.file;
        entry->data = loader.source->dataBuffer(loader.file);
        loader.file = nullptr;
    }
    entry->state = E_ASYNCASSET_DONE;
}

bool operationInFlight(const SAsyncAssetEntry* entry) {
    return entry->state == E_ASYNCASSET_OPENING || entry->state == E_ASYNCASSET_READING ||
           entry->state == E_ASYNCASSET_CLOSING;
}

void driveCurrentLoad() {
    sleepAlertable(1);
    pumpFileCompletions();
    stepAsyncAssetLoader();
}

}  // namespace

void setAsyncAssetPackageSource(IAsyncAssetSource* source) { g_pAsyncAssetPackageSource = source; }

SAsyncAssetEntry* createAsyncAsset(const char* path, void* user, AsyncAssetDoneFn onDone, AsyncAssetFailedFn onFail,
                                   AsyncAssetDoneFn onExtra, u32 ownership, bool disk, const void* callerBlock,
                                   u32 callerBlockSize) {
    auto* entry = new (std::nothrow) SAsyncAssetEntry();
    if (!entry) return nullptr;
    if (callerBlock && callerBlockSize != 0) {
        entry->callerBlock = new (std::nothrow) u8[callerBlockSize];
        if (!entry->callerBlock) {
            delete entry;
            return nullptr;
        }
        std::memcpy(entry->callerBlock, callerBlock, callerBlockSize);
        entry->callerBlockSize = callerBlockSize;
    }
    // A path that does not fit stays empty, so the load fails at its open instead of opening
    // a cut-off path.
    if (path) {
        const size_t length = strnlen(path, FILE_PATH_LIMIT);
        if (length < FILE_PATH_LIMIT) std::memcpy(entry->path, path, length + 1);
        entry->key = crc32TextNoCase(path);
    }
    entry->ownership = ownership;
    entry->onDone = onDone;
    entry->onFail = onFail;
    entry->onExtra = onExtra;
    entry->user = user;
    entry->disk = disk;
    entry->state = E_ASYNCASSET_QUEUED;
    g_asyncAssetLoader.entries.pushBack(entry);
    return entry;
}

void stepAsyncAssetLoader() {
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    if (!loader.current) chooseNextQueued(nullptr);
    SAsyncAssetEntry* entry = loader.current;
    if (!entry) return;

    switch (entry->state) {
        case E_ASYNCASSET_QUEUED:
            startOpen(entry);
            break;
        case E_ASYNCASSET_OPENING:
            if (!loader.changed) return;
            if (loader.status != E_ASYNCLOADER_OPENED) {
                failLoad(entry);
            } else {
                startRead(entry);
            }
            break;
        case E_ASYNCASSET_READING:
            if (!loader.changed) return;
            if (loader.status != E_ASYNCLOADER_READ) {
                failLoad(entry);
            } else {
                startClose(entry);
            }
            break;
        case E_ASYNCASSET_CLOSING:
            if (!loader.changed) return;
            if (loader.status == E_ASYNCLOADER_CLOSED) {
                finishLoad(entry);
            } else {
                failLoad(entry);
            }
            break;
        case E_ASYNCASSET_DONE:
            chooseNextQueued(entry);
            if (entry->onDone) {
                entry->doneReported = true;
                entry->onDone(entry, entry->user);
            }
            break;
        case E_ASYNCASSET_FAILED:
            chooseNextQueued(entry);
            if (entry->onFail) {
                entry->failReported = true;
                entry->onFail(entry, entry->user, entry->stage, entry->error);
            }
            break;
        default:
            fatalErrorf("asset loader: \"%s\" is in the unknown state %d", entry->path, entry->state);
    }
}

u32 releaseAsyncAsset(SAsyncAssetEntry* entry) {
    if (!entry) return 0;
    SAsyncAssetLoader& loader = g_asyncAssetLoader;
    if (entry->state != E_ASYNCASSET_QUEUED) {
        for (u32 round = 0; round < RELEASE_WAIT_ROUNDS; ++round) {
            if (entry->state == E_ASYNCASSET_DONE || entry->state == E_ASYNCASSET_FAILED) break;
            driveCurrentLoad();
        }
        // Its completion would otherwise write into the freed entry and buffers.
        while (operationInFlight(entry)) {
            if (loader.current != entry) fatalErrorf("asset loader: \"%s\" is in flight but not current", entry->path);
            driveCurrentLoad();
        }
    }
    if (loader.current == entry) chooseNextQueued(entry);

    if (!entry->disk) {
        if (entry->file && g_pAsyncAssetPackageSource) g_pAsyncAssetPackageSource->release(entry->file);
    } else if (entry->ownership != 0 && entry->data) {
        std::free(entry->data);
    }
    entry->file = nullptr;
    entry->data = nullptr;
    entry->size = 0;
    delete[] entry->callerBlock;
    entry->callerBlock = nullptr;
    entry->callerBlockSize = 0;
    loader.entries.unlink(entry);
    entry->state = E_ASYNCASSET_RELEASED;
    delete entry;
    return 1;
}

SAsyncAssetEntry* getCurrentAsyncAsset() { return g_asyncAssetLoader.current; }

u32 getAsyncAssetCount() { return g_asyncAssetLoader.entries.getCount(); }
