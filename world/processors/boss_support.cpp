#include "world/processors/boss_support.h"

#include "core/fatal_error.h"
#include "core/float_helpers.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "world/atoms/atom.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/cube_station.h"
#include "world/state/boss_encounter.h"
#include "world/state/player_records.h"

#include <cstdio>

namespace {

constexpr u32 SECTION_NAME_CAPACITY = 768;
constexpr u32 RANDOM_MODULUS = 2147483647u;

const ClAtom* mainAtom(const ClEntity* entity) {
    const ClEntityNode* root = entity->root;
    if (!root || root->children.count == 0) return nullptr;
    const ClEntityNode* body = root->children[0];
    return body->atoms.count ? body->atoms[0] : nullptr;
}

void describeBlock(const ClScriptNode* block, char* out, u32 outSize) { describeScriptNode(block, out, outSize); }

}  // namespace

bool bossFightRunning() { return g_BossEncounter.phase == E_BOSSPHASE_FIGHT; }

bool firstPlayerHasShip() { return g_aPlayerState[0].active && playerShip(0); }

f32 bossStrengthFraction(const ClEntity* entity) {
    const ClAtom* atom = mainAtom(entity);
    return atom ? atomStrengthFraction(atom) : 0.0f;
}

f32 atomStrengthFraction(const ClAtom* atom) {
    if (atom->spawnHitPoints <= 0.0f) return atom->hitPoints > 0.0f ? 1.0f : 0.0f;
    return clamp01(atom->hitPoints / atom->spawnHitPoints);
}

void publishBossStrength(ClEntity* entity, f32 fraction) { entity->findOrAddParam("NDKFBH")->setFloat(fraction); }

s32 bossStageFor(f32 fraction) {
    if (fraction > BOSS_STAGE_1_FRACTION) return 0;
    return fraction > BOSS_STAGE_2_FRACTION ? 1 : 2;
}

s32 publishBossStage(ClEntity* entity) {
    const f32 fraction = bossStrengthFraction(entity);
    publishBossStrength(entity, fraction);
    return bossStageFor(fraction);
}

const ClScriptNode* findBossTuningBlock(ClEntity* entity, const char* sectionPrefix) {
    const SParamValue* suffix = entity->findOrAddParam("WI_nhk");
    if (suffix->type != E_PARAM_STRING) fatalErrorf("boss root has no \"WI_nhk\" text for %s", sectionPrefix);
    char name[SECTION_NAME_CAPACITY];
    std::snprintf(name, sizeof(name), "%s%s", sectionPrefix, suffix->text);
    const ClScriptNode* section = getScript("playbalance.txt", 0);
    section = section ? section->findChild(name) : nullptr;
    if (!section || section->childCount() == 0) fatalErrorf("\"playbalance.txt\" has no tuning block \"%s\"", name);
    return section->getChild(0);
}

const ClScriptNode* bossTuningRow(const ClScriptNode* block, u32 index, u32 count) {
    const ClScriptNode* row = block->getChild(index);
    if (row->childCount() < count) {
        char where[256];
        describeBlock(row, where, sizeof(where));
        fatalErrorf("%s holds %u values, %u needed", where, row->childCount(), count);
    }
    return row;
}

f32 bossStageFloat(const ClScriptNode* block, u32 index, s32 stage) {
    return bossTuningRow(block, index, 3)->getChild(u32(stage))->getFloat();
}

s32 bossRandomInRange(s32 minimum, s32 maximum) {
    const u32 draw = sfmtGenRand32() % RANDOM_MODULUS;
    if (maximum < minimum) return minimum;
    return s32(draw % u32(maximum - minimum + 1)) + minimum;
}

f32 bossRandomFloat(f32 minimum, f32 maximum) {
    const f32 unit = f32(double(sfmtGenRand32()) * (1.0 / 4294967296.0));
    return unit * (maximum - minimum) + minimum;
}

void setBossHeadGun(ClEntityNode* gunNode, bool enabled, f32 shotInterval) {
    auto* gun = static_cast<ClProcessor_Enemy_AI_Head_Gun*>(gunNode->findProcessor(E_PROC_ENEMY_HEAD_GUN));
    gun->enabled = enabled ? 1 : 0;
    if (enabled) gun->shotInterval = shotInterval;
}

void startBossHeadGunsOnce(ClEntityNode* gunPair, f32 shotInterval, s32* started) {
    if (*started) return;
    if (shotInterval > 0.0f) {
        setBossHeadGun(gunPair->children[0], true, shotInterval);
        setBossHeadGun(gunPair->children[1], true, shotInterval);
    }
    *started = 1;
}

void placeBossAt(ClEntity* entity, const ClVec3& position) {
    ClMatrix44 world;
    world.setIdentity();
    world.setTranslationXYZ(position.x, position.y, position.z);
    entity->root->setWorldMatrix(world);
    entity->root->localMatrix = world;
    entity->refreshWorldFrames();
    entity->root->computeBounds();
}

ClVec3 worldPositionOf(const ClEntity* entity) {
    const ClVec4 p = entity->getWorldPosition();
    return ClVec3(p.x, p.y, p.z);
}
