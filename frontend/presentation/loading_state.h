// The loading state: the count-up timer on the real-time clock that the front end's loading text
// would show, taken at start-up and released at shutdown. Main thread only.
#pragma once

#include "core/types.h"

// Takes the timer (stopped, at 0); nothing when already set up.
void loadingStateSetUp();
// Releases the timer; nothing when not set up.
void loadingStateRelease();
