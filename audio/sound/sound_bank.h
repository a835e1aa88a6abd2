// Sound banks ("Audio/<name>.iAudioSB", read from the mounted packages only) and music-file
// sounds: each definition gets a run-time instance with its sounds and channel groups while it
// is loaded. The sound engine (audio/sound_engine.h) must be running.
#pragma once

#include "core/types.h"

struct SSoundDefinition;

constexpr u32 SOUND_BANK_POOL_SIZE = 16;

// The flag must be 0 (anything else is fatal). 0 when a bank of that name is already loaded,
// 16 are loaded, the file is not in the packages, or it is damaged (one line on standard error
// naming the file; nothing of it is kept). A definition whose instance cannot be created is
// fatal. Returns 1.
s32 loadSoundBank(const char* name, u32 flag);
// Frees every instance of the bank (their voices stop, their cue handles go stale). 1, or 0 when
// no bank of that name hash is loaded.
s32 unloadSoundBank(u32 nameHash);
// The definition of the first entry with the hash, searching the banks in load order; null if
// none.
SSoundDefinition* findSoundInBanks(u32 nameHash);

// Makes the definition's instance: each sample is "<directory><file name>" (directory null: data
// directory + "Audio/"; the wide names when the definition has them). A streamed sample whose
// extension a codec handles plays through a music stream player; another streamed sample streams
// from its file; a memory sample is read from the packages. The definition's earlier instance is
// freed first. The path argument is not read. With the lock flag the whole call holds the FMOD
// lock. 1, or 0 when 32 music-file sounds exist. A sample that cannot be opened leaves its slot
// silent and is no failure.
s32 createMusicFileSound(const char16_t* path, SSoundDefinition* definition, const char16_t* directory, u32 lockFlag);
// Frees the instance of the music-file sound with the definition's name hash, its wide names when
// it owns them, and its record. 1, or 0 when none was loaded.
s32 unloadSoundDefinition(SSoundDefinition* definition, u32 lockFlag);
// The loaded music-file definition with the name hash, or null.
SSoundDefinition* findMusicFileSound(u32 nameHash);

// Engine start-up and shutdown.
void soundBanksInit();
void soundBanksShutdown();
