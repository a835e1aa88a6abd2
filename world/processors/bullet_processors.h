// The processors that fly bullet entities once a gun has spawned them: the general bullet, whose
// flight follows the bullet's "BullType" (straight, shotgun pellet, seeker, a two-frame flash),
// and the plain straight bullet. Both read the bullet block the gun copied into the root node.
#pragma once

#include "world/processors/beat_subscribers.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/entity/processor.h"
#include "render/tween.h"

// The bullet block's "BullType" and "BullVel" as the flight reads them: each read from the
// bullet's root on first use and then kept with the processor, so that the flight reads no
// parameter table (the gun writes the block before the bullet's first update, and nothing writes
// these two during the flight). Read again when the entity's root is another node (a grafted
// tree). A missing parameter is fatal.
struct SBulletFlightParams {
    const ClEntityNode* typeRoot = nullptr;
    const ClEntityNode* speedRoot = nullptr;
    s32 type = 0;
    f32 speed = 0.0f;

    s32 typeOf(const ClEntity* bullet);
    f32 speedOf(const ClEntity* bullet);
};

// A straight or seeking bullet further than this from the origin is gone.
constexpr f32 BULLET_ESCAPE_DISTANCE = 1200.0f;
// Radians per second a seeker turns toward its target.
constexpr f32 SEEKER_TURN_RATE = 5.0f;
// Bullet types with their own flight.
constexpr s32 BULLET_TYPE_SHOTGUN_FIRST = 6;
constexpr s32 BULLET_TYPE_SHOTGUN_LAST = 7;
constexpr s32 BULLET_TYPE_SEEKER_FIRST = 8;
constexpr s32 BULLET_TYPE_SEEKER_LAST = 9;
constexpr s32 BULLET_TYPE_FLASH = 17;  // shown for two updates
// A pellet flies 100 to 300 units within 0.4 rad of its heading, over 1.05 s +- 25 %.
constexpr f32 PELLET_MIN_RANGE = 100.0f;
constexpr f32 PELLET_RANGE_SPREAD = 200.0f;
constexpr f32 PELLET_MAX_TURN = 0.4f;
constexpr f32 PELLET_MIN_SECONDS = 0.7875f;
constexpr f32 PELLET_MAX_SECONDS = 1.3125f;

// On a line of its own: what every update reads, from the base's fields to the flight's
// parameters, fills the record's first cache line.
class alignas(64) ClProcessor_Bullet : public ClProcessor {
public:
    u32 moving = 1;  // a gun holding the bullet clears it
    SBulletFlightParams flight;
    ClProcessor* ownerProcessor = nullptr;  // told of the bullet's end through onBulletEnded
    SVectorTween pelletTween;
    u32 pelletStarted = 0;
    s32 frameCount = 0;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;
    void onDestroy() override;

private:
    void flyPellet();
    void seek();
};

class ClProcessor_Bullet_Seek : public ClProcessor {
public:
    u32 moving = 1;
    ClProcessor* ownerProcessor = nullptr;
    SBulletFlightParams flight;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void update() override;
    void onDestroy() override;
};

// A launched ring flies at this speed and is gone beyond this distance from the origin.
constexpr f32 ROUND_STAFF_SPEED = 100.0f;
constexpr f32 ROUND_STAFF_ESCAPE_DISTANCE = 800.0f;

class ClAtom_Bullet_RoundStaff;
class ClProcessor_Enemy_AI_RoundStaffGun;

// A ring of notes riding on an enemy's round-staff gun: one note per beat while it is inside the
// extended play area and its gun may shoot; full, it has the gun launch it at the player's ship.
class ClProcessor_Bullet_RoundStaff : public ClProcessor {
public:
    SBeatSubscriptionHandle subscription;
    ClAtom_Bullet_RoundStaff* staffAtom = nullptr;
    // Set while the gun holds the ring. Whichever of the two is freed first clears the link.
    ClProcessor_Enemy_AI_RoundStaffGun* carryingGun = nullptr;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onActivate() override;
    void update() override;
    // Launch: the ring becomes collidable and turns toward the ship.
    void onFirePressed() override;
    void onDestroy() override;
    void onBeat();
};
