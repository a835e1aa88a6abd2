#include "world/atoms/gun_params.h"

#include "core/fatal_error.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/entity_node.h"
#include "world/entity/param_table.h"

namespace {

enum EBulletField : u32 {
    F_MY_BULL_GEN,
    F_BULL_TYPE,
    F_BULL_LEV,
    F_BULL_RAD,
    F_BULL_RND_RAD,
    F_BULL_DMG,
    F_BULL_VEL,
    F_BULL_VEL_VAR,
    F_BULL_COL,
    F_BULL_FLAG,
    F_BULLET_FIELD_COUNT,
};

// Hashed when the program starts, so that a read of the block checks no first-use guard.
const SParamName BULLET_FIELD_NAMES[F_BULLET_FIELD_COUNT] = {
    SParamName("MyBullGen"), SParamName("BullType"), SParamName("BullLev"),    SParamName("BullRad"),
    SParamName("BullRndRad"), SParamName("BullDmg"), SParamName("BullVel"),     SParamName("BullVelVar"),
    SParamName("BullCol"),    SParamName("BullFlag")};

const SParamName& bulletField(EBulletField field) { return BULLET_FIELD_NAMES[field]; }

const SParamValue* required(const ClEntityNode* node, const SParamName& name) {
    if (!node) fatalErrorf("parameter \"%s\" read from no node", name.text);
    const SParamValue* value = node->params.find(name);
    if (!value) fatalErrorf("required parameter \"%s\" is missing", name.text);
    return value;
}

s32 readInt(const ClEntityNode* node, const SParamName& name) {
    const SParamValue* value = required(node, name);
    if (value->type != E_PARAM_INT) fatalErrorf("parameter \"%s\" is not an integer (type %u)", name.text, value->type);
    return value->integer;
}

// An integer value reads as its float; the producers write whole numbers without a point.
f32 readFloat(const ClEntityNode* node, const SParamName& name) {
    const SParamValue* value = required(node, name);
    if (value->type == E_PARAM_FLOAT) return value->real;
    if (value->type == E_PARAM_INT) return f32(value->integer);
    fatalErrorf("parameter \"%s\" is not a number (type %u)", name.text, value->type);
}

s32 readInt(const ClEntityNode* node, const char* name) { return readInt(node, SParamName(name)); }
f32 readFloat(const ClEntityNode* node, const char* name) { return readFloat(node, SParamName(name)); }
s32 readInt(const ClEntityNode* node, EBulletField field) { return readInt(node, bulletField(field)); }
f32 readFloat(const ClEntityNode* node, EBulletField field) { return readFloat(node, bulletField(field)); }

SParamValue* bulletEntry(SParamTable& table, EBulletField field) {
    return table.findOrAdd(bulletField(field));
}

}  // namespace

const SParamName& BULLET_TYPE_NAME = BULLET_FIELD_NAMES[F_BULL_TYPE];
const SParamName& BULLET_SPEED_NAME = BULLET_FIELD_NAMES[F_BULL_VEL];
const SParamName& BULLET_DAMAGE_NAME = BULLET_FIELD_NAMES[F_BULL_DMG];
const SParamName BULLET_HIT_NAME("BullHit");

void SBulletParams::readFromNode(const ClEntityNode* node, SBulletParams* out) {
    out->myBullGen = readInt(node, F_MY_BULL_GEN);
    out->bullType = readInt(node, F_BULL_TYPE);
    out->bullLev = readInt(node, F_BULL_LEV);
    out->bullRad = readFloat(node, F_BULL_RAD);
    out->bullRndRad = readFloat(node, F_BULL_RND_RAD);
    out->bullDmg = readFloat(node, F_BULL_DMG);
    out->bullVel = readFloat(node, F_BULL_VEL);
    out->bullVelVar = readFloat(node, F_BULL_VEL_VAR);
    out->bullCol = readInt(node, F_BULL_COL);
    out->bullFlag = readInt(node, F_BULL_FLAG);
}

void SGunParams::readFromNode(const ClEntityNode* node, SGunParams* out) {
    out->gunRate = readFloat(node, "GunRate");
    out->gunPel = readInt(node, "GunPel");
    out->gunPat = readInt(node, "GunPat");
    SBulletParams::readFromNode(node, &out->bullet);
}

void SChargingGunParams::readFromNode(const ClEntityNode* node, SChargingGunParams* out) {
    SBulletParams::readFromNode(node, &out->bullet);
    out->dischargeSeconds = readFloat(node, "CHD");
    out->fullChargeSeconds = readFloat(node, "CHT");
    out->chargeMinimum = readFloat(node, "CHMIN");
}

void copyBulletParamsToBullet(ClEntityNode* bulletRoot, const SBulletParams& params) {
    if (!bulletRoot) fatalError("bullet parameters copied into a bullet without a root node");
    SParamTable& table = bulletRoot->params;
    bulletEntry(table, F_MY_BULL_GEN)->setInt(params.myBullGen);
    bulletEntry(table, F_BULL_TYPE)->setInt(params.bullType);
    bulletEntry(table, F_BULL_LEV)->setInt(params.bullLev);
    bulletEntry(table, F_BULL_RAD)->setFloat(params.bullRad);
    bulletEntry(table, F_BULL_RND_RAD)->setFloat(params.bullRndRad);
    bulletEntry(table, F_BULL_DMG)->setFloat(params.bullDmg);
    bulletEntry(table, F_BULL_VEL)->setFloat(params.bullVel);
    bulletEntry(table, F_BULL_VEL_VAR)->setFloat(params.bullVelVar);
    bulletEntry(table, F_BULL_COL)->setInt(params.bullCol);
    bulletEntry(table, F_BULL_FLAG)->setInt(params.bullFlag);
    // The bullet atoms of the root keep the block itself, so that a new shot's first bounds and
    // draw look up none of the names just written. Later writes to the node's speed or damage
    // reach those who read them from the node; the atom reads neither.
    for (ClAtom* atom : bulletRoot->atoms)
        if (atom->kind == E_ATOM_BULLET) static_cast<ClAtom_Bullet*>(atom)->takeParams(params);
}
