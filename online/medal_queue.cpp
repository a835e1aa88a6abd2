#include "online/medal_queue.h"

void medalQueueStartup() {}

void medalQueueShutdown() {}

void medalQueueTick() {}

void awardMedal(s32) {
    // Offline there is never an online user name, so no award is queued.
}
