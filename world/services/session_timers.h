// The play's countdowns that the in-game mode runs once per unpaused frame.
#pragma once

#include "core/types.h"

// Seconds left in the wave-kill chain's window; zeroed with the player records.
extern f32 g_fWaveKillChainWindow;

// The wave-kill chain window (g_fWaveKillChainWindow) loses the gameplay step, with no floor:
// the chain widgets and the next chain step read it as "over" once it is 0 or less.
void tickSessionTimers();
