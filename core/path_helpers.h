// Names the game gives to its files.
#pragma once

#include "core/types.h"

// The platform part of package file names, as in "ASPEC_win32.mdf". The packages keep the
// name of the platform they were first built for, so this is the same on every platform.
const char* getPlatformName();
