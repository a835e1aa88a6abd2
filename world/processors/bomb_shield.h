// The bomb, which blows up when the player kills it, and the medium beat shield: a turret that
// turns after the ship inside plates that regroup on every beat, firing on every fourth beat.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "render/tween.h"
#include "world/entity/processor.h"

// The turret of a beat shield lights its three atoms on three beats and fires on the fourth.
constexpr u32 BEAT_SHIELD_TURRET_ATOMS = 3;
constexpr f32 BEAT_SHIELD_LAYOUT_SECONDS = 0.26f;
constexpr f32 BEAT_SHIELD_PLATE_STEP_DEGREES = 19.0f;
constexpr u32 BEAT_SHIELD_LIGHT_EFFECT = 3;

class ClProcessor_Enemy_ExplodeWhenIDie : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onDestroy() override;
};

struct SShieldPlate {
    ClEntityNode* node;
    SFloatTween yawTween;   // radians about y
    SFloatTween rollTween;  // holds 0
};

class ClProcessor_Enemy_Med_Beat_Shield : public ClProcessor {
public:
    SBeatSubscriptionHandle subscription;
    ClArray<SShieldPlate> plates;
    s32 layoutFlag = 1;
    ClEntityNode* turretNode = nullptr;
    f32 turretAngle = 0.0f;
    f32 turretSpeed = 0.0f;
    s32 beatCount = -1;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
    // Plates whose node still has an active atom take new yaw targets over `duration`.
    void layout(f32 duration);

private:
    void fire();
    void placePlate(SShieldPlate& plate);
};
