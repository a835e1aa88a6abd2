// The user save's writer thread. saveWrite (user_save.h) encodes the save on the main thread and
// hands the bytes over; this thread adds the digest trailer and writes the file (writeDataFile),
// so that a frame never waits for the digest or the disk, whatever the library's size. A save
// handed over before the thread has begun the previous one replaces it: only the newest is
// written. Each write's outcome is noted as it ends (noteLibraryWrite).
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// The save's content (without its trailer) for the path. The thread runs while saves wait to be
// written and ends when none is left.
void handSaveToWriter(std::u16string path, std::vector<u8> content);
// Waits until every save handed over has been written or has failed, and the thread has ended.
void finishSaveWrites();
