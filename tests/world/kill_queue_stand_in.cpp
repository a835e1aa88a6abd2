// The atom tests queue kills before the world library has its kill queue. These weak stand-ins
// keep the queue's rules (one record per entity) and give way to the real one once it links.
#include "world/collision/kill_queue.h"

namespace {
ClEntity* s_apQueued[KILL_QUEUE_CAPACITY];
u32 s_uQueued = 0;
}  // namespace

__attribute__((weak)) void queueKill(ClEntity* entity) {
    for (u32 i = 0; i < s_uQueued; ++i)
        if (s_apQueued[i] == entity) return;
    if (s_uQueued < KILL_QUEUE_CAPACITY) s_apQueued[s_uQueued++] = entity;
}

__attribute__((weak)) u32 killQueueCount() { return s_uQueued; }

__attribute__((weak)) void resetKillQueue() { s_uQueued = 0; }
