// The ship items the built-in pack brings, one generator each: three guns that retune an anchor's
// gun (the cannon burst, the shotgun and the seeker) and four weapons that take the gun's place
// (the charging gun, the missile launcher and the two sonic weapons). An item's registered name
// is its collectible key; its describe operation is what the menus show of it.
//
// The numbers the ship's program is built with live here, so that what an item's description
// says is what the item does: a level runs from 0 to SHIP_ITEM_TOP_LEVEL.
#pragma once

#include "world/generators/dna_generator.h"

enum EShipItemKind : u32 {
    E_SHIP_ITEM_CANNON,
    E_SHIP_ITEM_SHOTGUN,
    E_SHIP_ITEM_SEEKER,
    E_SHIP_ITEM_CHARGING_GUN,
    E_SHIP_ITEM_MISSILE_LAUNCHER,
    E_SHIP_ITEM_SONIC_SUBWOOFER,
    E_SHIP_ITEM_SONIC_TWEETER,
    E_SHIP_ITEM_KIND_COUNT,
};

constexpr s32 SHIP_ITEM_TOP_LEVEL = 5;

// Bullet looks (a bullet's "BullType"): the blaster, the cannon burst, shotgun pellets, seekers,
// sonic notes, the charging gun's bolt, and the missile (its atom draws nothing, the missile draws
// its own glow and smoke).
constexpr s32 BLASTER_LOOK = 0;
constexpr s32 CANNON_LOOK = 2;
constexpr s32 SHOTGUN_LOOK = 6;
constexpr s32 SEEKER_LOOK = 8;
constexpr s32 NOTE_LOOK = 11;
constexpr s32 BOLT_LOOK = 13;
constexpr s32 MISSILE_LOOK = 17;

// The anchors' guns: volleys a second without an item (hull only) and with one at a level.
constexpr f32 DEFAULT_HULL_GUN_RATE = 12.0f;
constexpr f32 HULL_GUN_RATE_BASE = 10.0f;
constexpr f32 HULL_GUN_RATE_PER_LEVEL = 2.0f;
constexpr f32 WING_GUN_RATE_BASE = 4.0f;
constexpr f32 WING_GUN_RATE_PER_LEVEL = 1.0f;

// What an item does at a level. Guns: the bullet look, pellets per barrel and the factor on the
// ship's shot damage. Weapons: the bullet look, the damage of a shot (the sonic weapons' at full
// strength), and for the charging gun the seconds to a full charge, for the launcher its bays and
// missiles a second.
struct SShipItemStats {
    bool isGun;
    s32 look;
    s32 pellets;
    f32 damageFactor;
    f32 damage;
    f32 chargeSeconds;
    s32 bays;
    f32 rate;
};

// The level is clamped to 0 .. SHIP_ITEM_TOP_LEVEL.
SShipItemStats shipItemStats(EShipItemKind kind, s32 level);
// The hull's (anchor 0) or a wing's gun rate with an item at the level.
f32 shipGunRate(bool hull, s32 level);
// The kind whose collectible key ("gun_shotgun", "weapon_charging_gun", ...) the text begins
// with; false for none.
bool shipItemKindForKey(const char* key, EShipItemKind* out);

class ClDNAGen_ShipItem final : public ClDNAGenerator {
public:
    explicit ClDNAGen_ShipItem(EShipItemKind kind);

    // The item alone: one node, nothing on it (the ship's program carries the item's parts).
    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;
    // Name, kind ("Gun" or "Weapon") in text field 1, what it does in lines 0 to 2, and its power
    // ratings at the level in block 0.
    void describe(SItemDescription* out, s32 level) const override;

    EShipItemKind kind() const { return m_kind; }

private:
    EShipItemKind m_kind;
};
