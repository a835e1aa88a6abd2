// Fixed-width names used throughout the game (defined at the bottom layer, which uses them too).
#pragma once

#include "platform/types.h"
