// An armed enemy as the built-in pack writes it, played and drawn frame by frame on the built
// data: its gun grows a bullet, holds it until the bullet's look is drawn ready, then fires it at
// the ship.
#include <gtest/gtest.h>

#include "core/rand_obj.h"
#include "tests/waves/encounter_stage_test.h"
#include "waves/generators/generator_params.h"
#include "world/entity/entity_node.h"
#include "world/state/boss_encounter.h"
#include "world/play/boss_meter.h"
#include "world/processors/enemy_gun.h"

#include <cfloat>

using namespace world_test;

namespace {

class ArmedEnemyTest : public EncounterStageTest {
protected:
    void SetUp() override {
        EncounterStageTest::SetUp();
        g_BossEncounter.phaseTimer = FLT_MAX;  // no boss is due
    }

    // The generator's enemy with a gun for certain, active at the point.
    ClEntity* armedEnemy(const char* generatorName, u32 category, const ClVec3& at) {
        ClDNAGenerator* generator = generatorFindOrDie(category, generatorName);
        const SGeneratorParams params = {2, 1.0f};
        ClRandObjSFMT random;
        random.seed(5);
        ClDNAProgram* program = m_programs.emplace_back(generator->generate(&random, &params)).get();
        program->generator = generator;
        ClEntity* enemy = spawnActiveEntity(program);
        enemy->setRootPosition(at);
        return enemy;
    }
    static ClProcessor_EnemyGun* gunOf(const ClEntity* enemy) {
        return static_cast<ClProcessor_EnemyGun*>(enemy->root->findProcessor(E_PROC_ENEMY_GUN));
    }
    // Game frames, each drawn, until the gun has grown a bullet and let it go (two seconds at most).
    static ClEntity* playUntilFired(ClProcessor_EnemyGun* gun) {
        ClEntity* shot = nullptr;
        for (int frame = 0; frame < 120; ++frame) {
            playBossFrame();
            drawLiveEntities();
            if (entityRefGet(gun->heldBullet)) shot = entityRefGet(gun->heldBullet);
            if (shot && !entityRefGet(gun->heldBullet)) break;
        }
        return shot;
    }

    DnaWriter m_ship{E_PROGRAM_PLAYER};
};

TEST_F(ArmedEnemyTest, EveryArmedEnemySizeFiresItsBulletAtTheShip) {
    const ClEntity* ship = spawnShip(m_ship, ClVec3(160.0f, 0.0f, 30.0f));
    const struct {
        const char* name;
        u32 category;
    } sizes[] = {{"EnemyDart", E_GENCAT_ENEMY_SMALL}, {"EnemySpinner", E_GENCAT_ENEMY_MEDIUM}, {"EnemyBastion", E_GENCAT_ENEMY_LARGE}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.name);
        ClEntity* enemy = armedEnemy(size.name, size.category, ClVec3(160.0f, 0.0f, 200.0f));
        ClProcessor_EnemyGun* gun = gunOf(enemy);
        ASSERT_NE(gun, nullptr);
        ClEntity* shot = playUntilFired(gun);
        ASSERT_NE(shot, nullptr) << "a bullet grows on the gun";
        ASSERT_EQ(entityRefGet(gun->heldBullet), nullptr) << "and is let go";
        const f32 before = positionOf(shot).z;
        playBossFrame();
        EXPECT_LT(positionOf(shot).z, before) << "toward the ship";
        EXPECT_EQ(positionOf(shot).x, positionOf(ship).x);
        enemy->destroy();
        if (shot->state != E_ENTITY_DESTROYED) shot->destroy();
        playBossFrame();
    }
}

}  // namespace
