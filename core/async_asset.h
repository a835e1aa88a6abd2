// The asynchronous asset loader: a queue of whole-file loads that open, read and close one file
// at a time without blocking, then report to their requesters with the data or with the stage
// and code of the failure.
//
// Everything runs on the main thread. The file operations finish in completion routines that
// run inside its alertable waits; they only leave a status for the state machine, which moves
// the current load on one step per `stepAsyncAssetLoader`.
//
// A load reads either a loose disk file (through the file layer) or a packaged file, through the
// source installed with `setAsyncAssetPackageSource`. Without a source every packaged load
// fails at the open with E_FILESTATUS_OPEN_FAILED, as a path in no package does.
#pragma once

#include "core/file_status.h"
#include "core/intrusive_list.h"
#include "core/types.h"

struct SAsyncAssetEntry;

using AsyncAssetDoneFn = void (*)(SAsyncAssetEntry* entry, void* user);
using AsyncAssetFailedFn = void (*)(SAsyncAssetEntry* entry, void* user, s32 stage, u32 error);

enum EAsyncAssetState : s32 {
    E_ASYNCASSET_RELEASED = -1,
    E_ASYNCASSET_QUEUED = 0,
    E_ASYNCASSET_OPENING = 1,
    E_ASYNCASSET_READING = 2,
    E_ASYNCASSET_CLOSING = 3,
    E_ASYNCASSET_DONE = 4,
    E_ASYNCASSET_FAILED = 5,
};

enum EAsyncAssetStage : s32 {
    E_ASYNCSTAGE_NONE = -1,
    E_ASYNCSTAGE_BUFFER = 1,
    E_ASYNCSTAGE_OPEN = 2,
    E_ASYNCSTAGE_READ = 3,
};

// The data buffers of loads are aligned to this many bytes.
constexpr u32 ASYNC_ASSET_ALIGNMENT = 16;

struct alignas(16) SAsyncAssetEntry : ClListNode {
    // Package loads hand it to the file object as its user word; on disk loads non-zero means
    // the loader frees the data buffer at release (else the requester frees it with std::free).
    u32 ownership = 0;
    void* data = nullptr;
    u32 size = 0;
    void* file = nullptr;  // the package source's file object, kept once the load is done
    u32 key = 0;           // name hash of the path
    char path[FILE_PATH_LIMIT] = {};
    s32 state = E_ASYNCASSET_QUEUED;
    s32 stage = E_ASYNCSTAGE_NONE;
    u32 error = 0;  // a file status or a system error code
    AsyncAssetDoneFn onDone = nullptr;
    AsyncAssetFailedFn onFail = nullptr;
    AsyncAssetDoneFn onExtra = nullptr;  // accepted from the requester, never called
    void* user = nullptr;
    bool doneReported = false;
    bool failReported = false;
    bool disk = false;
    u8* callerBlock = nullptr;  // owned copy
    u32 callerBlockSize = 0;
};

using AsyncSourceOpenedFn = void (*)(void* file, u32 size, void* user);
using AsyncSourceDoneFn = void (*)(void* user);
using AsyncSourceFailedFn = void (*)(u32 stage, u32 error, void* user);

// What the loader needs of the packaged-file layer. A file is an opaque object of the source.
// Every callback may run inside the call that starts the operation or later, in an alertable
// wait of the main thread; each started operation ends in exactly one of its two callbacks.
class IAsyncAssetSource {
public:
    virtual ~IAsyncAssetSource() = default;

    // Finds the path and starts opening it; on success the file is stored through outFile
    // before the call returns and on-open reports its size. A non-zero status means nothing
    // was started (outFile may still hold a file, which the loader then closes and releases).
    virtual u32 openAsync(const char* path, void** outFile, AsyncSourceOpenedFn onOpen, AsyncSourceFailedFn onFail,
                          void* user) = 0;
    // Allocates the file's data buffer of size bytes (and any work buffer) with the given
    // alignment; the user word is the requester's ownership word. False on failure.
    virtual bool prepareBuffers(void* file, u32 size, u32 alignment, u32 userWord) = 0;
    // Reads the whole file into its data buffer, unpacked: bytes that cannot be unpacked end in
    // on-fail. A non-zero status means nothing was started.
    virtual u32 readWholeAsync(void* file, u32 size, AsyncSourceDoneFn onDone, AsyncSourceFailedFn onFail,
                               void* user) = 0;
    virtual void* dataBuffer(void* file) = 0;
    // Closes the file's disk side; the data buffer stays. A non-zero status means nothing was
    // started.
    virtual u32 closeAsync(void* file, AsyncSourceDoneFn onClosed, AsyncSourceFailedFn onFail, void* user) = 0;
    // Closes the disk side at once, when no operation is in flight.
    virtual void closeNow(void* file) = 0;
    // Frees the file object and the buffers it owns.
    virtual void release(void* file) = 0;
};

// Null removes the source. The source must outlive every packaged load.
void setAsyncAssetPackageSource(IAsyncAssetSource* source);

// Queues a load at the tail and returns its entry, or null when memory runs out. The caller
// block, when its size is non-zero, is copied. A null path, or one of FILE_PATH_LIMIT bytes or
// more, makes a load that fails at the open with E_FILESTATUS_BAD_PATH.
SAsyncAssetEntry* createAsyncAsset(const char* path, void* user, AsyncAssetDoneFn onDone, AsyncAssetFailedFn onFail,
                                   AsyncAssetDoneFn onExtra, u32 ownership, bool disk, const void* callerBlock,
                                   u32 callerBlockSize);

// One step of the current load; picks the first queued entry when there is none.
void stepAsyncAssetLoader();

// 0 for null, else 1. An entry with a file operation in flight is first driven on (alertable
// waits, completions and steps) until that operation has ended; a queued entry is not waited
// for. Then the entry's data and file object are given back, and it is unlinked and freed.
u32 releaseAsyncAsset(SAsyncAssetEntry* entry);

// The entry being loaded, or null.
SAsyncAssetEntry* getCurrentAsyncAsset();
u32 getAsyncAssetCount();
