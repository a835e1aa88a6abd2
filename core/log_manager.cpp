#include "core/log_manager.h"

void logManagerWake() {
    // No log is open in this build, so no line is queued.
}
