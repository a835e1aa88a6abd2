// The boss of ten bars and a sweeper. On the beats the next bar is rebuilt with a pattern of gaps
// and sent along z across the arena; now and then the sweeper with its two guns sweeps along x,
// sometimes turning back halfway. The entity itself stays at the origin.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/types.h"
#include "render/tween.h"
#include "world/entity/processor.h"

class ClScriptNode;

constexpr u32 WAVE_BAR_COUNT = 10;
constexpr u32 WAVE_BAR_SEGMENTS = 8;
constexpr u32 WAVE_PATTERN_STAGES = 3;
// z past the far end of a bar's run.
constexpr f32 WAVE_FAR_EDGE = 269.75f;
constexpr f32 WAVE_SWEEP_LEFT = -40.0f;
constexpr f32 WAVE_SWEEP_RIGHT = 480.0f;
constexpr f32 WAVE_SWEEPER_Z = -25.0f;
constexpr f32 WAVE_SPLIT_SHARE = 0.9f;
constexpr f32 WAVE_REBUILD_FLASH_SECONDS = 0.25f;

class ClProcessor_Enemy_Boss_TheWave : public ClProcessor {
public:
    const ClScriptNode* params = nullptr;  // the tuning block
    SFloatTween barTweens[WAVE_BAR_COUNT];
    s32 nextBar = 0;
    SFloatTween sweepTween;
    s32 sweepSide = 1;  // 1: the next sweep runs from left to right
    f32 minSweepWait = 0.0f;
    f32 maxSweepWait = 0.0f;
    f32 sweepWait = 0.0f;
    s32 stage = 0;
    s32 gunsStarted = 0;
    f32 gunInterval = 0.0f;
    s32 sectionIndex = 0;
    s32 returnSweeps = 0;
    s32 returnSweepCountdown = 0;
    s32 returnSweepPending = 0;
    SBeatSubscriptionHandle subscription;
    s32 stepCount = 0;
    f32 stepInterval = 0.0f;
    f32 stepTimer = 0.0f;
    s32 waveCounter = 0;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
    // Rebuilds the next bar and, in the fight, sends it off over about `seconds`.
    void launchBar(f32 seconds);

private:
    void validateBlock() const;
    f32 startZ() const;
    f32 endZ() const;
    f32 sweepSeconds() const;
    void startSweep();
    void splitTravel(f32 value, f32* travel);
};
