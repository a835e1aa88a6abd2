#include "world/atoms/gun_params.h"

#include "core/fatal_error.h"
#include "world/entity/entity_node.h"
#include "world/entity/param_table.h"

namespace {

const SParamValue* required(const ClEntityNode* node, const char* name) {
    if (!node) fatalErrorf("parameter \"%s\" read from no node", name);
    return node->params.get(name);
}

s32 readInt(const ClEntityNode* node, const char* name) {
    const SParamValue* value = required(node, name);
    if (value->type != E_PARAM_INT) fatalErrorf("parameter \"%s\" is not an integer (type %u)", name, value->type);
    return value->integer;
}

// An integer value reads as its float; the producers write whole numbers without a point.
f32 readFloat(const ClEntityNode* node, const char* name) {
    const SParamValue* value = required(node, name);
    if (value->type == E_PARAM_FLOAT) return value->real;
    if (value->type == E_PARAM_INT) return f32(value->integer);
    fatalErrorf("parameter \"%s\" is not a number (type %u)", name, value->type);
}

}  // namespace

void SBulletParams::readFromNode(const ClEntityNode* node, SBulletParams* out) {
    out->myBullGen = readInt(node, "MyBullGen");
    out->bullType = readInt(node, "BullType");
    out->bullLev = readInt(node, "BullLev");
    out->bullRad = readFloat(node, "BullRad");
    out->bullRndRad = readFloat(node, "BullRndRad");
    out->bullDmg = readFloat(node, "BullDmg");
    out->bullVel = readFloat(node, "BullVel");
    out->bullVelVar = readFloat(node, "BullVelVar");
    out->bullCol = readInt(node, "BullCol");
    out->bullFlag = readInt(node, "BullFlag");
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
    table.findOrAdd("MyBullGen")->setInt(params.myBullGen);
    table.findOrAdd("BullType")->setInt(params.bullType);
    table.findOrAdd("BullLev")->setInt(params.bullLev);
    table.findOrAdd("BullRad")->setFloat(params.bullRad);
    table.findOrAdd("BullRndRad")->setFloat(params.bullRndRad);
    table.findOrAdd("BullDmg")->setFloat(params.bullDmg);
    table.findOrAdd("BullVel")->setFloat(params.bullVel);
    table.findOrAdd("BullVelVar")->setFloat(params.bullVelVar);
    table.findOrAdd("BullCol")->setInt(params.bullCol);
    table.findOrAdd("BullFlag")->setInt(params.bullFlag);
}
