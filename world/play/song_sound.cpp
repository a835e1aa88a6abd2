#include "world/play/song_sound.h"

#include "audio/play/song_clock.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"

#include <cstdio>
#include <new>

namespace {

SSoundDefinition g_SongSound;

// Splits at the last '\' or '/' (the folder keeps it, so the name can follow it directly).
bool splitSongPath(const char16_t* path, char16_t* folder, char16_t* name) {
    const char16_t* back = wstrFindLastChar(path, u'\\');
    const char16_t* forward = wstrFindLastChar(path, u'/');
    const char16_t* separator = back;
    if (forward && (!separator || forward > separator)) separator = forward;
    const char16_t* file = separator ? separator + 1 : path;
    folder[0] = 0;
    if (wstrCopyN(name, file, SONG_PATH_PART_LENGTH) != E_TEXTCOPY_COMPLETE) return false;
    const u32 folderLength = static_cast<u32>(file - path);
    if (folderLength >= SONG_PATH_PART_LENGTH) return false;
    for (u32 i = 0; i < folderLength; ++i) folder[i] = path[i];
    folder[folderLength] = 0;
    return true;
}

// The name copies the definition still owns: after a failed creation no loaded sound holds
// them, so unloading does not free them.
void freeOwnedNames(SSoundDefinition& definition) {
    if (!definition.wideNames) return;
    for (char16_t*& name : definition.wideFileNames) {
        delete[] name;
        name = nullptr;
    }
}

}  // namespace

u32 prepareSongSound(const char16_t* path, f32 durationSeconds, f32 sampleRate) {
    char16_t folder[SONG_PATH_PART_LENGTH];
    char16_t name[SONG_PATH_PART_LENGTH];
    if (!path || !splitSongPath(path, folder, name)) {
        std::fprintf(stderr, "prepareSongSound: the song's path is too long to open\n");
        return 0;
    }

    unloadSoundDefinition(&g_SongSound, 1);
    freeOwnedNames(g_SongSound);
    g_SongSound = SSoundDefinition{};

    const u32 length = wstrLength(name);
    char16_t* copy = new (std::nothrow) char16_t[length + 1];
    if (!copy) return 0;
    wstrCopy(copy, name);
    g_SongSound.wideNames = 1;
    g_SongSound.wideFileNames[0] = copy;
    wstrToNarrowN(g_SongSound.fileNames[0], name, SOUND_SAMPLE_NAME_SIZE);
    g_SongSound.lengths[0] = durationSeconds;
    g_SongSound.defaultFrequencies[0] = sampleRate;
    g_SongSound.weights[0] = 1.0f;
    g_SongSound.stream = 1;
    g_SongSound.volume = SSoundRandomValue{1.0f, 0, 1.0f, 1.0f};
    g_SongSound.pitch = SSoundRandomValue{1.0f, 0, 1.0f, 1.0f};
    g_SongSound.scaleCount = 2;
    g_SongSound.scaleSlots[0] = E_SOUNDSCALE_MUSIC;
    g_SongSound.scaleSlots[1] = E_SOUNDSCALE_SONG_VOLUME;
    g_SongSound.sampleCount = 1;
    g_SongSound.nameHash = crc32TextNoCase(SONG_CUE_NAME);
    return createMusicFileSound(path, &g_SongSound, folder, 1) == 1 ? 1u : 0u;
}

u32 startSongCue() {
    const SCueHandle cue = playCueHeld(SONG_CUE_NAME);
    setSongCue(cue);
    return cue ? 1u : 0u;
}

const SSoundDefinition& getSongSoundDefinition() { return g_SongSound; }
