// Names the game gives to its files, and the wait in which its file reads complete.
#pragma once

#include "core/types.h"

// The platform part of package file names, as in "ASPEC_win32.mdf". The packages keep the
// name of the platform they were first built for, so this is the same on every platform.
const char* getPlatformName();

// Sleeps for the time given. Unless alertable is 0 the wait is alertable: completion routines
// of overlapped file reads issued by this thread run inside it, and the wait ends once they
// have run.
void sleepAlertable(u32 milliseconds, u32 alertable = 1);
