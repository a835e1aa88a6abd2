// The check of a song's analysis caches before it is played.
#pragma once

#include "core/types.h"

struct SSongRecord;

// 0 when the song cannot be played: no record, no path, an analysis that failed, or a music file
// that is no longer there (the record is then marked missing, keeping what the player earned,
// so the song list shows why and a rescan that finds it again makes it playable). Otherwise 1, whether or not its caches exist: absent or damaged caches are
// rebuilt by the in-game entry's analysis.
s32 loadSongCaches(SSongRecord* record);
