// The colour scheme lives with the world's services in world/services/.
// The layers above the world include it here.
#pragma once

#include "world/services/bar_colour_scheme.h"
