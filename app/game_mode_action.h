// The game mode in which a song is played.
#pragma once

#include "app/game_mode.h"

constexpr int ACTION_SONG_PATH_LENGTH = 768;

class ClGameModeActionZuno : public ClGameMode {
public:
    ClGameModeActionZuno();
    s32 enter(s32 previousModeId) override;
    s32 update(f32 dt) override;
    s32 exit() override;

    char16_t m_songPath[ACTION_SONG_PATH_LENGTH];
    u32 m_paused = 0;
    u32 m_forcedQuit = 0;
    // Set when enter could not start the song; the front end then shows why.
    u32 m_enterFailed = 0;
};

extern ClGameModeActionZuno g_GameModeAction;
