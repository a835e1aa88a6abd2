// The ship's ordinary gun: barrels (child nodes "BarrelNode", each with an atom "NozzleAtom")
// that spawn bullet entities in volleys while the gun's trigger is held, with a muzzle flash,
// recoil and a shot sound by bullet type. In a menu preview the gun fires by itself two seconds
// out of every three.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "world/atoms/gun_params.h"
#include "world/entity/processor.h"

class ClDNAProgram;

constexpr u32 GUN_BARREL_INITIAL_CAPACITY = 8;
constexpr f32 BARREL_RECOIL = 4.0f;       // units the barrel kicks back when it fires
constexpr f32 BARREL_RECOIL_DECAY = 0.97f;  // per frame, whatever the frame step
constexpr f32 BLASTER_SOUND_SECONDS = 0.22f;  // a barrel's shortest gap between blaster sounds
constexpr f32 BARREL_SOUND_PHASE_STEP = 0.1f;  // seconds between successive barrels' first sounds
constexpr f32 VOLLEY_JITTER = 0.1f;        // each volley period is drawn within +- 10 %
constexpr f32 PREVIEW_PHASE_SECONDS = 3.0f;
constexpr u32 MUZZLE_FLASH_LAYERS = 0x6C;
constexpr s32 GUN_PATTERN_TAKE_TURNS = 1;  // "GunPat": barrels fire one per volley, in turn

struct SGunBarrel {
    f32 recoil;
    ClAtom* nozzle;
    ClEntityNode* node;
    f32 soundTimer;  // blaster: seconds until this barrel may sound again
    f32 soundPhase;
};

// Counts the barrels ever made, modulo the play record's barrel-phase count; never reset.
extern s32 g_iGunBarrelCounter;

class ClProcessor_PlayerGun : public ClProcessor {
public:
    ClArray<SGunBarrel> barrels;
    s32 nextBarrel = 0;
    f32 volleyPeriod = 0.0f;
    f32 volleyTimer = 0.0f;  // a volley is due at 0 or below
    SGunParams params = {};
    s32 ctrl = 0;  // the trigger index this gun answers to
    f32 previewPhase = 0.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onPreviewSpawn() override;
    void update() override;
    void updatePreview() override;
    void onFirePressed() override;
    void onFireReleased() override;
    // Finds the barrels again and rereads the gun's parameters; a barrel without a "NozzleAtom",
    // or a "GunRate" that is not above 0, stops the program.
    void reloadParameters() override;

private:
    bool onLiveShip() const;
    void fireVolley();
    void fireBarrel(SGunBarrel& barrel, ClDNAProgram* program);
    void playBlasterSound();
    void stepRecoil();
};
