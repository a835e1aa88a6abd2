// The weapon items a ship anchor may carry in place of its gun: the item's key names the weapon,
// its level tunes it.
#pragma once

#include "core/types.h"

class ClDNAProgram;

enum EShipWeapon : u32 {
    E_SHIP_WEAPON_GUN = 0,  // not a weapon item: the anchor's gun
    E_SHIP_WEAPON_CHARGING_GUN,
    E_SHIP_WEAPON_MISSILE_LAUNCHER,
    E_SHIP_WEAPON_SONIC_SUBWOOFER,
    E_SHIP_WEAPON_SONIC_TWEETER,
};

// Item keys that begin with these name the weapons (a key may go on, as "weapon_sonic_tweeter_2").
constexpr const char* SHIP_KEY_CHARGING_GUN = "weapon_charging_gun";
constexpr const char* SHIP_KEY_MISSILE_LAUNCHER = "weapon_missile_launcher";
constexpr const char* SHIP_KEY_SONIC_SUBWOOFER = "weapon_sonic_subwoofer";
constexpr const char* SHIP_KEY_SONIC_TWEETER = "weapon_sonic_tweeter";

EShipWeapon shipWeaponForItem(const char* itemKey);
// The weapon's node at sideZ from the anchor (closed again), answering to the trigger; level 0 to 5.
void emitShipWeapon(ClDNAProgram* program, EShipWeapon weapon, s32 level, f32 sideZ, s32 trigger);
