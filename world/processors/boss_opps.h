// The boss built as a cluster of blocks on a 35-unit grid. On the beats it slides the block
// farthest from the ship into the cell beside the nearest block on the ship's side, so the
// cluster crawls towards the ship; the entity itself stays put.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"
#include "render/tween.h"

class ClAtom;

constexpr f32 OPPS_GRID = 35.0f;
// Slides are planned from the first beat at least this far ahead, and only that long or longer.
constexpr f32 OPPS_MIN_BEAT_GAP = 0.75f;
// Gaps above this are split into 1 + gap / 3 slides, 0.9 of the gap in all.
constexpr f32 OPPS_LONG_GAP = 3.0f;
constexpr f32 OPPS_SPLIT_SHARE = 0.9f;
// A slide takes this share of its time.
constexpr f32 OPPS_SLIDE_SHARE = 0.7f;
extern const ClVec3 OPPS_HOME;

class ClProcessor_Enemy_Boss_Opps : public ClProcessor {
public:
    SBeatSubscriptionHandle subscription;
    SVectorTween blockTween;
    ClAtom* movedBlock = nullptr;
    s32 stepCount = 0;
    f32 stepInterval = 0.0f;
    f32 stepTimer = 0.0f;
    s32 nextBeatIndex = -1;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
    // Slides the farthest active block next to the nearest one over 0.7 x seconds.
    void slideBlock(f32 seconds);
};
