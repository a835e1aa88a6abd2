// What the collision layer calls in the layers above it inside the world, all in one record. The
// record is filled once, when the program is linked, by world/inner_imports.cpp.
#pragma once

#include "core/types.h"

class ClAtom;
class ClEntity;
struct ClVec3;

struct SCollisionImports {
    // play/enemy_destroyed.h
    void (*onEnemyDestroyed)(ClAtom* atom, u32 dropPickups);
    // play/boss_meter.h: ends the encounter when one is installed
    void (*endBossEncounterOnDeath)();
    // play/inspiration_pickups.h
    ClEntity* (*spawnInspirationPickups)(const ClVec3& position, s32 value, u32 bigNotes, u32 onGrid);
};

extern const SCollisionImports g_CollisionImports;
