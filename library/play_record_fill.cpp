#include "library/play_record_fill.h"

#include "core/saved_options.h"
#include "library/song_library.h"
#include "world/play/boss_choice.h"
#include "world/state/play_record.h"

#include <cstring>

void publishBossProgress() { setBossProgress(g_SongLibrary.boss); }

bool fillPlayRecordForSong(s32 songIndex, s32 difficulty) {
    const SSongRecord* song = getSongRecord(songIndex);
    if (!song || !isSongPlayable(*song) || difficulty < 0 || difficulty >= s32(DIFFICULTY_LEVEL_COUNT)) return false;
    SPlaySong play = playRecord().song;
    std::memcpy(play.identity, song->identity.bytes, sizeof(play.identity));
    play.duration = song->duration;
    play.randomState = song->randomState;
    play.generatorParams = nullptr;
    std::memcpy(play.scoreScale, song->scoreScale, sizeof(play.scoreScale));
    play.progressValue = song->progressValue;
    std::memcpy(play.progressThresholds, song->progressThresholds, sizeof(play.progressThresholds));
    std::memcpy(play.scoreTargets, song->scoreTargets, sizeof(play.scoreTargets));
    setPlaySong(play);
    // The water option is also the corruption sound's switch: while it is on, play is silent of it.
    const bool water = savedOptions().waterReflection != 0;
    g_SongLibrary.boss.corruptionSoundOff = water ? 1 : 0;
    publishBossProgress();
    setEquippedItemKeys(g_SongLibrary.equippedItemKeys);
    setBarrelPhaseCount(g_SongLibrary.barrelPhaseCount);
    setWaterOption(water);
    setPlayDifficulty(difficulty);
    return true;
}

void collectPlayRecord(s32 songIndex) {
    g_SongLibrary.boss = playRecord().boss;
    keepForcedProgressOutOfSave(&g_SongLibrary.boss);
    SSongRecord* song = getSongRecord(songIndex);
    const SPlaySong& play = playRecord().song;
    if (!song || std::memcmp(song->identity.bytes, play.identity, sizeof(play.identity)) != 0) return;
    std::memcpy(song->scoreScale, play.scoreScale, sizeof(song->scoreScale));
    song->progressValue = play.progressValue;
    std::memcpy(song->progressThresholds, play.progressThresholds, sizeof(song->progressThresholds));
    std::memcpy(song->scoreTargets, play.scoreTargets, sizeof(song->scoreTargets));
}

s32 collectPlayRecordForSong(const SSongIdentity& played) {
    const SSongRecord* song = findSongByIdentity(played);
    const s32 index = song ? s32(song - g_SongLibrary.songs.data()) : -1;
    collectPlayRecord(index);
    return index;
}
