// The world's game step and what it hands the camera and the particle systems.
#include <gtest/gtest.h>

#include "render/camera_inputs.h"
#include "render/particle_world_inputs.h"
#include "tests/world/world_test_support.h"
#include "world/bar_colour_scheme.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/entity/frame_parity.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/play/player_state.h"
#include "world/world_step.h"

using namespace world_test;

namespace {

class WorldStep : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        resetPlayerStates();
        initHitEffects();
    }
    void TearDown() override {
        releaseHitEffects();
        resetPlayerStates();
        WorldTest::TearDown();
    }
};

struct SStepProbe {
    u32 parityInTick;
    ClEntity* shot;
};

}  // namespace

TEST_F(WorldStep, TheTickComesAfterTheFlipAndWhatItDestroysIsGoneByTheEnd) {
    DnaWriter dna(E_PROGRAM_PLAYER_SHOT);
    dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).close();
    SStepProbe probe = {2, spawnActiveEntity(&dna.program)};
    const u32 parityBefore = g_uFrameCurrent;
    const SWorldStepHooks hooks = {[](void* user) {
                                       auto* p = static_cast<SStepProbe*>(user);
                                       p->parityInTick = g_uFrameCurrent;
                                       p->shot->destroy();
                                   },
                                   &probe};
    worldStep(&hooks);
    EXPECT_EQ(probe.parityInTick, 1u - parityBefore);
    EXPECT_EQ(entityListCount(E_LIST_LIVE), 0u);
    EXPECT_EQ(entityListCount(E_LIST_ACTIVATED), 0u);
    EXPECT_EQ(usedEntityCount(), 0u) << "a destroyed shot goes back to the pool in its own step";
}

TEST_F(WorldStep, PublishesTheArenaTheShipTheSchemesFxColoursAndTheMusicLevel) {
    const SBarColourScheme saved = g_BarColourScheme;
    setBarColourSchemePreset(&g_BarColourScheme, 1);
    g_particleMusicLevel = -1.0f;
    publishWorldFrameInputs();
    EXPECT_EQ(g_CameraWorldInputs.arenaFocus.x, 162.5f);
    EXPECT_EQ(g_CameraWorldInputs.arenaFocus.z, 134.875f);
    EXPECT_EQ(g_CameraWorldInputs.playerExists, 0u);
    EXPECT_EQ(g_particleFxColours.explosion, 0x80FF3010u);
    EXPECT_EQ(g_particleFxColours.firstFlash, 0xFF00F000u);
    EXPECT_EQ(g_particleFxColours.secondFlash, 0x10F00000u);
    EXPECT_EQ(g_particleMusicLevel, getBackdropSpeed());

    DnaWriter dna(E_PROGRAM_PLAYER);
    dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).close();
    ClEntity* ship = spawnActiveEntity(&dna.program);
    ship->setRootPosition(ClVec3(100.0f, 0.0f, 200.0f));
    g_aPlayerState[0].ship = ship;
    publishWorldFrameInputs();
    EXPECT_EQ(g_CameraWorldInputs.playerExists, 1u);
    EXPECT_EQ(g_CameraWorldInputs.playerPosition.x, 100.0f);
    EXPECT_EQ(g_CameraWorldInputs.playerPosition.z, 200.0f);
    ship->destroy();
    publishWorldFrameInputs();
    EXPECT_EQ(g_CameraWorldInputs.playerExists, 0u) << "a destroyed ship is no longer followed";
    g_BarColourScheme = saved;
}
