#include "online/medal_queue.h"

#include "world/play/player_state.h"

namespace {

// The play state awards medals through the world's hook.
void awardMedalFromPlay(u32 medalId) { awardMedal(static_cast<s32>(medalId)); }

}  // namespace

void medalQueueStartup() { setAwardMedalHook(awardMedalFromPlay); }

void medalQueueShutdown() { setAwardMedalHook(nullptr); }

void medalQueueTick() {}

void awardMedal(s32) {
    // Offline there is never an online user name, so no award is queued.
}
