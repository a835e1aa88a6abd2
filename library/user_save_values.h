// The ranges of the user save's values, and how a value outside its range is mended as the
// field's meaning says, so that a save holding one still loads with everything else it holds:
// - a flag word is on when not 0 (as every reader takes it): it reads as 1;
// - a number with a range is clamped into it (a sensitivity, the boss stage, an item's level,
//   a barrel-phase count, a best score or score target below 0), or reads as the default where
//   no nearest value exists (a sensitivity that is not a number, an ambient layout past 4);
// - a text holding a character no writer puts there is dropped with what depends on it: a log-in
//   name with its password digest, an equipped item that is not owned, a collectible without a
//   key, a song's tag; a song whose path is lost is dropped, having nothing left to find it by;
// - a value only an analysis or a play makes again is given back to it: a song whose analysis
//   values do not hold is analysed again, and the score fields a play settles are settled again
//   (the best scores stay);
// - a value derived from another (a collectible's key hash) is derived again.
// Only damage to the layout itself (counts, lengths, the digest) sets the whole save aside.
#pragma once

#include "audio/analysis/spectrum_analysis.h"
#include "core/types.h"

struct SSavedOptions;
struct SSongLibrary;
struct SSongRecord;

// The values mended in one read; the read says on stderr how many and which came first.
struct SSaveMends {
    u32 count = 0;
    const char* first = nullptr;
    void note(const char* what);
};

// A song's duration is never longer than this, seconds (twice the longest song analysed).
constexpr f32 SONG_DURATION_LIMIT = 2.0f * f32(SPECTRUM_MAX_DURATION_MS) / 1000.0f;
// A song's wave generator is restored by stepping over this many draws at most.
constexpr u32 SONG_RANDOM_DRAWS_LIMIT = 1u << 20;
// A score scale above this would overflow the points of a play.
constexpr f32 SONG_SCORE_SCALE_LIMIT = 100.0f;

void mendSavedOptions(SSavedOptions* options, SSaveMends* mends);
// The log-in name, whose text read whole (nameWhole) or lost a character no writer puts there.
void mendCredentials(SSongLibrary* library, bool nameWhole, SSaveMends* mends);
void mendBossState(SSongLibrary* library, SSaveMends* mends);
// The collectibles (each with its key read whole or emptied) and then the equipped items.
void mendProfile(SSongLibrary* library, SSaveMends* mends);
// False when nothing sensible of the song is left: the record is dropped.
bool mendSong(SSongRecord* song, SSaveMends* mends);
