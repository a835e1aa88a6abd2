#include <gtest/gtest.h>

#include "audio/play/song_clock.h"
#include "render/fx_particles.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/processors/path_follower.h"
#include "world/processors/path_steering.h"
#include "world/state/wave_record.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

void expectNear(const ClVec3& got, const ClVec3& want) {
    EXPECT_LE(std::max({std::fabs(got.x - want.x), std::fabs(got.y - want.y), std::fabs(got.z - want.z)}), 1e-4f)
        << got.x << " " << got.y << " " << got.z;
}

TEST(PathSteering, BackwardsHeadingsSwingThroughPlusZEitherWay) {
    const f32 limit = 0.1f;
    expectNear(turnHeadingTowards(ClVec3(-1, 0, 0), ClVec3(1, 0, 0), limit), ClVec3(-std::cos(limit), 0, std::sin(limit)));
    expectNear(turnHeadingTowards(ClVec3(1, 0, 0), ClVec3(-1, 0, 0), limit), ClVec3(std::cos(limit), 0, std::sin(limit)));
    // Straight up against straight down still turns, by exactly the limit.
    const ClVec3 turned = turnHeadingTowards(ClVec3(0, 1, 0), ClVec3(0, -1, 0), limit);
    EXPECT_NEAR(turned.length(), 1.0f, 1e-5f);
    EXPECT_NEAR(turned.y, std::cos(limit), 1e-5f);
}

TEST(PathSteering, OnlyPositionsPastTheWallsBounce) {
    for (const ClVec3 border : {ClVec3(0.0001f, 0, 0.0001f), ClVec3(325.0001f, 0, 269.7501f)}) {
        ClVec3 position = border;
        ClVec3 heading(1, 0, 1);
        bounceInArena(&position, &heading);
        EXPECT_EQ(position.x, border.x);
        EXPECT_EQ(position.z, border.z);
        EXPECT_EQ(heading.x, 1.0f);
    }
    ClVec3 position(-2.0f, 0, 300.0f);
    ClVec3 heading(-1, 0, 1);
    bounceInArena(&position, &heading);
    expectNear(position, ClVec3(2.0f, 0, 269.7499f));
    expectNear(heading, ClVec3(1, 0, -1));
}

// The first member of a wave built from a program of one node carrying the world frames and the path
// follower, its path written by the test (from its E_SEG_START point).
class FollowPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        world_test::startTestWorld();
        g_fGameStep = STEP;
        m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_FOLLOW_PATH).close();
        m_record.plan = &m_plan.members[0];
        m_plan.members[0].wave = &m_plan;
        m_plan.members[0].segments.init();
    }
    void TearDown() override {
        setSongCue({});
        world_test::stopTestWorld();
        m_plan.release();
    }

    void add(u32 kind, SParamValue a = {}, SParamValue b = {}, SParamValue c = {}) {
        m_plan.members[0].segments.push(SMotionSegment{kind, a, b, c});
    }
    ClEntity* spawnMember() {
        ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
        entity->waveSlot = &m_record;
        entity->memberIndex = 0;
        entity->buildFromDNA(&m_dna.program);
        entity->spawn();
        m_record.memberEntities[m_record.memberCount++] = entity;
        return entity;
    }
    static void step() { world_test::stepWorld(STEP); }
    static ClProcessor_FollowPath* follower(ClEntity* entity) {
        return static_cast<ClProcessor_FollowPath*>(entity->root->findProcessor(E_PROC_FOLLOW_PATH));
    }

    world_test::DnaWriter m_dna;
    ClWaveDNA m_plan;
    SWaveRecord m_record{};
};

// The whip boss stops its path while it charges and lashes.
TEST_F(FollowPathTest, AStoppedMemberHoldsStillOnItsSteeringSegment) {
    add(E_SEG_START, vectorValue(10, 0, 20));
    add(E_SEG_STEER, vectorValue(300, 0, 20), intValue(0));
    ClEntity* entity = spawnMember();
    step();
    const ClVec3 before = world_test::positionOf(entity);
    follower(entity)->stopped = 1;
    step();
    expectNear(world_test::positionOf(entity), before);
}

// Each steering segment sets off at its own speed straight at its point: the second here is
// entered at half speed and aims at once at its point, off to the side.
TEST_F(FollowPathTest, EverySteeringSegmentTakesItsSpeedAndAimsAtItsPointOnEntry) {
    add(E_SEG_START, vectorValue(0, 0, 0));
    add(E_SEG_STEER, vectorValue(60, 0, 0), intValue(0));
    add(E_SEG_STEER, vectorValue(60, 0, 100), intValue(2));
    ClEntity* entity = spawnMember();
    ClVec3 before;
    for (int frame = 0; frame < 60 && follower(entity)->cursor == 1; ++frame) {
        before = world_test::positionOf(entity);
        step();
    }
    ASSERT_EQ(follower(entity)->cursor, 2);
    const ClVec3 aim = (ClVec3(60, 0, 100) - before).normalized();
    expectNear(world_test::positionOf(entity), before + scaleVec3(aim, 60.0f * STEP));
}

TEST_F(FollowPathTest, AnArrivingMemberEntersPlayAndBurstsIntoTheInstalledEffectSystem) {
    ClFXParticleSystem effects;
    effects.materialLookup = [](const char*, const char*) -> SMaterial* { return nullptr; };
    g_pPathFxParticles = &effects;
    add(E_SEG_START, vectorValue(50, 0, 50));
    add(E_SEG_END);
    ClEntity* entity = spawnMember();
    step();
    g_pPathFxParticles = nullptr;
    EXPECT_GT(effects.liveCount(), 0u);
    EXPECT_EQ(entity->state, u32(E_ENTITY_ACTIVE));
    EXPECT_EQ(entity->isIncoming(), 0u);
}

TEST_F(FollowPathTest, TimedMovesFollowTheSongClockAndFinishAtOnceAfterTheSongEnds) {
    add(E_SEG_START, vectorValue(0, 0, 0));
    add(E_SEG_TIMED_MOVE, vectorValue(120, 0, 0), vectorValue(1, 0, 0), intValue(0));
    add(E_SEG_TIMED_MOVE, vectorValue(120, 0, 240), vectorValue(0, 0, 1), intValue(0));
    add(E_SEG_END);
    ClEntity* entity = spawnMember();
    entity->spawnTime = 0.0f;
    step();
    setSongTime(0.5f);
    step();
    expectNear(world_test::positionOf(entity), ClVec3(60, 0, 0));
    // The first move ends and the second starts from its end point in the same frame.
    setSongTime(1.0f);
    step();
    expectNear(world_test::positionOf(entity), ClVec3(120, 0, 0));
    // Any handle the engine does not know counts as a finished song.
    alignas(16) static u8 unknownCue[64];
    setSongCue(SCueHandle{reinterpret_cast<SCueRecord*>(unknownCue), 1});
    step();
    expectNear(world_test::positionOf(entity), ClVec3(120, 0, 240));
    EXPECT_EQ(entity->state, u32(E_ENTITY_ACTIVE));
}

TEST_F(FollowPathTest, AJumpOfZeroWaitsForTheNextFrameAndOneBeforeTheFirstSegmentStops) {
    add(E_SEG_START, vectorValue(0, 0, 0));
    add(E_SEG_JUMP, intValue(0));
    add(E_SEG_JUMP, intValue(-5));
    ClEntity* entity = spawnMember();
    step();
    EXPECT_EQ(follower(entity)->cursor, 1);
    follower(entity)->cursor = 2;
    EXPECT_EXIT(step(), ::testing::ExitedWithCode(3), "jump of -5 leaves the path at -3");
}

}  // namespace
