// The loading state: one file loaded in the background through the asynchronous asset loader
// while the front end shows its loading text, with a count-up timer on the real-time clock of
// how long the load has taken. Set up at start-up, released at shutdown. Main thread only.
#pragma once

#include "core/types.h"

enum ELoadingStatus : u32 {
    E_LOADING_IDLE = 0,  // nothing asked for, or not set up
    E_LOADING_PENDING,
    E_LOADING_DONE,
    E_LOADING_FAILED,
};

// Takes the timer (stopped, at 0); nothing when already set up.
void loadingStateSetUp();
// Releases the load in progress (and its file) and the timer; nothing when not set up.
void loadingStateRelease();

// Queues the load of a packaged file, or of a file on disk, after releasing the previous one,
// and restarts the timer. False when not set up or when the loader cannot take the request.
bool loadingStateBegin(const char* path, bool disk);
ELoadingStatus loadingStateStatus();
// The loaded bytes once done (null otherwise); they stay valid until the next begin or release.
const u8* loadingStateData(u32* size);
