// Bringing every subsystem up before the first frame, and down after the last, in a fixed
// order.
#pragma once

#include "core/types.h"

// The command line is not read; inputChannelCount is the channel count of each player.
void gameStartup(const char* commandLine, const char* dataDirectory, u32 inputChannelCount);
s32 gameShutdown();
// Seeds the global generator from RANDOM_SEED, so that a run can be repeated; without the
// setting (or with 0) the clock seeds it.
void seedRandomFromSettings();
