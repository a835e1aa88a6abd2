// The processors that place a node tree in the world and move or turn its nodes: the two
// world-frame processors, the continuous and the beat-driven rotator, straight flight, and the
// flicker of damaged parts.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"
#include "world/entity/processor.h"

// World = local x the parent's world; the root keeps the world matrix its entity set. Then every
// atom of the node: atom world = atom local x node world.
class ClProcessor_UpdateWorldFrames : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void updateWorldFrames() override;
};

// As above, but the node keeps its own rotation: only the parent's position is taken over.
class ClProcessor_UpdateWorldFramesAbsRot : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void updateWorldFrames() override;
};

// Flies the entity along its root's x axis at "vel" units per second and destroys it more than
// GO_STRAIGHT_RANGE units from the origin.
constexpr f32 GO_STRAIGHT_RANGE = 1200.0f;
class ClProcessor_GoStraight : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;
};

// Turns its node about "axis1" at "rotspeed1" rad/s (or swings it by sin x "rotLimit" about
// "rotOffset"), or about "axis2" at "rotspeed2", which then wins, on the gameplay clock's total
// time plus a phase.
class ClProcessor_Rotator : public ClProcessor {
public:
    f32 speed1 = 0.0f;
    f32 phase = 0.0f;
    ClVec3 axis1;
    f32 speed2 = 0.0f;
    ClVec3 axis2;
    f32 swingLimit = 0.0f;
    f32 swingOffset = 0.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onSpawn() override;
    void update() override;
};

// Turns its node about (0, 1, 0) by "DPB" degrees on every beat of the song, each turn a linear
// tween from wherever the last one got to.
constexpr f32 BEAT_TURN_SHARE_OF_GAP = 0.9f;
class ClProcessor_Rotator_OnBeat : public ClProcessor {
public:
    SBeatSubscriptionHandle subscription;
    SFloatTween angle;  // degrees
    f32 degreesPerBeat = 0.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void onPathSignal() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);

private:
    // A second request while subscribed keeps the one subscription.
    void subscribe();
};

// A hit on the node's subtree (or the parent's, with "FLKP" 1) makes its atoms flicker for
// FLICKER_SECONDS; with "FLKCC" 1 only hits on a main atom do.
constexpr f32 FLICKER_SECONDS = 0.2f;
constexpr u32 FLICKER_EFFECT_KIND = 2;
class ClProcessor_FlickerWhenDamaged : public ClProcessor {
public:
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onDamaged(ClAtom* hitAtom) override;
};
