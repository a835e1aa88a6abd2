// Whole-file reads of game data for the texture and effect loaders: the mounted packages first,
// then the data directory on disk. Paths are relative to the data directory, with '\' or '/'.
#pragma once

#include "core/types.h"

#include <vector>

// True when a package holds the file or it can be opened under the data directory.
bool dataFileExists(const char* path);
// The whole file; false (out emptied) when neither holds it, it is empty, or a read fails.
bool readDataFile(const char* path, std::vector<u8>* out);
