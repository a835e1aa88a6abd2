// A short-lived thread that adds up the sizes of the song analysis caches ("VelodrixCache_*" in
// "SAVEDATA\" under the user-data directory), for the options screen.
#pragma once

#include "core/types.h"

// Starts a count unless one runs; false when the thread could not start or one runs already.
bool startCacheSizeCount();
// True once the last count finished; the total is then its bytes.
bool isCacheSizeCountDone();
u64 getCacheSizeTotal();
// Waits for a count that runs. Shutdown calls it before the file layer goes.
void joinCacheSizeThread();
