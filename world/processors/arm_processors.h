// Enemy arms that swing at the player on the beat. The arm group, high in an enemy's tree, finds
// a run of evenly spaced beats a little ahead and commands the first "arm" node below it to
// strike on each beat of the run; the arm swings its tip (the arm node's first child) towards
// the ship within a 45-degree cone and draws a bar from the arm node to the tip. The two talk
// only through the arm node's "armai_cmd", "armai_S" and "armai_D".
#pragma once

#include "core/array.h"
#include "core/vec.h"
#include "render/camera_blend.h"
#include "world/entity/processor.h"

struct SMaterial;

constexpr f32 ARM_CONE_LIMIT = 0.7853982f;  // radians either side of the rest axis
constexpr f32 ARM_SWING_SECONDS = 0.15f;
constexpr f32 ARM_COMMAND_PAUSE = 0.05f;  // after the swing, before the next command
constexpr f32 ARM_RETRY_SECONDS = 0.5f;   // when no run of beats was found
constexpr f32 ARM_BEAT_WINDOW = 1.4f;     // seconds of song searched for a run
constexpr f32 ARM_NO_STRIKE = 3.4028235e38f;

enum EArmSwingState : s32 {
    E_ARM_IDLE = 0,
    E_ARM_ARMED = 1,
    E_ARM_SWINGING = 2,
};

struct SArmParams {
    f32 armAngle;   // "arm_ang"
    f32 armLength;  // "arm_len"

    // A node without a parameter table, or without either key, stops the program.
    static void readFromNode(const ClEntityNode* node, SArmParams* out);
};

class ClProcessor_Enemy_AI_Arm : public ClProcessor {
public:
    SArmParams armParams = {};
    ClEntityNode* tipNode = nullptr;
    s32 swingState = E_ARM_IDLE;
    f32 strikeTime = 0.0f;     // song seconds
    f32 swingDuration = 0.0f;  // seconds
    ClVec3 swingTarget;        // the tip's offset in the arm node's frame
    ClVectorBlend tipBlend;
    const SMaterial* barMaterial = nullptr;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onSpawn() override;
    void update() override;
    void updateWorldFrames() override;
    void drawOverlay() override;
    SOverlayMark overlayMark;

private:
    // The tip's target towards the ship, clamped to the cone; a ship on the rest axis keeps the
    // previous target.
    void aimAt(const ClVec3& shipPosition);
};

struct SArmRecord {
    ClEntityNode* node;
    f32 armAngle;
    f32 armLength;
    f32 attack;   // "att" summed over the node's subtree
    f32 defence;  // "def" summed over the node's subtree
};

class ClProcessor_Enemy_AI_ArmGroup : public ClProcessor {
public:
    ClArray<SArmRecord> armRecords;
    ClArray<s32> beatSequence;  // beat indices of the run being played out
    s32 cursor = 0;
    f32 commandTimer = 0.0f;

    ~ClProcessor_Enemy_AI_ArmGroup() override {
        armRecords.release();
        beatSequence.release();
    }
    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override { reloadParameters(); }
    void reloadParameters() override;
    void update() override;
    // Moves the cursor past every beat of the run earlier than the song time.
    void skipPastBeats();
};
