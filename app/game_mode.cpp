#include "app/game_mode.h"

#include "app/game_mode_action.h"
#include "app/game_mode_front_end.h"
#include "core/game_clock.h"
#include "core/timers.h"
#include "input/input_mapper.h"
#include "render/state_stacks.h"
#include "render/view_slots.h"

namespace {
constexpr f32 kLongestGameStep = 0.15f;
}

ClGameMode* g_apGameModes[3] = {nullptr, &g_GameModeFrontEnd, &g_GameModeAction};

ClGameMode* g_pCurrentGameMode = nullptr;
s32 g_iCurrentGameModeId = E_GAMEMODE_FRONT_END;
s32 g_iPreviousGameModeId = E_GAMEMODE_NONE;
s32 g_iNextGameModeId = E_GAMEMODE_ACTION;
s32 g_iQuitGame = 0;

s32 switchGameMode(s32 id) {
    ClGameMode* mode;
    if (id == E_GAMEMODE_FRONT_END) {
        mode = g_apGameModes[E_GAMEMODE_FRONT_END];
        g_iNextGameModeId = E_GAMEMODE_ACTION;
    } else if (id == E_GAMEMODE_ACTION) {
        mode = g_apGameModes[E_GAMEMODE_ACTION];
        g_iNextGameModeId = E_GAMEMODE_FRONT_END;
    } else {
        g_iPreviousGameModeId = E_GAMEMODE_NONE;
        g_iCurrentGameModeId = E_GAMEMODE_FRONT_END;
        mode = g_apGameModes[E_GAMEMODE_FRONT_END];
        g_iNextGameModeId = E_GAMEMODE_ACTION;
    }
    g_pCurrentGameMode = mode;
    return mode->enter(g_iPreviousGameModeId);
}

f32 gameplayStepFor(f32 dt, s32 paused, f32 timeScale) {
    if (dt < 0.0f) dt = 0.0f;
    if (dt > kLongestGameStep) dt = kLongestGameStep;
    return paused ? 0.0f : timeScale * dt;
}

void updateModeClocksAndMappers(ClGameMode*, f32 dt, s32 paused) {
    setClockDelta(GAME_CLOCK_SYSTEM, dt);
    setClockDelta(GAME_CLOCK_GAMEPLAY, gameplayStepFor(dt, paused, peekTimeScale()));
    updateTimers();
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) {
        if (hasPlayerInputMapper(slot)) getPlayerInputMapper(slot)->mapInputs(slot);
    }
}
