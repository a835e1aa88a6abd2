// Medal awards queued for the leaderboard service.
#pragma once

#include "core/types.h"

void medalQueueStartup();
void medalQueueShutdown();
// Once per frame from the tick.
void medalQueueTick();
// Queues a medal; ignored without an online user name, or when it is already awarded or
// pending.
void awardMedal(s32 id);
