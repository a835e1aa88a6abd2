// What the world's base layer (entity/, atoms/, generators/, state/) calls in the layers above it
// inside the world, all in one record. The record is filled once, when the program is linked, by
// world/inner_imports.cpp; nothing writes it afterwards. The one family the behaviours give this
// layer by name is the processor classes: the table SProcessorClassEntry g_aProcessorClasses
// (entity/processor.h), which processors/processor_classes.cpp fills.
#pragma once

#include "core/types.h"

class ClAtom_Bullet_Staff;
class ClEntity;
class ClProcessor_Enemy_AI_StaffStar;
struct ClVec3;
struct SEnemyBeamSet;

struct SBaseImports {
    // collision/kill_queue.h
    void (*queueKill)(ClEntity* entity);
    void (*resetKillQueue)();
    // collision/world_collision.h: a breaking atom's blast (position, radius, strength)
    void (*recordBreakUpImpact)(const ClVec3& position, f32 radius, f32 strength);
    // effects/backdrop.h, effects/corruption.h, effects/enemy_beams.h
    f32 (*getBackdropIntensity)();
    void (*reduceCorruption)(const ClEntity* entity);
    void (*resetEnemyBeams)(SEnemyBeamSet* set);
    void (*releaseEnemyBeams)(SEnemyBeamSet* set);
    void (*updateEnemyBeams)(ClEntity* entity);
    // processors/staff_enemies.h: the star's onStaffEnded
    void (*onStaffEnded)(ClProcessor_Enemy_AI_StaffStar* star, ClAtom_Bullet_Staff* staff);
    // play/inspiration_pickups.h
    void (*resetInspirationPickups)();
    void (*freeInspirationGridCell)(s32 column, s32 row);
};

extern const SBaseImports g_BaseImports;
