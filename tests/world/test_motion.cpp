#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/processors/motion_processors.h"
#include "tests/world/world_test_support.h"

#include <functional>

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

// One entity whose root carries the world frames and a child node written by the test.
class MotionTest : public world_test::WorldTest {
protected:
    // A fresh program each call (the last one lives until the test ends).
    ClEntity* build(const std::function<void(world_test::DnaWriter&)>& child) {
        world_test::DnaWriter& dna = *m_dnas.emplace_back(std::make_unique<world_test::DnaWriter>());
        dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).atom(E_ATOM_ATTACH_POINT);
        dna.node(nullptr, world_test::translation(10.0f, 0.0f, 0.0f)).processor(E_PROC_UPDATE_WORLD_FRAMES);
        child(dna);
        dna.close().close();
        ClEntity* entity = world_test::buildEntity(&dna.program);
        entity->spawn();
        return entity;
    }
    static ClEntityNode* childOf(ClEntity* entity) { return entity->root->children[0]; }
    template <typename T>
    static T* processorOf(ClEntity* entity, u32 typeId) {
        return static_cast<T*>(childOf(entity)->findProcessor(typeId));
    }
    std::vector<std::unique_ptr<world_test::DnaWriter>> m_dnas;
};

void expectRotation(const ClMatrix44& got, const ClVec3& axis, f32 angle) {
    ClMatrix44 want;
    want.setRotationAxisAngle(axis, angle);
    for (u32 i : {0u, 1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u}) EXPECT_NEAR(got.m[i], want.m[i], 1e-5f) << "element " << i;
}

TEST_F(MotionTest, RotatorWithBothSpeedsShowsOnlyTheSecond) {
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].totalTime = 0.0;
    ClEntity* both = build([](world_test::DnaWriter& d) {
        d.processor(E_PROC_ROTATOR).param("delay", 0.5f).param("rotspeed1", 1.0f).param("rotspeed2", 2.0f);
        d.program.emitParamVector("axis1", 1, 0, 0, 0);
        d.program.emitParamVector("axis2", 0, 1, 0, 0);
    });
    g_aGameClocks[GAME_CLOCK_GAMEPLAY].totalTime = 1.0 - f64(STEP);  // the step adds its frame time
    world_test::stepWorld();
    expectRotation(childOf(both)->localMatrix, ClVec3(0, 1, 0), 2.0f * 1.0f + 0.5f);
}

TEST_F(MotionTest, BeatRotatorReversesEachBeatFromWhereTheLastTurnGotTo) {
    ClEntity* entity = build([](world_test::DnaWriter& d) {
        d.processor(E_PROC_ROTATOR_ON_BEAT).param("DPB", 90.0f).param("BRSFTR", 0.5f).param("BRINV", 1);
    });
    entity->activate();
    EXPECT_EQ(world_test::liveBeatSubscriptions(), 1u);
    auto* rotator = processorOf<ClProcessor_Rotator_OnBeat>(entity, E_PROC_ROTATOR_ON_BEAT);
    const SBeat beat{};
    ClProcessor_Rotator_OnBeat::onBeat(beat, 0, rotator);
    for (int frame = 0; frame < 15; ++frame) world_test::stepWorld();  // a quarter second: half way
    EXPECT_NEAR(rotator->angle.current, 45.0f, 1e-3f);
    ClProcessor_Rotator_OnBeat::onBeat(beat, 1, rotator);
    for (int frame = 0; frame < 30; ++frame) world_test::stepWorld();
    expectRotation(childOf(entity)->localMatrix, ClVec3(0, 1, 0), -45.0f * 3.14159265f / 180.0f);
    entity->destroy();
    EXPECT_EQ(world_test::liveBeatSubscriptions(), 0u);
}

TEST_F(MotionTest, BeatRotatorStartsOnThePathSignalOnceOrNeverAsAsked) {
    for (s32 startOn : {1, 2}) {
        ClEntity* entity = build([startOn](world_test::DnaWriter& d) {
            d.processor(E_PROC_ROTATOR_ON_BEAT).param("DPB", 90.0f).param("BRSOFA", startOn);
        });
        entity->activate();
        EXPECT_EQ(world_test::liveBeatSubscriptions(), 0u);
        entity->broadcastPathSignal();
        entity->broadcastPathSignal();
        EXPECT_EQ(world_test::liveBeatSubscriptions(), startOn == 1 ? 1u : 0u) << "BRSOFA " << startOn;
        freeEntity(entity);
        EXPECT_EQ(world_test::liveBeatSubscriptions(), 0u);
    }
}

TEST_F(MotionTest, GoStraightKeepsAnEntityAtTheRangeAndDestroysItPast) {
    world_test::DnaWriter shot(E_PROGRAM_ENEMY_SHOT);
    shot.node().processor(E_PROC_GO_STRAIGHT).param("vel", 60.0f).close();
    ClEntity* entity = world_test::spawnActiveEntity(&shot.program, ClVec3(1199.0f, 0.0f, 0.0f));
    world_test::stepWorld();
    EXPECT_EQ(entity->getWorldPosition().x, 1200.0f);
    EXPECT_EQ(entity->state, u32(E_ENTITY_ACTIVE));
    world_test::stepWorld();
    EXPECT_EQ(usedEntityCount(), 0u);
}

TEST_F(MotionTest, FlickerReachesTheChosenSubtreeAndOnlyForMainAtomsWhenAsked) {
    ClEntity* entity = build([](world_test::DnaWriter& d) {
        d.processor(E_PROC_FLICKER_WHEN_DAMAGED).param("FLKCC", 1).param("FLKP", 1).atom(E_ATOM_ATTACH_POINT);
    });
    ClAtom* hit = childOf(entity)->atoms[0];
    ClAtom* parentAtom = entity->root->atoms[0];
    auto* flicker = processorOf<ClProcessor>(entity, E_PROC_FLICKER_WHEN_DAMAGED);
    flicker->onDamaged(hit);
    EXPECT_EQ(parentAtom->effectCount, 0u);
    hit->registered = 1;
    flicker->onDamaged(hit);
    EXPECT_EQ(parentAtom->effectCount, 1u);
    EXPECT_EQ(hit->effectCount, 1u);
}

}  // namespace
