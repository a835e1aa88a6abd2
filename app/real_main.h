// The process entry and the routine that brackets the whole run.
#pragma once

#include "core/types.h"

// Installs the crash filter (only when no debugger is attached) and runs realMain.
s32 programEntry(const char* commandLine);

// The crash filter goes in only when no debugger is attached: a debugger wants the crash.
// True when it was installed.
bool installCrashFilterUnlessDebugged();

// Start-up, the main loop, shutdown. The command line is not interpreted. Returns 0.
s32 realMain(const char* commandLine);
