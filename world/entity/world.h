// The entity pool, the world's lists and lock, and the per-frame walks over the lists.
#pragma once

#include "core/types.h"
#include "world/entity/entity.h"
#include "world/entity/frame_parity.h"

class ClRenderTargetGroup;

// Sets up the pool (made the first time, its records reused by every later world), the lists and
// the lock (running out of locks is fatal). Returns 1.
s32 initWorld();
// Flushes, frees every used record from the last to the first, and releases the lists and the
// lock; the pool stays, every record free. Entities are released here, before whoever owns their
// programs frees those. A world that is not set up is left alone, so a second call does nothing.
void shutdownWorld();
// Read on every entity reference, so kept inline: whether the world is set up, and how many
// times it has been started (references taken in an earlier world name records that are gone).
extern bool g_worldReady;
extern u32 g_worldStarts;
inline bool isWorldReady() { return g_worldReady; }
inline u32 worldStartCount() { return g_worldStarts; }
void lockWorld();
void unlockWorld();

// The next free record with its owner tag; an exhausted pool is fatal.
ClEntity* allocEntity(s32 ownerTag);
// Where the record stands in the pool for the process's life (its pool position moves as others
// are freed); ENTITY_CAPACITY for a record outside the pool.
u32 entityRecordNumber(const ClEntity* entity);
void freeEntity(ClEntity* entity);
void freeEntitiesByOwner(s32 ownerTag);
void queueEntityForFreeing(ClEntity* entity);
void flushDestroyedEntities();
void flushFreedEntities();

void updateLiveEntities();
void drawLiveEntities();
void drawPreviewEntities();
void tickPreviewEntities();

// Null for the live game (-1); else the preview slot's render-target group, marked used in this
// frame. Any other tag is fatal.
ClRenderTargetGroup* getPreviewRenderTarget(s32 ownerTag);

// The lists, for the passes that walk them (collision, kill queue). Entries 0 .. count - 1.
u32 entityListCount(EEntityList list);
ClEntity* entityListAt(EEntityList list, u32 index);
// Cache hints for the collision pass's walk up the activated list, at the index: the records and
// root swept boxes of the entities a few places ahead, so that it does not wait on each in turn.
// Changes nothing.
void prefetchCollisionWalk(u32 index);
u32 usedEntityCount();

// The construction weights of the active enemies inside the play area (z not above 269.75).
f32 sumActiveEnemyWeight();
