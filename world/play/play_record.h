// The play record lives with the world's shared records in world/state/.
// The layers above the world include it here.
#pragma once

#include "world/state/play_record.h"
