// What a player sees of the atoms: a body, bullets of several looks and a pickup drawn into whole
// frames, each shape where the camera puts it and in its colours.
#include "render/draw_lists.h"
#include "render/materials.h"
#include "tests/world/world_pictures.h"

#include <gtest/gtest.h>

namespace {

class AtomPictures : public WorldPictureTest {};

TEST_F(AtomPictures, Smoke) {
    if (!m_ready) GTEST_SKIP() << "no OpenGL device";
    lookAt(ClVec3(160.0f, 200.0f, -60.0f), ClVec3(160.0f, 0.0f, 100.0f));
    const SMaterial* glow = getMaterialForEffectAndTextureName("system_add_nobias", "Images/Lensflare-glow");
    const SMaterial* bar = getMaterialForEffectAndTextureName("game_bar_enemy_1", "Images/Bar_WhiteTight");
    std::vector<u8> rgba = drawFrames([&] {
        appendSpriteCommand(ClVec3(160.0f, 0.0f, 100.0f), 40.0f, 0xFFFF4000u, glow, 236, 0.0f);
        appendLineCommand(ClVec3(100.0f, 0.0f, 150.0f), ClVec3(220.0f, 0.0f, 150.0f), 2.0f, 0xF0000000u, bar, 0.0f, 236, 1);
    }, "smoke.png");
    const ClVec2 c = project(ClVec3(160.0f, 0.0f, 100.0f));
    EXPECT_GT(brightness(rgba, u32(c.x), u32(c.y)), 100u);
}

}  // namespace
