// The wave records live with the world's shared records in world/state/.
// The layers above the world include them here.
#pragma once

#include "world/state/wave_record.h"
