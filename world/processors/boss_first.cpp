#include "world/processors/boss_first.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/boss_support.h"
#include "world/processors/motion_processors.h"
#include "world/services/bar_colour_scheme.h"

#include <cmath>
#include <numbers>

const ClVec3 FIRST_BOSS_CENTRE(162.5f, 0.0f, 100.0f);

namespace {

constexpr f32 TWO_PI = 2.0f * std::numbers::pi_v<f32>;
constexpr f32 FOUR_PI = 4.0f * std::numbers::pi_v<f32>;
constexpr u32 ARM_LINE_LAYER = 108;
// Node layout: child 0, the arms, then the two gun nodes.
constexpr u32 FIRST_ARM_CHILD = 1;
constexpr u32 NON_ARM_CHILDREN = 3;

}  // namespace

void ClProcessor_Enemy_Boss_1::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BOSS_1);
    orbitAngle = 0.0f;
    armCount = armScale = 0;
}

u32 ClProcessor_Enemy_Boss_1::armNodeCount() const {
    return node->children.count > NON_ARM_CHILDREN ? node->children.count - NON_ARM_CHILDREN : 0;
}

void ClProcessor_Enemy_Boss_1::onSpawn() {
    ClMatrix44 world;
    world.setIdentity();
    world.setRotationAxisAngle(ClVec3(0.0f, 1.0f, 0.0f), -std::numbers::pi_v<f32> / 2.0f);
    entity->root->localMatrix = world;
    entity->root->setWorldMatrix(world);
    entity->refreshWorldFrames();
    publishBossStrength(entity, 1.0f);
    const SParamTable& params = entity->root->params;
    armCount = params.get("HHNHS")->integer;
    armScale = params.get("HHMNHS")->integer;
    gunInterval = params.get("HHGFR")->real;
    if (armScale <= 0) fatalErrorf("the first boss's \"HHMNHS\" is %d; it divides the arms' spin", armScale);
}

u32 ClProcessor_Enemy_Boss_1::standingArms() const {
    u32 standing = 0;
    for (u32 i = 0; i < armNodeCount(); ++i) {
        const ClEntityNode* arm = node->children[FIRST_ARM_CHILD + i];
        if (arm->children.count && arm->children[0]->anyActive) ++standing;
    }
    return standing;
}

f32 ClProcessor_Enemy_Boss_1::spinFactor() const {
    const u32 standing = standingArms();
    const f32 share = f32(armCount) / f32(armScale);
    return standing ? share * (1.0f / f32(standing)) : share;
}

void ClProcessor_Enemy_Boss_1::update() {
    const f32 f = spinFactor();
    const f32 clock = f32(gameClock(GAME_CLOCK_GAMEPLAY).totalTime);
    for (u32 i = 0; i < armNodeCount(); ++i) {
        auto* rotator = static_cast<ClProcessor_Rotator*>(node->children[FIRST_ARM_CHILD + i]->findProcessor(E_PROC_ROTATOR));
        // The phase takes up the change of speed so the arm's angle carries on without a jump.
        rotator->phase += (rotator->speed1 - FIRST_BOSS_SPIN * f) * clock;
        rotator->speed1 = FIRST_BOSS_SPIN * f;
    }
    if (!bossFightRunning()) {
        entity->timer = 1.0f;
        entity->setRootPosition(FIRST_BOSS_CENTRE);
        return;
    }
    if (entity->state != E_ENTITY_ACTIVE) return;
    publishBossStrength(entity, entity->root->atoms.count ? atomStrengthFraction(entity->root->atoms[0]) : 0.0f);
    entity->timer = 0.0f;
    if (standingArms() == 0) {
        const u32 arms = armNodeCount();
        setBossHeadGun(node->children[arms + 1], true, gunInterval);
        setBossHeadGun(node->children[arms + 2], true, gunInterval);
    }
    orbitAngle += frameTime() * FIRST_BOSS_ORBIT * f;
    if (orbitAngle > FOUR_PI) orbitAngle -= FOUR_PI;
    const f32 a = orbitAngle;
    const f32 side = a < TWO_PI ? -1.0f : 1.0f;
    entity->setRootPosition(ClVec3(FIRST_BOSS_CENTRE.x + side * FIRST_BOSS_RADIUS * (1.0f - std::cos(a)), 0.0f,
                                   FIRST_BOSS_CENTRE.z + FIRST_BOSS_RADIUS * std::sin(a)));
}

void ClProcessor_Enemy_Boss_1::drawOverlay() {
    const SMaterial* material = getMaterialForEffectAndTextureName("system_add_nobias", "Images/Bar-New-White");
    const u32 colour = g_BarColourScheme.colour(E_BARSCHEME_ENEMY_CORE_COLOUR).current | 0x40000000u;
    const ClVec3 from = node->currentWorldMatrix().getTranslation();
    for (u32 i = 0; i < armNodeCount(); ++i) {
        const ClEntityNode* arm = node->children[FIRST_ARM_CHILD + i];
        if (!arm->children.count || !arm->children[0]->anyActive) continue;
        appendLineCommand(from, arm->children[0]->currentWorldMatrix().getTranslation(), FIRST_BOSS_ARM_LINE_WIDTH, colour,
                          material, 0.0f, 1, ARM_LINE_LAYER);
    }
}
