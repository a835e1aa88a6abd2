#include "world/services/session_timers.h"

#include "core/game_clock.h"

f32 g_fWaveKillChainWindow = 0.0f;

void tickSessionTimers() { g_fWaveKillChainWindow -= frameTime(); }
