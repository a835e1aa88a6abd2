#include "library/ship_weapons.h"

#include "core/matrix44.h"
#include "core/name_hash.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "world/play/gun_params.h"

#include <cstring>

namespace {

constexpr f32 NOZZLE_X = 6.0f;  // ahead of the weapon's node
constexpr f32 MISSILE_BAY_Z = 2.5f;  // either side of the node

// Bullet looks: the bolt shows its charge as lightning; sonic shots are notes whose size is their
// drawn radius; a missile's atom draws nothing, the missile draws its own glow and smoke.
constexpr s32 BOLT_LOOK = 13;
constexpr s32 NOTE_LOOK = 11;
constexpr s32 NO_LOOK = 17;

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
    const f32 grade = f32(level);
    program->emitNewNode(translation(0.0f, 0.0f, sideZ));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    switch (weapon) {
        case E_SHIP_WEAPON_CHARGING_GUN:
            program->emitParamInt("ctrl", trigger);
            emitBullet(program, "DefBullGen", BOLT_LOOK, level, 4.0f, 20.1f, 60.0f + 15.0f * grade, 450.0f);
            program->emitParamFloat("CHD", 0.4f);
            program->emitParamFloat("CHT", 1.5f - 0.1f * grade);  // seconds to a full charge
            program->emitParamFloat("CHMIN", 0.1f);
            program->emitAddProcessor(E_PROC_PLAYER_CHARGING_GUN);
            emitBarrel(program, "CGBulAP");
            break;
        case E_SHIP_WEAPON_MISSILE_LAUNCHER:
            program->emitParamInt("ctrl", trigger);
            program->emitParamFloat("GunRate", 1.0f);
            program->emitParamInt("GunPel", 1);
            program->emitParamInt("GunPat", 0);
            emitBullet(program, "DefMissileGen", NO_LOOK, level, 3.0f, 3.0f, 25.0f + 5.0f * grade, 500.0f);
            program->emitAddProcessor(E_PROC_PLAYER_MISSILE_LAUNCHER);
            // Bays above and below the node: two, and four from level 3.
            for (u32 bay = 0; bay < (level >= 3 ? 4u : 2u); ++bay) {
                const f32 z = (bay % 2 ? MISSILE_BAY_Z : -MISSILE_BAY_Z) * f32(1 + bay / 2);
                program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, translation(0.0f, 0.0f, z), 0);
                program->emitNameAtom("MislBay");
            }
            break;
        case E_SHIP_WEAPON_SONIC_SUBWOOFER:
        case E_SHIP_WEAPON_SONIC_TWEETER:
            program->emitParamInt("BullType", NOTE_LOOK);
            program->emitParamInt("SonicL", level);
            program->emitParamInt("SonicT", weapon == E_SHIP_WEAPON_SONIC_SUBWOOFER ? 1 : 0);
            program->emitParamFloat("MaxDmg", 20.0f + 5.0f * grade);
            program->emitAddProcessor(E_PROC_PLAYER_SONIC);
            emitBarrel(program, "NozzleAtom");
            break;
        case E_SHIP_WEAPON_GUN:
            break;
    }
    program->emitCloseNode();
}
