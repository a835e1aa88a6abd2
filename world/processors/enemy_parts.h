// Three small behaviours enemy programs hang on parts: a gun that fires a pair of bullets
// whenever the player's ship lies within 10 degrees of its heading (at most once a second), the
// conditional destruction that blows up the "NDEST" parts once every "NMUST" part is gone, and
// the part that removes itself at spawn when its wave does not carry one of its "KFC" flag bits.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "world/atoms/gun_params.h"
#include "world/entity/processor.h"

class ClAtom;

constexpr f32 AIMED_GUN_PERIOD = 1.0f;       // seconds between aim checks
constexpr f32 AIMED_GUN_CONE_DEGREES = 10.0f;  // the ship within this of the heading is fired at
constexpr u32 AIMED_GUN_MUZZLES = 2;           // bullets per shot, from the same atom

struct SMuzzleRecord {
    u32 spare;
    ClAtom* atom;
    ClEntityNode* node;
};

class ClProcessor_EnemyGun_Physical : public ClProcessor {
public:
    ClArray<SMuzzleRecord> muzzles;
    f32 shotPeriod = AIMED_GUN_PERIOD;
    f32 shotTimer = 0.0f;
    SBulletParams bullet = {};

    ~ClProcessor_EnemyGun_Physical() override { muzzles.release(); }
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    // Two muzzle records on the node's first atom (none without an atom) and the bullet block.
    void reloadParameters() override;
    void update() override;

private:
    void fire(const SMuzzleRecord& muzzle);
};

class ClProcessor_Conditional_Destroy : public ClProcessor {
public:
    ClArray<ClEntityNode*> survivors;
    ClArray<ClEntityNode*> destroyed;
    u32 done = 0;

    ~ClProcessor_Conditional_Destroy() override {
        survivors.release();
        destroyed.release();
    }
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    // The check, run whenever the entity's tree is refreshed.
    void reloadParameters() override;
};

class ClProcessor_EnableBasedOnWaveFlags : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override { storeAttachment(owner, hangingOn, E_PROC_ENABLE_BASED_ON_WAVE_FLAGS); }
    void onSpawn() override;
    void onActivate() override;

private:
    // Whether the node's "KFC" mask (an absent key reads 0) shares a bit with its wave's flag word
    // for the entity's member slot (0 outside a wave).
    bool enabled() const;
};
