#include "world/state/player_records.h"

SPlayerState g_aPlayerState[PLAYER_COUNT];
s32 g_aiWaveKillChain[PLAYER_COUNT];
s32 g_iPlayerRammed = 0;
