// The parameter blocks guns and bullets read from their nodes' named parameters. A node without
// a parameter table, a missing key, or a value of the wrong type stops the program.
#pragma once

#include "core/types.h"

class ClEntityNode;
struct SParamName;

// Bullet parameter names hashed when the program starts, for code that reads or writes one of them
// every frame or hit: the look's type, the speed, the damage, and the hit mark a bullet ends with.
extern const SParamName& BULLET_TYPE_NAME;
extern const SParamName& BULLET_SPEED_NAME;
extern const SParamName& BULLET_DAMAGE_NAME;
extern const SParamName BULLET_HIT_NAME;

// The ten bullet fields a gun copies into each bullet it fires.
struct SBulletParams {
    s32 myBullGen;  // name hash of the bullet generator
    s32 bullType;
    s32 bullLev;  // 0 to 5
    f32 bullRad;  // collision radius
    f32 bullRndRad;  // render radius
    f32 bullDmg;
    f32 bullVel;
    f32 bullVelVar;
    s32 bullCol;  // packed ARGB
    s32 bullFlag;

    static void readFromNode(const ClEntityNode* node, SBulletParams* out);
};

struct SGunParams {
    f32 gunRate;
    s32 gunPel;
    s32 gunPat;
    SBulletParams bullet;

    static void readFromNode(const ClEntityNode* node, SGunParams* out);
};

struct SChargingGunParams {
    SBulletParams bullet;
    f32 dischargeSeconds;  // "CHD"
    f32 fullChargeSeconds;  // "CHT"
    f32 chargeMinimum;  // "CHMIN"

    static void readFromNode(const ClEntityNode* node, SChargingGunParams* out);
};

// Writes the ten bullet fields into the bullet's root node, adding missing entries, and hands
// the block to the root's bullet atoms.
void copyBulletParamsToBullet(ClEntityNode* bulletRoot, const SBulletParams& params);
