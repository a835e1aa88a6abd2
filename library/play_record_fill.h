// The world's play record (world/state/play_record.h) filled from the library before play, and
// what the world changed during play taken back afterwards.
#pragma once

#include "core/types.h"
#include "library/song_record.h"

// Fills g_PlayRecord for a play of the song at the difficulty: the song's identity, duration,
// saved wave generator state and score fields, the boss progress, the equipped item keys and
// the barrel-phase count; the saved water option becomes both the water flag and the boss
// state's corruption-sound-off flag. The generator parameter block is left null: the wave layer sets it.
// False, with the record untouched, when the index names no playable song or the difficulty is
// outside 0..5.
bool fillPlayRecordForSong(s32 songIndex, s32 difficulty);
// After play: the boss state the world wrote (beaten table, pending flag and identity, enabled
// and skip flags, met bytes, static-intro and corruption-sound flags) goes back into the
// library, and the score fields the wave layer settled into the song (its saved generator state
// stays). An index that names no song, or another song than the one played, takes back the
// boss state alone.
void collectPlayRecord(s32 songIndex);
// After play of a library song: the song is looked up by its identity, since the scan may have
// moved or removed records during play, and collectPlayRecord takes back its results. The
// song's current index, or -1 when it has left the library (the boss state alone is taken back
// then, and no song gets the play's scores).
s32 collectPlayRecordForSong(const SSongIdentity& played);
// Copies the library's boss state into the play record, so that the front end's progress
// queries see the saved progress. saveRead calls it.
void publishBossProgress();
