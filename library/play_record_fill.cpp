#include "library/play_record_fill.h"

#include "core/saved_options.h"
#include "library/song_library.h"
#include "world/play/boss_choice.h"
#include "world/state/play_record.h"

#include <cstring>

void publishBossProgress() { g_PlayRecord.boss = g_SongLibrary.boss; }

bool fillPlayRecordForSong(s32 songIndex, s32 difficulty) {
    const SSongRecord* song = getSongRecord(songIndex);
    if (!song || !isSongPlayable(*song) || difficulty < 0 || difficulty >= s32(DIFFICULTY_LEVEL_COUNT)) return false;
    SPlaySong& play = g_PlayRecord.song;
    std::memcpy(play.identity, song->identity.bytes, sizeof(play.identity));
    play.duration = song->duration;
    play.randomState = song->randomState;
    play.generatorParams = nullptr;
    std::memcpy(play.scoreScale, song->scoreScale, sizeof(play.scoreScale));
    play.progressValue = song->progressValue;
    std::memcpy(play.progressThresholds, song->progressThresholds, sizeof(play.progressThresholds));
    std::memcpy(play.scoreTargets, song->scoreTargets, sizeof(play.scoreTargets));
    publishBossProgress();
    std::memcpy(g_PlayRecord.equippedItemKeys, g_SongLibrary.equippedItemKeys, sizeof(g_PlayRecord.equippedItemKeys));
    g_PlayRecord.barrelPhaseCount = g_SongLibrary.barrelPhaseCount < 1 ? 1 : g_SongLibrary.barrelPhaseCount;
    g_PlayRecord.waterOption = g_SavedOptions.waterReflection ? 1 : 0;
    setPlayDifficulty(difficulty);
    return true;
}

void collectPlayRecord(s32 songIndex) {
    g_SongLibrary.boss = g_PlayRecord.boss;
    keepForcedProgressOutOfSave(&g_SongLibrary.boss);
    SSongRecord* song = getSongRecord(songIndex);
    const SPlaySong& play = g_PlayRecord.song;
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
