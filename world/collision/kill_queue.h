// The deferred kill queue: a killed atom only queues its entity, and the queue decides at fixed
// points of the frame whether the entity lives on with fewer parts or is destroyed.
#pragma once

#include "core/global_objects.h"
#include "core/types.h"

class ClEntity;

constexpr u32 KILL_QUEUE_CAPACITY = HIT_EFFECT_CAPACITY;

// Adds the entity unless it is already queued; a full queue ignores the request.
void queueKill(ClEntity* entity);
// Works the queue off until it is empty, entities queued meanwhile included: an entity with an
// active atom left reloads its processors; one with none is killed, a boss after its death.
void processKillQueue();
void resetKillQueue();
u32 killQueueCount();

// The boss's last atom fell: ends the encounter, plays the death cue and showers 36 score
// pickups sharing boss_kill_scalar_bonus x the value pool. Only once: a second call finds the
// dead flag set and returns.
void onBossDeath();
