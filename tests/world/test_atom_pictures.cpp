// What a player sees of the atoms: an enemy body, bullets of three looks and a note pickup drawn
// into whole frames under the offscreen driver. Each lights the pixels where the camera puts it,
// in its own colours, and the space between them stays dark.
#include "core/game_clock.h"
#include "core/random.h"
#include "tests/support/fatal_catch.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_pictures.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"

#include <gtest/gtest.h>

namespace {

class AtomPictures : public WorldPictureTest {
protected:
    // The camera above the arena's near edge, looking at its middle.
    void SetUp() override {
        WorldPictureTest::SetUp();
        if (!m_ready) GTEST_SKIP() << "no OpenGL device";
        lookAt(ClVec3(160.0f, 220.0f, -40.0f), ClVec3(160.0f, 0.0f, 110.0f));
        sfmtInitGenRand(5);
        g_aGameClocks[1].frameTime = 1.0f / 60.0f;
        g_SavedOptions.animatedLines = 0;
    }
    void TearDown() override {
        for (SOneAtomEntity& one : m_atoms) one.release();
        WorldPictureTest::TearDown();
    }
    SOneAtomEntity m_atoms[5];
    u32 m_count = 0;
};

TEST_F(AtomPictures, ABodyBulletsAndAPickupShowWhereTheyAreInTheirColours) {
    const ClVec3 bodyAt(70.0f, 0.0f, 110.0f), ballAt(140.0f, 0.0f, 80.0f), doubleAt(170.0f, 0.0f, 150.0f),
        boltAt(205.0f, 0.0f, 90.0f), pickupAt(255.0f, 0.0f, 110.0f);
    SOneAtomEntity& body = m_atoms[m_count++];
    body.build(E_PROGRAM_ENEMY, E_ATOM_BODY, world_test::makeRingMesh(8));
    body.placeAt(bodyAt, 2.5f);
    for (auto [type, level, flag, at] : {std::tuple{2, 0, 0, ballAt}, {4, 2, 0, doubleAt}, {13, 0, 100, boltAt}})
        m_atoms[m_count++].buildBullet(type, level, flag, at);
    SOneAtomEntity& pickup = m_atoms[m_count++];
    pickup.build(E_PROGRAM_PICKUP, E_ATOM_PICKUPABLE, nullptr, 1);
    pickup.placeAt(pickupAt);

    const SPicture picture = drawFrames(
        [&] {
            applyBarShaderConstants();  // the bar and glass effects' constants, as play sets them
            for (u32 i = 0; i < m_count; ++i) m_atoms[i].atom->draw();
            m_fx.update();
        },
        "atoms.png");

    // The colourising effect turns the vertex red into magenta (red and blue, a quarter green);
    // the body's glass and the level-2 double shot are blue.
    struct SExpect { const char* what; ClVec3 at; u32 radius; bool blue; };
    for (const SExpect& e : {SExpect{"body", bodyAt, 24, true}, SExpect{"ball", ballAt, 12, false},
                             SExpect{"double", doubleAt, 20, true}, SExpect{"bolt", boltAt, 40, false},
                             SExpect{"pickup", pickupAt, 16, false}}) {
        SCOPED_TRACE(e.what);
        const SPixelBox box = around(e.at, e.radius);
        EXPECT_GT(picture.lit(box, 60), 10u);
        const ClVec3 sum = picture.colourSum(box);
        if (e.blue) {
            EXPECT_GT(sum.z, 2.0f * sum.x);
        } else {
            EXPECT_GT(sum.z, 0.5f * sum.x);
            EXPECT_LT(sum.y, 0.5f * sum.x);
        }
    }
    // Between the body and the ball, and below everything, nothing was drawn.
    EXPECT_EQ(picture.lit(around(ClVec3(105.0f, 0.0f, 150.0f), 5), 40), 0u);
    EXPECT_EQ(picture.lit({0, m_h - 12, m_w, m_h}, 40), 0u);
}

}  // namespace

// Every bullet look binds the built effects with the pictures it names (a look naming a picture
// slot its effect lacks stops the program when the frame is drawn).
TEST_F(AtomPictures, EveryBulletLookDrawsWithTheBuiltEffects) {
    std::vector<SOneAtomEntity> shots(20);
    for (s32 type = 0; type < 20; ++type) shots[type].buildBullet(type, type % 6, 100, ClVec3(16.0f * type, 0.0f, 110.0f));
    EXPECT_EQ(test_support::fatalReasonOf([&] {
        drawFrames([&] { for (SOneAtomEntity& shot : shots) shot.atom->draw(); }, "bullet_looks.png");
    }), "");
    for (SOneAtomEntity& shot : shots) shot.release();
}
