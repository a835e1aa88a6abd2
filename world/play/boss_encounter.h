// The boss encounter lives with the world's shared records in world/state/.
// The layers above the world include it here.
#pragma once

#include "world/state/boss_encounter.h"
