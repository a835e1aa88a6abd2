#include "library/ship_weapons.h"

#include "core/matrix44.h"
#include "core/name_hash.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "waves/generators/item_generators.h"
#include "world/atoms/gun_params.h"

#include <cstring>

namespace {

constexpr f32 NOZZLE_X = 6.0f;  // ahead of the weapon's node
constexpr f32 MISSILE_BAY_Z = 2.5f;  // either side of the node

// The looks are the items' (waves/generators/item_generators.h): the bolt shows its charge as
// lightning; sonic shots are notes whose size is their drawn radius; a missile's atom draws
// nothing, the missile draws its own glow and smoke.

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 matrix;
    matrix.setTranslationXYZ(x, y, z);
    return matrix;
}

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

void emitBullet(ClDNAProgram* program, const char* generator, s32 look, s32 level, f32 radius, f32 drawnRadius,
                f32 damage, f32 speed) {
    SBulletParams bullet{};
    bullet.bullType = look;
    bullet.bullLev = level;
    program->emitParamInt("MyBullGen", s32(crc32TextNoCase(generator)));
    program->emitParamInt("BullType", look);
    program->emitParamInt("BullLev", level);
    program->emitParamFloat("BullRad", radius);
    program->emitParamFloat("BullRndRad", drawnRadius);
    program->emitParamFloat("BullDmg", damage);
    program->emitParamFloat("BullVel", speed);
    program->emitParamFloat("BullVelVar", 0.0f);
    program->emitParamInt("BullCol", s32(getBulletColour(bullet)));
    program->emitParamInt("BullFlag", 0);
}

void emitBarrel(ClDNAProgram* program, const char* atomName) {
    program->emitNewNode(ClMatrix44());
    program->emitNameNode("BarrelNode");
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, translation(NOZZLE_X, 0.0f, 0.0f), 0);
    program->emitNameAtom(atomName);
    program->emitCloseNode();
}

}  // namespace

EShipWeapon shipWeaponForItem(const char* itemKey) {
    if (!itemKey) return E_SHIP_WEAPON_GUN;
    if (startsWith(itemKey, SHIP_KEY_CHARGING_GUN)) return E_SHIP_WEAPON_CHARGING_GUN;
    if (startsWith(itemKey, SHIP_KEY_MISSILE_LAUNCHER)) return E_SHIP_WEAPON_MISSILE_LAUNCHER;
    if (startsWith(itemKey, SHIP_KEY_SONIC_SUBWOOFER)) return E_SHIP_WEAPON_SONIC_SUBWOOFER;
    if (startsWith(itemKey, SHIP_KEY_SONIC_TWEETER)) return E_SHIP_WEAPON_SONIC_TWEETER;
    return E_SHIP_WEAPON_GUN;
}

void emitShipWeapon(ClDNAProgram* program, EShipWeapon weapon, s32 level, f32 sideZ, s32 trigger) {
    static const EShipItemKind ITEM_OF_WEAPON[] = {E_SHIP_ITEM_KIND_COUNT, E_SHIP_ITEM_CHARGING_GUN,
                                                   E_SHIP_ITEM_MISSILE_LAUNCHER, E_SHIP_ITEM_SONIC_SUBWOOFER,
                                                   E_SHIP_ITEM_SONIC_TWEETER};
    const SShipItemStats stats = shipItemStats(ITEM_OF_WEAPON[weapon], level);
    program->emitNewNode(translation(0.0f, 0.0f, sideZ));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    switch (weapon) {
        case E_SHIP_WEAPON_CHARGING_GUN:
            program->emitParamInt("ctrl", trigger);
            emitBullet(program, "DefBullGen", stats.look, level, 4.0f, 20.1f, stats.damage, 450.0f);
            program->emitParamFloat("CHD", 0.4f);
            program->emitParamFloat("CHT", stats.chargeSeconds);
            program->emitParamFloat("CHMIN", 0.1f);
            program->emitAddProcessor(E_PROC_PLAYER_CHARGING_GUN);
            emitBarrel(program, "CGBulAP");
            break;
        case E_SHIP_WEAPON_MISSILE_LAUNCHER:
            program->emitParamInt("ctrl", trigger);
            program->emitParamFloat("GunRate", stats.rate);
            program->emitParamInt("GunPel", 1);
            program->emitParamInt("GunPat", 0);
            emitBullet(program, "DefMissileGen", stats.look, level, 3.0f, 3.0f, stats.damage, 500.0f);
            program->emitAddProcessor(E_PROC_PLAYER_MISSILE_LAUNCHER);
            // Bays either side of the node, in pairs.
            for (u32 bay = 0; bay < u32(stats.bays); ++bay) {
                const f32 z = (bay % 2 ? MISSILE_BAY_Z : -MISSILE_BAY_Z) * f32(1 + bay / 2);
                program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, translation(0.0f, 0.0f, z), 0);
                program->emitNameAtom("MislBay");
            }
            break;
        case E_SHIP_WEAPON_SONIC_SUBWOOFER:
        case E_SHIP_WEAPON_SONIC_TWEETER:
            program->emitParamInt("BullType", stats.look);
            program->emitParamInt("SonicL", level);
            program->emitParamInt("SonicT", weapon == E_SHIP_WEAPON_SONIC_SUBWOOFER ? 1 : 0);
            program->emitParamFloat("MaxDmg", stats.damage);
            program->emitAddProcessor(E_PROC_PLAYER_SONIC);
            emitBarrel(program, "NozzleAtom");
            break;
        case E_SHIP_WEAPON_GUN:
            break;
    }
    program->emitCloseNode();
}
