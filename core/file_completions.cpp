#include "core/file_completions.h"

#include "platform/os/os.h"

void pumpFileCompletions() { osSleepEx(0, true); }
