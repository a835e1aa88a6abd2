#include "world/state/boss_encounter.h"

SBossEncounter g_BossEncounter;
