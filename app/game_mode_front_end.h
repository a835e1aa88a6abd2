// The game mode of the menus: song selection, results, options and the quit menu.
#pragma once

#include "app/game_mode.h"

class ClGameModeFrontEnd : public ClGameMode {
public:
    s32 enter(s32 previousModeId) override;
    s32 update(f32 dt) override;
    s32 exit() override;

    u32 m_quitMenuShown = 0;
    u32 m_cuesPausedByQuitMenu = 0;
    u32 m_quitConfirmed = 0;
};

extern ClGameModeFrontEnd g_GameModeFrontEnd;
