// Countdown and count-up timers that run on the game clocks.
#pragma once

#include "core/types.h"

// Advances every live timer by the frame step of its clock.
void updateTimers();
