#include "world/services/session_timers.h"

#include "core/game_clock.h"
#include "world/play/player_state.h"

void tickSessionTimers() { g_fWaveKillChainWindow -= g_fFrameTime; }
