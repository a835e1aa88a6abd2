// The check of a song's analysis caches before it is played.
#pragma once

#include "core/types.h"

struct SSongRecord;

// 0 when the song cannot be played: no record, no path, an analysis that failed, or a music file
// that is no longer there (the record is then marked failed, "cannot be opened", so the song
// list shows why). Otherwise 1, whether or not its caches exist: absent or damaged caches are
// rebuilt by the in-game entry's analysis.
s32 loadSongCaches(SSongRecord* record);
