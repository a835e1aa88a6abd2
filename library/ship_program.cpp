#include "library/ship_program.h"

#include "core/matrix44.h"
#include "core/saved_options.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "library/ship_weapons.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "render/mesh_builders.h"
#include "waves/generators/item_generators.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "world/processors/player_ctrl.h"
#include "world/atoms/gun_params.h"

namespace {

// The ship's own frame: x points ahead (the player's control turns it to face up the arena), z to
// the right, y up. Lengths are world units.
constexpr f32 HULL_WIDTH = 14.0f;
constexpr f32 HULL_TAIL_X = -8.0f;  // the dart's tail; its nose is 19 units ahead of it
constexpr f32 WING_SIDE_Z = 12.0f;
constexpr f32 WING_RADIUS = 4.0f;
constexpr f32 WING_HEIGHT = 2.0f;
// Nozzles, from the gun's node.
constexpr f32 HULL_NOZZLE_X = 10.0f;
constexpr f32 HULL_NOZZLE_Z = 3.0f;
constexpr f32 WING_NOZZLE_X = 5.0f;

// Hit-point class 0: the parts of the ship take the table's smallest hit points.
constexpr u32 SHIP_HIT_POINT_CLASS = 0;

enum EShipGeometry : s32 { E_SHIP_GEOMETRY_HULL = 0, E_SHIP_GEOMETRY_WING = 1 };

// The hull's gun without an item: two barrels taking turns, the blaster.
constexpr SShipGunTuning DEFAULT_HULL_GUN = {DEFAULT_HULL_GUN_RATE, 1, 0};
constexpr f32 BULLET_COLLISION_RADIUS = 1.5f;
constexpr f32 BULLET_DRAWN_RADIUS = 1.0f;
// Damage of one shot at the easiest level. The shot grows with the difficulty as the smallest
// enemy's hit points do, so the smallest enemy takes the same number of hits at every level and
// the harder levels stay winnable with the ship's first gun.
constexpr f32 BULLET_DAMAGE = 10.0f;
constexpr f32 BULLET_SPEED = 300.0f;      // units per second
constexpr f32 BULLET_SPEED_SPREAD = 0.05f;  // fraction of the speed each bullet draws within

const char* const PLAYER_BULLET_GENERATOR = "DefBullGen";

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 matrix;
    matrix.setTranslationXYZ(x, y, z);
    return matrix;
}

s32 clampItemLevel(s32 level) { return level < 0 ? 0 : level > SHIP_ITEM_LEVEL_MAX ? SHIP_ITEM_LEVEL_MAX : level; }

s32 itemLevel(const char* itemKey, bool* known) {
    const SCollectibleRecord* item = findCollectibleRecord(itemKey);
    *known = item != nullptr;
    return item ? clampItemLevel(item->currentLevel) : 0;
}

// The gun of the anchor for a known item (or none) at the level; false when the anchor has none.
bool gunTuningAt(u32 anchor, const char* itemKey, bool known, s32 level, SShipGunTuning* out) {
    if (anchor >= SHIP_PROGRAM_ANCHOR_COUNT || (anchor != 0 && !known)) return false;
    if (!known) {
        *out = DEFAULT_HULL_GUN;
        return true;
    }
    *out = SShipGunTuning{shipGunRate(anchor == 0, level), 0, level};
    EShipItemKind kind;
    if (shipItemKindForKey(itemKey, &kind)) {
        const SShipItemStats stats = shipItemStats(kind, level);
        if (stats.isGun) {
            out->look = stats.look;
            out->pellets = stats.pellets;
            out->damageFactor = stats.damageFactor;
        }
    }
    return true;
}

// The gun's node parameters: the trigger, the rate and pattern, and the bullet block the gun
// copies into every bullet (fourteen of a node's sixteen parameters).
void emitGunBlock(ClDNAProgram* program, const SShipGunTuning& gun) {
    SBulletParams bullet{};
    bullet.myBullGen = s32(crc32TextNoCase(PLAYER_BULLET_GENERATOR));
    bullet.bullType = gun.look;
    bullet.bullLev = gun.level;
    program->emitParamInt("ctrl", shipGunTrigger());
    program->emitParamFloat("GunRate", gun.rate);
    program->emitParamInt("GunPel", gun.pellets);
    program->emitParamInt("GunPat", gun.pattern);
    program->emitParamInt("MyBullGen", bullet.myBullGen);
    program->emitParamInt("BullType", bullet.bullType);
    program->emitParamInt("BullLev", bullet.bullLev);
    program->emitParamFloat("BullRad", BULLET_COLLISION_RADIUS);
    program->emitParamFloat("BullRndRad", BULLET_DRAWN_RADIUS);
    program->emitParamFloat("BullDmg", shipShotDamage() * gun.damageFactor);
    program->emitParamFloat("BullVel", BULLET_SPEED);
    program->emitParamFloat("BullVelVar", BULLET_SPEED_SPREAD);
    program->emitParamInt("BullCol", s32(getBulletColour(bullet)));
    program->emitParamInt("BullFlag", 0);
}

// A gun node at sideZ with a barrel for each nozzle offset (x ahead, z to the right). The gun
// sets a barrel's local offset to its recoil, so the nozzle atoms carry the barrels' places.
void emitGun(ClDNAProgram* program, const SShipGunTuning& gun, f32 sideZ, const f32 (*nozzles)[2], u32 barrelCount) {
    program->emitNewNode(translation(0.0f, 0.0f, sideZ));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    emitGunBlock(program, gun);
    program->emitAddProcessor(E_PROC_PLAYER_GUN);
    for (u32 k = 0; k < barrelCount; ++k) {
        program->emitNewNode(ClMatrix44());
        program->emitNameNode("BarrelNode");
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, translation(nozzles[k][0], 0.0f, nozzles[k][1]), 0);
        program->emitNameAtom("NozzleAtom");
        program->emitCloseNode();
    }
    program->emitCloseNode();
}

// What hangs on anchor i for the item at the level: the weapon a known weapon item names, else
// the gun its item (or none) gives; nothing for a wing without an item. Each piece is a node of
// its own, closed again.
void emitAnchorWeapon(ClDNAProgram* program, u32 anchor, const char* itemKey, bool known, s32 level) {
    SShipGunTuning gun{};
    const bool armed = gunTuningAt(anchor, itemKey, known, level, &gun);
    const EShipWeapon weapon = known ? shipWeaponForItem(itemKey) : E_SHIP_WEAPON_GUN;
    const f32 side = anchor == 0 ? 0.0f : anchor == 1 ? -WING_SIDE_Z : WING_SIDE_Z;
    static const f32 hullNozzles[2][2] = {{HULL_NOZZLE_X, -HULL_NOZZLE_Z}, {HULL_NOZZLE_X, HULL_NOZZLE_Z}};
    static const f32 wingNozzle[1][2] = {{WING_NOZZLE_X, 0.0f}};
    if (weapon != E_SHIP_WEAPON_GUN)
        emitShipWeapon(program, weapon, gun.level, side, shipGunTrigger());
    else if (armed)
        emitGun(program, gun, side, anchor == 0 ? hullNozzles : wingNozzle, anchor == 0 ? 2 : 1);
}

// Anchor i: its "AnchorCL" point, a body part whole from the spawn on ("startNode"), and what its
// item puts on it. The hull's part is the main atom the entity registers.
void emitAnchor(ClDNAProgram* program, u32 anchor, const char* itemKey) {
    program->emitAnchorNode();
    program->emitParamInt("anchID", s32(anchor));
    program->emitParamInt("startNode", 1);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    if (anchor == 0) {
        program->emitNewAtom(E_ATOM_BODY, E_SHIP_GEOMETRY_HULL, translation(HULL_TAIL_X, 0.0f, 0.0f), SHIP_HIT_POINT_CLASS);
        program->emitRegisterAtom();
    } else {
        const f32 side = anchor == 1 ? -WING_SIDE_Z : WING_SIDE_Z;
        program->emitNewAtom(E_ATOM_BODY, E_SHIP_GEOMETRY_WING, translation(0.0f, 0.0f, side), SHIP_HIT_POINT_CLASS);
    }
    bool known = false;
    const s32 level = itemLevel(itemKey, &known);
    emitAnchorWeapon(program, anchor, itemKey, known, level);
    program->emitCloseNode();
}

ClDNAProgram* newShipProgram() {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_PLAYER;
    return program;
}

// The ship with the keys in its anchor slots (SHIP_PROGRAM_ANCHOR_COUNT of them).
ClDNAProgram* buildShipDnaWithKeys(const char* const* keys) {
    ClDNAProgram* program = newShipProgram();
    program->geometries.push(buildDartMesh(HULL_WIDTH, 1.0f));
    program->geometries.push(buildBipyramidMesh(4, WING_RADIUS, WING_HEIGHT, WING_HEIGHT));
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_PLAYER_CTRL);
    for (u32 anchor = 0; anchor < SHIP_PROGRAM_ANCHOR_COUNT; ++anchor) emitAnchor(program, anchor, keys[anchor]);
    program->emitCloseNode();
    return program;
}

}  // namespace

s32 shipGunTrigger() { return s32(savedOptions().latchedFire != 0 ? FIRE_TRIGGER_LATCH_FIRST : 0); }

f32 shipShotDamage() {
    return BULLET_DAMAGE * hitPointsForClass(0, HIT_POINT_ROW_CURRENT) / hitPointsForClass(0, 0);
}

ClDNAProgram* buildShipDna() {
    // A key as the save stored it need not be terminated within its slot.
    char keys[SHIP_PROGRAM_ANCHOR_COUNT][ITEM_KEY_LENGTH];
    const char* slots[SHIP_PROGRAM_ANCHOR_COUNT];
    for (u32 anchor = 0; anchor < SHIP_PROGRAM_ANCHOR_COUNT; ++anchor) {
        strCopyN(keys[anchor], g_SongLibrary.equippedItemKeys[anchor], ITEM_KEY_LENGTH);
        slots[anchor] = keys[anchor];
    }
    return buildShipDnaWithKeys(slots);
}

ClDNAProgram* buildShipDnaWithHullItem(const char* itemKey) {
    const char* slots[SHIP_PROGRAM_ANCHOR_COUNT] = {itemKey ? itemKey : "", "", ""};
    return buildShipDnaWithKeys(slots);
}

ClDNAProgram* buildAnchorWeaponDna(u32 anchor, s32 value) {
    if (anchor >= SHIP_PROGRAM_ANCHOR_COUNT) return nullptr;
    char key[ITEM_KEY_LENGTH];
    strCopyN(key, g_SongLibrary.equippedItemKeys[anchor], ITEM_KEY_LENGTH);
    s32 level = 0;
    if (!findCollectibleRecord(key) || !itemLevelForValue(value, &level)) return nullptr;
    ClDNAProgram* program = newShipProgram();
    program->emitNewNode(ClMatrix44());
    emitAnchorWeapon(program, anchor, key, true, clampItemLevel(level));
    program->emitCloseNode();
    return program;
}
