// The atom kinds: a body built up edge by edge and drawn as lines or as a ghost by height, bullet
// looks by type and level, glows steered only while their particle is still theirs, and the note
// pickup's shrinking swarm and life. Draw commands are read back from the producers' half of the
// draw lists on the null renderer, with the materials of the built data.
#include "core/game_clock.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "render/debris_particles.h"
#include "render/draw_lists.h"
#include "render/fx_particles.h"
#include "render/materials.h"
#include "render/scene_inputs.h"
#include "render/texture.h"
#include "tests/support/fatal_catch.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom_body.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/atom_pickupable.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/inspiration_pickups.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace test_support;

namespace {

class Atoms : public world_test::Seeded<WorldDrawTest, 17> {
protected:
    void SetUp() override {
        Seeded::SetUp();
        g_SavedOptions.animatedLines = 0;
        setFxParticleSystem(&m_fx);
    }
    void TearDown() override {
        setFxParticleSystem(nullptr);
        setInGameFlag(0);
        g_aGameClocks[1] = SGameClock{};
        m_one.release();
        g_SavedOptions = defaultSavedOptions();
        WorldDrawTest::TearDown();
    }
    ClAtom_Bullet* bullet(s32 type, s32 level, s32 flag = 0) {
        m_one.buildBullet(type, level, flag, ClVec3(100.0f, 0.0f, 100.0f));
        return static_cast<ClAtom_Bullet*>(m_one.atom);
    }
    SOneAtomEntity m_one;
    ClFXParticleSystem m_fx;
};

TEST_F(Atoms, ABodyBuildsEdgeByEdgeAndShowsEveryEdgeAtAFullStamp) {
    EXPECT_EQ(bodyGhostAlpha(50.0f), 255u);
    EXPECT_EQ(bodyGhostAlpha(100.5f), 0u);

    m_one.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(11));
    ClAtom& body = *m_one.atom;
    std::vector<u32> shown{body.shownEdgeCount};  // whole after the build
    body.deactivate(1);
    for (int step = 0; step < 10; ++step) {
        body.bumpStamp();
        shown.push_back(body.shownEdgeCount);
    }
    // Enemies get no edge flashes.
    EXPECT_EQ(shown, (std::vector<u32>{11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
    EXPECT_EQ(body.atomIsAlive(), true);
    EXPECT_EQ(body.effectCount, 0u);

    m_one.build(E_PROGRAM_PLAYER, E_ATOM_BODY, world_test::makeRingMesh(11));
    m_one.atom->deactivate(1);
    m_one.atom->bumpStamp();
    ASSERT_EQ(m_one.atom->effectCount, 1u);
    EXPECT_EQ(m_one.atom->effects[0]->kind, u32(E_ATOM_EFFECT_EDGE_FLASH));
    EXPECT_EQ(m_one.atom->effects[0]->param0, 0u);

    m_one.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(0));
    m_one.atom->bumpStamp();
    EXPECT_EQ(m_one.atom->shownEdgeCount, ATOM_SHOWN_EDGES_NO_MESH_EDGES);
}

TEST_F(Atoms, ABodyDrawsItsEdgesAsLinesAndWhileFlyingInAGhostByHeight) {
    m_one.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(11));
    auto& body = *static_cast<ClAtom_Body*>(m_one.atom);
    m_one.placeAt(ClVec3(100.0f, 0.0f, 100.0f));
    body.draw();
    ASSERT_EQ(producerCounts().lines, 11u);
    const SLineCommand& line = drawListLines(PRODUCER_HALF)[10];
    EXPECT_GE(line.colour, 0xF0000000u) << "black, alpha 240 to 254";
    EXPECT_LE(line.colour, 0xFE000000u) << "black, alpha 240 to 254";
    EXPECT_EQ(line.layerMask, 236u);
    EXPECT_EQ(line.material, body.edgeMaterial);
    EXPECT_EQ(producerCounts().sprites, 0u);

    clearDrawListHalf(PRODUCER_HALF);
    m_one.entity->setWaveMember(1);
    m_one.placeAt(ClVec3(100.0f, 75.0f, 100.0f));
    body.draw();
    ASSERT_EQ(producerCounts().lines, 0u) << "a ghost shows no edges";
    ASSERT_EQ(producerCounts().sprites, 1u) << "a ghost shows no edges";
    m_one.entity->tween.current = 0.5f;
    body.draw();
    const SSpriteCommand* ghosts = drawListSprites(PRODUCER_HALF);
    EXPECT_EQ(ghosts[0].colour >> 24, 127u);
    EXPECT_EQ(ghosts[1].colour >> 24, 63u);

    // The invincible ship: two glints running along each edge, in one bright colour.
    clearDrawListHalf(PRODUCER_HALF);
    setPlayerShip(0, m_one.entity);
    g_aPlayerState[0].invincibilityTime = 1.0f;
    body.draw();
    g_aPlayerState[0] = SPlayerState{};
    ASSERT_EQ(producerCounts().lines, 22u);
    const SLineCommand* lines = drawListLines(PRODUCER_HALF);
    EXPECT_EQ(lines[0].colour, lines[21].colour);
    EXPECT_EQ(lines[0].material, body.ghostMaterial);
}

TEST_F(Atoms, AKilledBodyThrowsItsShownEdgesAndAThirdOfItsTrianglesAsDebris) {
    ClDebrisLineParticleSystem lines;
    ClDebrisTriParticleSystem shards;
    setDebrisLineSystem(&lines);
    setDebrisTriSystem(&shards);
    m_one.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(11));
    m_one.atom->onKilled(0.015f);
    EXPECT_EQ(lines.liveCount(), 11u);
    EXPECT_EQ(shards.liveCount(), 11u / 3 + 1);
    m_one.entity->setWaveMember(1);
    m_one.atom->onKilled(0.015f);
    EXPECT_EQ(shards.liveCount(), 4u) << "a ghost leaves no shards";
    setDebrisLineSystem(nullptr);
    setDebrisTriSystem(nullptr);
    clearNewDebrisList();
}

// A draw into a line list with no room skips the lines but takes the random numbers a draw with
// room would, so the rest of the frame sees the same generator.
TEST_F(Atoms, ADrawIntoAFullLineListLeavesTheGeneratorWhereADrawWithRoomDoes) {
    auto nextAfterDraw = [&](bool full, auto build) {
        clearDrawListHalf(PRODUCER_HALF);
        sfmtInitGenRand(99);
        build();
        while (full && lineCommandRoom() != 0)
            appendLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 0, nullptr, 1.0f, 1, 1);
        m_one.atom->draw();
        return sfmtGenRand32();
    };
    auto body = [&] {
        m_one.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(11));
        m_one.placeAt(ClVec3(100.0f, 0.0f, 100.0f));
    };
    EXPECT_EQ(nextAfterDraw(true, body), nextAfterDraw(false, body)) << "whole edges";
    g_SavedOptions.animatedLines = 1;
    EXPECT_EQ(nextAfterDraw(true, body), nextAfterDraw(false, body)) << "glints";
    auto tails = [&] { bullet(1, 0); };
    EXPECT_EQ(nextAfterDraw(true, tails), nextAfterDraw(false, tails)) << "a tail bullet";
}

TEST_F(Atoms, BulletLooksFollowTypeAndLevel) {
    ClAtom_Bullet* b = bullet(0, 2);
    b->draw();
    ASSERT_EQ(producerCounts().lines, 1u);
    const SLineCommand& tail = drawListLines(PRODUCER_HALF)[0];
    // The first frame's tail has no length.
    EXPECT_EQ(tail.colour, 0xFF40FF10u);
    EXPECT_EQ(tail.layerMask, 236u);
    EXPECT_EQ(tail.start.x, tail.end.x);

    clearDrawListHalf(PRODUCER_HALF);
    for (const char* name : {"Images/Bullet-Player-Double1", "Images/Bullet-Player-Double3"}) loadTexture(name);
    b = bullet(4, 4);
    b->draw();
    ASSERT_EQ(producerCounts().quads, 1u);
    EXPECT_EQ(drawListQuads(PRODUCER_HALF)[0].material,
              getMaterialForEffectAndTextureName("game_colorizeRed_addBlue_additiveBlend", "Images/Bullet-Player-Double3"));
    EXPECT_NE(b->thirdMaterial, b->mainMaterial);

    clearDrawListHalf(PRODUCER_HALF);
    bullet(17, 0)->draw();
    EXPECT_EQ(producerCounts().lines + producerCounts().sprites + producerCounts().quads, 0u);

    // Bolts: lightning (its colour; 0 for none) ahead of the tip in the level colour at flag 100
    // with a glow; none at 5; lightning in white along a side but no glow at 50.
    for (auto [flag, lightning, glows] : {std::tuple{100, 0xFF2060FFu, 1u}, {5, 0u, 0u}, {50, 0xFFFFFFFFu, 0u}}) {
        SCOPED_TRACE(flag);
        clearDrawListHalf(PRODUCER_HALF);
        m_fx.releaseAll();
        bullet(13, 1, flag)->draw();
        const u32 colour = producerCounts().lines > 2 ? drawListLines(PRODUCER_HALF)[2].colour : 0u;
        EXPECT_EQ(colour, lightning);
        EXPECT_EQ(m_fx.liveCount(), glows);
    }

    SBulletParams params = {};
    params.bullLev = 2;
    params.bullType = 16;
    EXPECT_EQ(getBulletColour(params), 0xFF00FFFFu);
    params.bullType = 9;
    EXPECT_EQ(getBulletColour(params), 0xFF7040F0u);
    params.bullLev = 3;
    EXPECT_EQ(getBulletColour(params), 0xFF00FF00u);

    EXPECT_EQ(fatalReasonOf([&] { bullet(20, 0)->draw(); }), "ClAtom_Bullet::draw: bullet type 20");
}

// As a program writes them: the names in the node and no block handed over.
TEST_F(Atoms, ABulletGivenNoBlockReadsItsRadiusFromItsNodeNames) {
    m_one.build(E_PROGRAM_PLAYER_SHOT, E_ATOM_BULLET, nullptr);
    SParamTable& table = m_one.entity->root->params;
    for (const char* name : {"MyBullGen", "BullType", "BullLev", "BullCol", "BullFlag"}) table.findOrAdd(name)->setInt(0);
    for (const char* name : {"BullRndRad", "BullDmg", "BullVel", "BullVelVar"}) table.findOrAdd(name)->setFloat(1.0f);
    table.findOrAdd("BullRad")->setFloat(3.0f);
    m_one.placeAt(ClVec3(100.0f, 0.0f, 100.0f));
    m_one.atom->computeWorldBounds();
    EXPECT_EQ(m_one.atom->worldBox[g_uFrameCurrent].radius, 3.0f);
}

TEST_F(Atoms, AConvergingBulletShowsItsBallThenItsSatellitesForAFifthOfASecond) {
    g_aGameClocks[1].frameTime = 1.0f / 16.0f;
    ClAtom_Bullet* b = bullet(18, 0);
    std::vector<u32> sprites;
    for (int frame = 0; frame < 5; ++frame) {
        const u32 before = producerCounts().sprites;
        b->draw();
        sprites.push_back(producerCounts().sprites - before);
    }
    EXPECT_EQ(sprites, (std::vector<u32>{3, 20, 20, 20, 3}));
}

TEST_F(Atoms, AGlowIsSteeredOnlyWhileItsParticleIsStillTheOneItsBulletMade) {
    ClAtom_Bullet* b = bullet(10, 0);
    b->draw();
    ASSERT_EQ(m_fx.liveCount(), 1u);
    SFxParticle* glow = m_fx.live(0);
    m_one.placeAt(ClVec3(120.0f, 0.0f, 100.0f));
    b->draw();
    EXPECT_EQ(glow->position.x, 120.0f);

    // The particle went and its record was handed to someone else.
    m_fx.releaseAll();
    SFxParticle* other = m_fx.addSprite(ClVec3(5.0f, 0.0f, 5.0f), 1.0f, 4.0f, 4.0f, 0xFFFFFFFFu, 0u, nullptr, nullptr, 44);
    ASSERT_EQ(other, glow);
    m_one.placeAt(ClVec3(140.0f, 0.0f, 100.0f));
    b->draw();
    EXPECT_EQ(other->position.x, 5.0f);
}

TEST_F(Atoms, ANoteSwarmThinsOutOverItsShrinkAndGoesAfterNineSecondsFreeingItsCell) {
    // The score pickup as the pickup drop makes it: one node with a note-swarm pickup atom.
    ClOneNodeGenerator generator(E_GENCAT_PICKUP, SCORE_PICKUP_GENERATOR, E_PROGRAM_PICKUP, 0, E_ATOM_PICKUPABLE,
                                 E_PICKUP_PATTERN_NOTES);
    generatorRegister(&generator);
    resetInspirationPickups();
    ClEntity* pickup = spawnInspirationPickups(ClVec3(40.0f, 0.0f, 40.0f), 10, 0, 1);
    ASSERT_NE(pickup, nullptr);
    const s32 column = pickup->root->params.get("inspgridx")->integer;
    const s32 row = pickup->root->params.get("inspgridz")->integer;
    auto& atom = *static_cast<ClAtom_Pickupable*>(pickup->atoms[0]);

    // Draws until `seconds` of life have passed; the notes of the last draw.
    const f32 dt = 1.0f / 64.0f;
    g_aGameClocks[1].frameTime = dt;
    f32 elapsed = -dt;  // the first draw starts the life without advancing it
    auto notesAt = [&](f32 seconds) {
        while (atom.active && elapsed + dt <= seconds) {
            clearDrawListHalf(PRODUCER_HALF);
            atom.draw();
            elapsed += dt;
        }
        return producerCounts().sprites;
    };
    // The shrink begins at 6 s.
    EXPECT_EQ(notesAt(5.9f), 20u);
    EXPECT_EQ(notesAt(6.0f + 1.0f / 64.0f), 19u);
    EXPECT_EQ(notesAt(6.2f), 18u);
    EXPECT_EQ(notesAt(6.0f + 15 * 0.15f + 0.05f), 4u);
    EXPECT_EQ(notesAt(8.9f), 0u);
    notesAt(9.1f);
    EXPECT_NEAR(elapsed, 9.0f, 2.0f * dt) << "it lives 6 + 3 s";
    freeEntity(pickup);
    // Its cell is given back: the next drop there takes it.
    ClEntity* next = spawnInspirationPickups(ClVec3(40.0f, 0.0f, 40.0f), 10, 0, 1);
    EXPECT_EQ(next->root->params.get("inspgridx")->integer, column);
    EXPECT_EQ(next->root->params.get("inspgridz")->integer, row);
    freeEntity(next);
    resetInspirationPickups();
    generator.releaseSharedProgram();
    generatorUnregister(&generator);
}

TEST_F(Atoms, AMeshPickupBlinksOnceItsDelayIsOverAndGoesWhenItsTimeEnds) {
    setInGameFlag(1);
    m_one.build(E_PROGRAM_PICKUP, E_ATOM_PICKUPABLE, world_test::makeRingMesh(5), E_PICKUP_PATTERN_MESH);
    m_one.entity->root->params.findOrAdd("PTTS")->setFloat(10.0f);
    auto& atom = *static_cast<ClAtom_Pickupable*>(m_one.atom);
    g_aGameClocks[1].frameTime = 0.25f;
    u32 drawnBeforeDelay = 0, drawnAfter = 0, draws = 0;
    for (; atom.active && draws < 100; ++draws) {
        g_aGameClocks[1].totalTime = 0.125 * draws;  // the blink of rate 4 is on every other draw
        const u32 before = producerCounts().lines;
        atom.draw();
        (0.25f * draws < 4.0f ? drawnBeforeDelay : drawnAfter) += producerCounts().lines > before;
    }
    // Shown on every draw of the 4 s delay. The first draw starts the life; the step that ends the
    // delay already counts towards the 10 s, so the 55th step of 0.25 s ends it.
    EXPECT_EQ(drawnBeforeDelay, 16u);
    EXPECT_EQ(draws, 56u);
    EXPECT_NEAR(drawnAfter, 20.0, 1.0) << "blinking: every other draw";
}

}  // namespace
