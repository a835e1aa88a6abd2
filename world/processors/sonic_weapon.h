// The ship's beat-driven weapons. The sonic weapon needs no trigger: it hears every beat of the
// song and, in the frame after, fires one shot from each barrel ("BarrelNode" with its atom
// "NozzleAtom") whose size and damage follow the beat's strength, with a subwoofer or tweeter
// sound ("SonicT"). The lightning item keeps the same shot values and preview rhythm but fires
// nothing.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "world/atoms/gun_params.h"
#include "world/entity/processor.h"

constexpr u32 SONIC_BARREL_INITIAL_CAPACITY = 8;
constexpr f32 SONIC_PREVIEW_PERIOD = 0.5f;
constexpr f32 SONIC_PREVIEW_DRAWN_RADIUS = 55.0f;
constexpr f32 SONIC_TWEETER_PREVIEW_SCALE = 0.4f;
constexpr f32 SONIC_BULLET_SPEED = 350.0f;  // what each shot flies at, whatever the block says

struct SSonicBarrel {
    ClAtom* nozzle;
    ClEntityNode* node;
};

// The shot size a beat gives: 0 for strengths of 2 and below, 0.5 at 6, 1 from 10 up.
f32 sonicBeatScale(f32 strength);

// What the sonic weapon and the lightning item share: the shot block and its node parameters,
// the recoil and the preview rhythm.
class ClProcessor_BeatWeaponBase : public ClProcessor {
public:
    SBulletParams shot = {};
    s32 level = 0;     // "SonicL"
    s32 subwoofer = 0; // "SonicT": nonzero for a subwoofer, 0 for a tweeter
    f32 maxDamage = 0.0f;  // "MaxDmg"
    f32 recoil = 0.0f;
    f32 previewTimer = 0.0f;
    f32 previewPhase = 0.0f;
    SBeatSubscriptionHandle subscription;

protected:
    void attachAs(ClEntity* owner, ClEntityNode* hangingOn, u32 typeId);
    // "BullType", "SonicL", "SonicT" and "MaxDmg" (an absent key reads as 0) and the shot colour.
    void readNodeParams();
    // Recoil decays; true when a preview shot is due (its block is then set).
    bool stepPreview();
};

class ClProcessor_PlayerSonic : public ClProcessor_BeatWeaponBase {
public:
    ClArray<SSonicBarrel> barrels;
    u32 beatPending = 0;
    f32 beatStrength = 0.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onPreviewSpawn() override;
    void update() override;
    void updatePreview() override;
    // Finds the barrels again; a barrel without its "NozzleAtom" stops the program.
    void reloadParameters() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);

private:
    void fire();
    void placeBarrels();
};

class ClProcessor_PlayerLightning : public ClProcessor_BeatWeaponBase {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onPreviewSpawn() override;
    void update() override;
    void updatePreview() override;
    void onDestroy() override;
};
