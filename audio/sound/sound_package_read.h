// Whole-file reads from the mounted packages for the sound engine's data: banks, timelines and
// memory samples are read from the packages only, never from loose files.
#pragma once

#include "core/types.h"

struct SAssetFile;

// The sound data's user word on the file objects it reads.
constexpr u32 SOUND_FILE_USER_WORD = 7;

// Opens the path (relative to the data directory) in the mounted packages and reads it whole
// into buffers of the alignment; the data file is closed again. The file object holding the
// bytes (in `data`, *outSize of them), or null when the file is not in the packages or cannot be
// read. Release it with releaseAssetFile.
SAssetFile* readWholePackagedFile(const char* path, u32 alignment, u32* outSize);
