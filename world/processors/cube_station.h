// The parts of composite enemies that carry attack and defence values ("att", "def" floats on
// their nodes): the gun of a boss's head, the shield that counts as defence while whole, and the
// station that turns its best-defended branch towards the ship on a pair of beats.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/camera_blend.h"
#include "world/entity/processor.h"

// Bullet speeds by the head node's "NDKBL" (0 to 4).
constexpr u32 HEAD_GUN_SPEED_COUNT = 5;
extern const f32 HEAD_GUN_BULLET_SPEEDS[HEAD_GUN_SPEED_COUNT];
constexpr f32 HEAD_GUN_IDLE_INTERVAL = 60.0f;
constexpr f32 HEAD_SHIELD_DEFENCE = 10.0f;
// A beat at least this strong re-aims a beat-driven head shield.
constexpr f32 HEAD_SHIELD_BEAT_STRENGTH = 3.0f;
constexpr s32 HEAD_SHIELD_MOVES_ON_BEATS = 2;
// The window (song seconds) in which a station looks for the two beats of its turn, and the
// fallback when there is no such pair.
constexpr f32 STATION_BEAT_WINDOW = 2.0f;
constexpr f32 STATION_FALLBACK_DELAY = 0.5f;
constexpr f32 STATION_FALLBACK_TURN = 0.1f;

// The sums of "att" and "def" over a node's subtree (nodes without them add nothing).
void sumNodeTreeAttDef(const ClEntityNode* node, f32* attack, f32* defence);

// Fires a red bullet at the ship every shotInterval while a boss has enabled it, and draws a
// flickering red eye on its node meanwhile.
class ClProcessor_Enemy_AI_Head_Gun : public ClProcessor {
public:
    f32 fireTimer = 0.0f;
    s32 enabled = 0;
    f32 shotInterval = HEAD_GUN_IDLE_INTERVAL;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;
    void drawOverlay() override;
    SOverlayMark overlayMark;

private:
    void fire(const ClEntity* ship);
};

struct SHeadShieldParams {
    s32 movement;  // "hd_sh_mov"; 2 reacts to beats
    f32 pivot;     // "hd_sh_piv"
    f32 aimPerBeat;  // "hd_sh_apb"
    f32 defence;   // "hd_sh_def"
};

// "def" 10 on its node while every atom of the subtree is whole and active, 0 afterwards.
class ClProcessor_Enemy_AI_Head_Shield : public ClProcessor {
public:
    ClVectorBlend aimBlend;
    SHeadShieldParams shieldParams = {};
    SBeatSubscriptionHandle subscription;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void reloadParameters() override;
    void onDestroy() override;

    static void onBeat(const SBeat& beat, s32 index, void* user);
};

struct SBranchRecord {
    ClEntityNode* node;
    f32 attack;
    f32 defence;
};

enum EStationTurn : s32 {
    E_STATION_IDLE = 0,
    E_STATION_ARMED = 1,
    E_STATION_TURNING = 2,
};

// Turns its whole entity (through the entity's facing blend, which the path follower applies
// while faceAlongBlend is set) so that the branch with the greatest "def" sum faces the ship.
class ClProcessor_Enemy_AI_CubeStation : public ClProcessor {
public:
    ClArray<SBranchRecord> branchRecords;
    s32 turnState = E_STATION_IDLE;
    f32 turnStartTime = 0.0f;  // song seconds
    f32 turnDuration = 0.0f;
    s32 chosenBranch = 0;
    f32 decisionTimer = 0.0f;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onActivate() override;
    void reloadParameters() override;
    void update() override;

private:
    void decide();
    void startTurn();
};
