// The layer between the game and the system's file services: disk files read in overlapped
// pieces whose completions run on the issuing thread, whole-file writes, directory listings,
// existence tests. Every open goes through one global file-system lock.
//
// Narrow paths are UTF-8 and wide paths UTF-16, both with '\' separators; paths of
// FILE_PATH_LIMIT units or more are refused with E_FILESTATUS_BAD_PATH.
//
// A disk-file slot belongs to the thread that opened it: its reads are issued there, and their
// completion routines run there, inside its alertable waits (`pumpFileCompletions`,
// `osSleepEx`), never inside the call that issued the read. The pool of slots is shared
// under the file-system lock, so the main thread and the song analysis may open files at once.
#pragma once

#include "core/file_status.h"
#include "core/types.h"
#include "platform/os/os.h"

#include <string>

// Callers hold at most one open per packaged file plus the loader's own; 8 leaves headroom.
constexpr u32 DISK_FILE_SLOT_COUNT = 8;
// Reads are issued in pieces of at most this many bytes.
constexpr u32 DISK_READ_PIECE_SIZE = 0x100000;
// Files of this size or larger are refused: sizes and offsets of this layer are 32-bit.
constexpr u64 DISK_FILE_SIZE_LIMIT = u64(1) << 32;

// One open disk file and the read in flight on it. Zero-filled at each open.
struct SDiskFileSlot {
    SOsOverlapped overlapped;  // offset of the piece in flight; `user` is the slot
    SOsFile* file;             // null when closed
    u32 size;
    u32 pieceSize;
    bool pieceInFlight;
    u32 readError;             // the system error of the last failed read; 0 when none
    char path[FILE_PATH_LIMIT];  // UTF-8, for messages
    u32 poolIndex;
};

// Sets up the slot pool and takes the file-system lock from the lock pool (running out of pooled
// locks stops the program); a second call does nothing.
void fileLayerInit();
// Closes every slot still open, returns them all, and destroys the lock.
void fileLayerShutdown();

// Taken around every open, create and path resolution, by this layer and by the game's other
// direct file users (decoders, cache writers). Re-entrant; skipped before fileLayerInit.
void fileSystemLockEnter();
void fileSystemLockLeave();

// Status 0 with the size and the slot; 2 bad path, 3 no free slot, 1 cannot be opened or
// 4 GiB or larger, 13 size 0. Nothing is written to the outputs on failure.
u32 openDiskFileW(const char16_t* path, u32* outSize, SDiskFileSlot** outSlot);
u32 openDiskFileA(const char* path, u32* outSize, SDiskFileSlot** outSlot);
// The slot is released whatever the outcome: 0, or 11 when the close fails or the slot is not
// open.
u32 closeDiskFile(SDiskFileSlot* slot);

// Reads size bytes at the file offset into buffer in pieces of DISK_READ_PIECE_SIZE, issuing each
// and waiting for it in alertable waits of this thread (which also run its other completions).
// 0 when every byte arrived; 9 when the read is refused (a range past the file's end, no slot or
// buffer) or a piece cannot be issued, fails or comes back short.
u32 readDiskFileBlocking(SDiskFileSlot* slot, u32 offset, u32 size, void* buffer);

// 1 when the file can be opened for reading, else 0.
u32 fileExistsA(const char* path);
u32 fileExistsW(const char16_t* path);

// Writes the whole buffer to path + ".tmp" and renames it over the file once it is on the disk:
// 0, 2 bad path, or 10 when the create, the write, the flush, the close or the rename fails. A
// failed write leaves the file as it was and removes the temporary one.
u32 writeWholeFileW(const char16_t* path, const void* buffer, u32 size);

// Creates the directory and every missing parent: 1 when it exists afterwards, else 0.
u32 createDirectoryW(const char16_t* path);

// Writes "failed with error N: text" for this thread's last system error to standard error and
// returns the code; returns 0 and writes nothing when there is none. Never waits for anyone.
u32 reportLastError();
