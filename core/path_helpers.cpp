#include "core/path_helpers.h"

#include "platform/os/os.h"

const char* getPlatformName() { return "win32"; }

void sleepAlertable(u32 milliseconds, u32 alertable) { osSleepEx(milliseconds, alertable != 0); }
