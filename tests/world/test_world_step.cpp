// The world's game step, what it hands the camera and the particle systems, and a bomb's blast,
// which never moves, hitting a ship that does not move either.
#include <gtest/gtest.h>

#include "render/camera_inputs.h"
#include "render/particle_world_inputs.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/processor.h"
#include "world/services/bar_colour_scheme.h"
#include "world/world_step.h"

using namespace world_test;

namespace {

class WorldStep : public WorldTest {
protected:
    // The programs outlive the world's teardown, which frees their entities.
    DnaWriter m_ship{E_PROGRAM_PLAYER}, m_enemy, m_switcher;
};

bool g_shipHit = false;

// A whole step as the action mode runs it, with nothing between the flip and the world's part.
void step() {
    flipFrameBuffers();
    worldStep();
}

// Switches another entity's main atom off during its own update.
class ClSwitchOffProcessor : public ClProcessor {
public:
    explicit ClSwitchOffProcessor(ClEntity* switched) : target(switched) {}
    void update() override { target->registeredAtoms[0]->deactivate(1); }
    ClEntity* target;
};

}  // namespace

TEST_F(WorldStep, PublishesTheArenaTheShipTheSchemesFxColoursAndTheMusicLevel) {
    const SBarColourScheme saved = g_BarColourScheme;
    setBarColourSchemePreset(&g_BarColourScheme, 1);
    setParticleMusicLevel(-1.0f);
    publishWorldFrameInputs();
    const SCameraWorldInputs& camera = cameraWorldInputs();
    EXPECT_EQ(camera.arenaFocus.x, 162.5f);
    EXPECT_EQ(camera.arenaFocus.z, 134.875f);
    EXPECT_EQ(camera.playerExists, 0u);
    EXPECT_EQ(particleFxColours().explosion, 0x80FF3010u);
    // The one-frame flash is the opaque one (the faint widening one shows in the arrivals' picture).
    EXPECT_EQ(particleFxColours().secondFlash, 0xFF00F000u);
    EXPECT_EQ(particleMusicLevel(), getBackdropSpeed());

    ClEntity* ship = spawnShip(m_ship, ClVec3(100.0f, 0.0f, 200.0f));
    publishWorldFrameInputs();
    EXPECT_EQ(camera.playerExists, 1u);
    EXPECT_EQ(camera.playerPosition.x, 100.0f);
    EXPECT_EQ(camera.playerPosition.z, 200.0f);
    ship->destroy();
    publishWorldFrameInputs();
    EXPECT_EQ(camera.playerExists, 0u) << "a destroyed ship is no longer followed";
    g_BarColourScheme = saved;
}

TEST_F(WorldStep, ABombsBlastHitsAShipThatDoesNotMove) {
    // The ship is the only player entity, so a contact of this pair is the ship's.
    g_aContactHandlers[E_PROGRAM_PLAYER * CONTACT_KIND_COUNT + E_PROGRAM_ENEMY_SHOT] = [](const SContact&) { g_shipHit = true; };
    g_shipHit = false;
    m_ship.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_ship.addGeometry(makeRingMesh(6, 3.0f)));
    spawnActiveEntity(&m_ship.close().program, ClVec3(110, 0, 100));
    m_enemy.node().param("exp_rad", 40.0f).param("exp_dmg", 5.0f).processor(E_PROC_EXPLODE_WHEN_I_DIE).mainBody();
    ClEntity* bomb = spawnActiveEntity(&m_enemy.close().program, ClVec3(100, 0, 100));
    stepWorld();
    // Killed as the kill queue kills it; the blast it leaves is worked off in the next frame.
    bomb->killed = 1;
    bomb->destroy();
    step();
    EXPECT_TRUE(g_shipHit);
}

// An enemy, and after it in the update walk (the walk goes down the live list) an entity whose
// update, once it has its processor, switches the enemy's atom off. One step first gives the enemy
// its first bounds, so that its update may make them from then on.
TEST_F(WorldStep, BoundsAreMadeByTheEntitysUpdateAndLeaveOutAnAtomSwitchedOffAfterIt) {
    ClEntity* switching = spawnActiveEntity(&m_switcher.node().close().program);
    m_enemy.node().processor(E_PROC_UPDATE_WORLD_FRAMES);
    m_enemy.mainBody(m_enemy.addGeometry(makeRingMesh(6, 2.5f)));
    ClEntity* enemy = spawnActiveEntity(&m_enemy.close().program, ClVec3(10.0f, 0.0f, 40.0f));
    step();
    step();
    EXPECT_TRUE(enemy->boundsMadeThisFrame()) << "nothing touched it after its update";
    switching->root->processors.push(new (std::nothrow) ClSwitchOffProcessor(enemy));
    step();
    EXPECT_EQ(enemy->root->bounds[g_uFrameCurrent].kind, u32(E_BOUNDS_UNBOUNDED));
}
