#include "core/timers.h"

void updateTimers() {
    // No timer pool exists yet, so there is nothing to advance.
}
