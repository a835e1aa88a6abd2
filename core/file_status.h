// The status codes that the file layer and the packaged-file layer return. They travel as 32-bit
// words, next to system error codes in the asset loader's reports, so callers compare them with
// these values rather than switch on a typed enum.
#pragma once

#include "core/types.h"

enum EFileStatus : u32 {
    E_FILESTATUS_OK = 0,
    E_FILESTATUS_OPEN_FAILED = 1,        // cannot be opened, no such entry, or 4 GiB and larger
    E_FILESTATUS_BAD_PATH = 2,           // null, empty, or PATH_LIMIT units or more
    E_FILESTATUS_NO_FREE_OBJECT = 3,     // every disk-file slot or file object is in use
    E_FILESTATUS_READ_NOT_STARTED = 9,   // refused, could not be issued, or failed on the way
    E_FILESTATUS_WRITE_FAILED = 10,
    E_FILESTATUS_CLOSE_FAILED = 11,
    E_FILESTATUS_NOT_READY = 12,         // a file object with an operation in flight
    E_FILESTATUS_EMPTY_FILE = 13,
};

// Paths of this many units (bytes of UTF-8, or UTF-16 units) or more are refused.
constexpr u32 FILE_PATH_LIMIT = 768;
