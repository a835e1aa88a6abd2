// The boss that jumps between the fixed positions of its tuning block in time with the song. It
// can be hit, and its two head guns fire, only for a moment after each jump; its jump pattern
// and gun rate change with its remaining strength.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"

class ClEntityNode;
class ClScriptNode;

constexpr f32 DANCER_HITTABLE_SECONDS = 0.5f;
constexpr f32 DANCER_GUN_SECONDS = 0.2f;
constexpr f32 DANCER_LAST_STAGE_GUN_SECONDS = 0.4f;
// A jump is spaced from the first beat at least this far ahead; gaps above the long gap are
// filled with jumps every DANCER_STEP_SECONDS.
constexpr f32 DANCER_MIN_BEAT_GAP = 0.7f;
constexpr f32 DANCER_LONG_GAP = 2.5f;
constexpr f32 DANCER_STEP_SECONDS = 1.75f;

enum EDancerMove : s32 {
    E_DANCER_CYCLE = 0,
    E_DANCER_WANDER = 1,
    E_DANCER_WANDER_BURSTS = 2,
};

class ClProcessor_Enemy_Boss_Dancer : public ClProcessor {
public:
    s32 stage = -1;
    f32 gunInterval = 0.0f;
    f32 gunTimer = 0.0f;
    const ClScriptNode* params = nullptr;  // the tuning block
    ClArray<ClVec3> positions;
    SBeatSubscriptionHandle subscription;
    s32 positionIndex = 0;
    f32 hittableTimer = 0.0f;
    s32 nextBeatIndex = 0;
    s32 stepCount = 0;
    f32 stepTimer = 0.0f;
    f32 lastStepDelay = 0.0f;
    ClEntityNode* leftGunNode = nullptr;
    ClEntityNode* rightGunNode = nullptr;
    s32 moveMode = E_DANCER_CYCLE;
    s32 forward = 0;
    s32 wanderCount = 0;
    s32 burstWait = 0;
    s32 burstCount = 0;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);

    void jump();

private:
    void resetMoveCounters();
    void wanderStep();
    s32 rangeDraw(u32 blockChild) const;
    void place();
};
