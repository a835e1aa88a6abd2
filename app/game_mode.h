// The two game modes (front end and action), the switch between them, and the clock and
// input-mapper step both run first in their update.
#pragma once

#include "core/types.h"

enum EGameModeId : s32 {
    E_GAMEMODE_NONE = 0,
    E_GAMEMODE_FRONT_END = 1,
    E_GAMEMODE_ACTION = 2,
};

class ClGameMode {
public:
    virtual ~ClGameMode() = default;
    virtual s32 enter(s32 previousModeId) = 0;
    // Non-zero when the mode is finished.
    virtual s32 update(f32 dt) = 0;
    virtual s32 exit() = 0;

    u32 m_finished = 0;
};

// The mode objects the switch chooses from, indexed by mode id (1 and 2). They point at the
// single global instance of each mode; tests may point them elsewhere.
extern ClGameMode* g_apGameModes[3];

extern ClGameMode* g_pCurrentGameMode;
extern s32 g_iCurrentGameModeId;
extern s32 g_iPreviousGameModeId;
extern s32 g_iNextGameModeId;
extern s32 g_iQuitGame;

// Makes the mode of the id current and enters it; any id but 1 and 2 enters the front end.
// Returns what enter returns.
s32 switchGameMode(s32 id);

// The step every mode's update begins with: the two clocks, the timers, then the input
// mapper on top of each of the four view slots.
void updateModeClocksAndMappers(ClGameMode* mode, f32 dt, s32 paused);

// Clock 1's step for a frame step: clamped to [0, 0.15] s and scaled, 0 while paused.
f32 gameplayStepFor(f32 dt, s32 paused, f32 timeScale);
