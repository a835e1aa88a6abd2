// The characters a leaderboard log-in name is made of, shared by the save that keeps the name,
// the options field that takes it and the client that sends it.
#pragma once

#include "core/types.h"

// ASCII letters and digits, '_', '-' and '.'.
bool isLoginNameCharacter(u32 c);
