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
#include "world/world_step.h"

#include <tuple>

using namespace world_test;

namespace {

class WorldStep : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        initHitEffects();
    }
    void TearDown() override {
        releaseHitEffects();
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
    EXPECT_EQ(std::make_tuple(probe.parityInTick, entityListCount(E_LIST_LIVE), entityListCount(E_LIST_ACTIVATED),
                              usedEntityCount()), std::make_tuple(1u - parityBefore, 0u, 0u, 0u));
}

TEST_F(WorldStep, PublishesTheArenaTheShipTheSchemesFxColoursAndTheMusicLevel) {
    const SBarColourScheme saved = g_BarColourScheme;
    setBarColourSchemePreset(&g_BarColourScheme, 1);
    g_particleMusicLevel = -1.0f;
    publishWorldFrameInputs();
    const SCameraWorldInputs& camera = g_CameraWorldInputs;
    EXPECT_EQ(std::make_tuple(camera.arenaFocus.x, camera.arenaFocus.z, camera.playerExists, g_particleFxColours.explosion,
                              g_particleFxColours.firstFlash, g_particleFxColours.secondFlash, g_particleMusicLevel),
              std::make_tuple(162.5f, 134.875f, 0u, 0x80FF3010u, 0xFF00F000u, 0x10F00000u, getBackdropSpeed()));

    DnaWriter dna(E_PROGRAM_PLAYER);
    ClEntity* ship = spawnShip(dna, ClVec3(100.0f, 0.0f, 200.0f));
    publishWorldFrameInputs();
    EXPECT_EQ(std::make_tuple(camera.playerExists, camera.playerPosition.x, camera.playerPosition.z),
              std::make_tuple(1u, 100.0f, 200.0f));
    ship->destroy();
    publishWorldFrameInputs();
    EXPECT_EQ(camera.playerExists, 0u) << "a destroyed ship is no longer followed";
    g_BarColourScheme = saved;
}
