// The player's control of the ship: the pointer and the pad move the ship's root within the
// ship's part of the arena, and seven trigger states go out over the ship's tree each frame for
// its weapons. Other code can take the ship over for a scripted move to a point.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"
#include "render/tween.h"

// The ship's root stays within x 0 to 325 and z 25 to 269.75 (a margin at the arena's z = 0).
constexpr f32 SHIP_AREA_MIN_X = 0.0f;
constexpr f32 SHIP_AREA_MAX_X = 325.0f;
constexpr f32 SHIP_AREA_MIN_Z = 25.0f;
constexpr f32 SHIP_AREA_MAX_Z = 269.75f;

// Player 0's control channels the ship reads.
constexpr int SHIP_CHANNEL_FIRE_FIRST = 5;  // fire 1 to 3 are 5, 6, 7
constexpr int SHIP_CHANNEL_UP = 34;
constexpr int SHIP_CHANNEL_DOWN = 35;
constexpr int SHIP_CHANNEL_LEFT = 36;
constexpr int SHIP_CHANNEL_RIGHT = 37;

// A relative pointer step of a whole screen moves the ship this far per second of frame step.
constexpr f32 SHIP_POINTER_SCALE = 20000.0f;
// Units per second at full stick and the normal controller sensitivity (5).
constexpr f32 SHIP_PAD_SPEED = 270.0f;

// Trigger indices the weapons compare with their "ctrl": 0 to 2 fire 1 to 3 held, 3 to 5 the
// latched (toggled) fire 1 to 3, 6 always.
constexpr u32 FIRE_TRIGGER_COUNT = 7;
constexpr u32 FIRE_TRIGGER_LATCH_FIRST = 3;
constexpr u32 FIRE_TRIGGER_ALWAYS = 6;
// Written just before each trigger broadcast; read by the weapons during it.
extern u32 g_iFireTrigger;

// x into [0, 325], z into [25, 269.75]; y and the fourth float are kept.
ClVec3 clampToShipArea(const ClVec3& position);

class ClProcessor_PlayerCtrl : public ClProcessor {
public:
    SVectorTween moveTween;
    u32 scriptedMove = 0;  // 1 while a scripted move owns the ship; cleared only from outside
    f32 pointer[2] = {};
    f32 previousPointer[2] = {};
    u32 latch[3] = {};

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;

    // Moves the ship linearly from where it is now to target over the seconds; input and the
    // trigger broadcasts stop until the flag is cleared.
    void startScriptedMove(const ClVec3& target, f32 seconds);

private:
    void steerByRelativePointer();
    void steerByAbsolutePointer();
    void steerByPad();
    void broadcastTriggers();
};

// The ship's control on its root node, or null (no ship or no root).
ClProcessor_PlayerCtrl* findPlayerCtrl(ClEntity* ship);
