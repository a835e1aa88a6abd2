// The boss that rides a path round the arena, turns towards the ship on the beats and, when the
// ship stays close too long or it has lost enough strength, stops, charges and lashes a whip: a
// fan in front of it that destroys the ship outright while the lash lasts.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/colour_animator.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"
#include "render/tween.h"

class ClScriptNode;
struct SMaterial;

constexpr f32 WHIP_WIND_UP_SECONDS = 1.5f;
constexpr f32 WHIP_LASH_SECONDS = 2.5f;
constexpr f32 WHIP_FLASH_SECONDS = 0.075f;
constexpr f32 WHIP_TURN_SECONDS = 0.45f;
constexpr u32 WHIP_LASH_SEGMENTS = 5;
constexpr f32 WHIP_SEGMENT_SECONDS = 0.5f;
constexpr f32 WHIP_SHOT_RADIUS = 10.0f;
constexpr s32 WHIP_SHOT_TYPE = 17;

enum EWhipState : s32 {
    E_WHIP_TRACKING = 0,
    E_WHIP_CHARGING = 1,
    E_WHIP_WINDING_UP = 2,
    E_WHIP_LASHING = 3,
};

struct SLashSegment {
    f32 startDelay;
    f32 duration;
    f32 timeLeft;
};

// The whip's fan: the boss's centre, the reach point straight ahead turned to each edge and to
// the middle.
struct SWhipGeometry {
    ClVec3 centre;
    ClVec3 axis;  // the boss's x axis
    ClVec3 middle;
    ClVec3 edge1;
    ClVec3 edge2;
    f32 spread;  // radians
};

// q inside the triangle (a, b, c), strictly, in the plane of the two axes its normal leans on
// least; the barycentric weights (1 - u - v, u, v) go to `weights` when given.
bool pointInTriangle(const ClVec3& q, const ClVec3& a, const ClVec3& b, const ClVec3& c, ClVec3* weights);

class ClProcessor_Enemy_Boss_WhipIt : public ClProcessor {
public:
    s32 stage = -1;
    s32 gunsStarted = 0;
    f32 gunInterval = 0.0f;
    const ClScriptNode* params = nullptr;
    f32 triggerRange = 0.0f;
    f32 closeTime = 0.0f;
    f32 closeTimer = 0.0f;
    f32 damageTrigger = 0.0f;
    s32 whipState = E_WHIP_TRACKING;
    f32 chargeTime = 0.0f;
    ClVec3 aim;
    SVectorTween facingTween;
    f32 lastFraction = 1.0f;
    f32 windUpTimer = 0.0f;
    SColourAnimator whipColour;
    f32 lashTimer = 0.0f;
    const SMaterial* lineMaterial = nullptr;
    const SMaterial* fillMaterial = nullptr;
    SLashSegment* lashSegments = nullptr;  // owned, WHIP_LASH_SEGMENTS records
    ClVec3 lastAimDirection;
    u32 lashShots = 0;  // killing shots placed so far
    SBeatSubscriptionHandle subscription;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
    void aimWhip();
    SWhipGeometry whipGeometry() const;

private:
    void freeSegments();
    void setStage(s32 newStage);
    void goIdle();
    void startCharge();
    void lashHitTest(const SWhipGeometry& whip);
    void drawWhip(f32 widthBlend, f32 warning, f32 strength);
    ClVec3 homePosition() const;
};
