// Medal awards queued for the leaderboard service, sent one at a time in the order they were
// earned. Main thread only.
#pragma once

#include "core/types.h"

// Medal ids run from 0 to MEDAL_ID_LIMIT - 1.
constexpr s32 MEDAL_ID_LIMIT = 64;
// After a failed send the queue waits this many ticks before it tries again.
constexpr u32 MEDAL_RETRY_TICKS = 600;

// Empties the queue and forgets the medals accepted so far.
void medalQueueStartup();
// Drops what is still queued.
void medalQueueShutdown();
// Once per frame from the tick: hands the oldest queued medal to the leaderboard client when
// nothing is on its way.
void medalQueueTick();
// Queues a medal; ignored without an online user name, for an id out of range, or when it is
// already awarded or pending.
void awardMedal(s32 id);
// The play state's award (world/play/player_state.h), which the program hands to the world's
// imports: awardMedal, with an id past the medals as none.
void awardMedalFromPlay(u32 medalId);
