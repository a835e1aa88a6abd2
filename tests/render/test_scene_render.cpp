// The scene render under the offscreen driver: a lost device gives its preview groups and screen
// quads back, a bright 2D quad then spreads into its neighbours with bloom, and the reflection
// target is cleared to the water colour.
#include "render/render_target.h"
#include "render/scene_targets.h"
#include "tests/support/offscreen_picture.h"

#include <algorithm>

namespace {

class SceneRender : public OffscreenPictureTest {
protected:
    SceneRender() : OffscreenPictureTest(160, 90, true) {}
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        ASSERT_FALSE(gfxIsNullRenderer());
        setInGameFlag(1);
        g_SavedOptions.waterReflection = 1;
        g_SavedOptions.bloom = 1;
        setWaterClearColour(0xFF204060u);
    }
};

// The device's own release and re-create walk: the preview groups go with the device and come
// back with it, and the screen quads of the bloom draw again after the reset.
TEST_F(SceneRender, ALostDeviceReleasesAndRestoresThePreviewGroupsAndScreenQuads) {
    ClRenderTargetGroup preview(32.0f, 32.0f, 0);
    setPreviewSlotGroup(0, &preview);
    ASSERT_NE(nullptr, preview.target()->deviceTexture());

    gfxTestLoseDevice(0);
    for (int frame = 0; frame < 3 && !renderDeviceLost(); ++frame) {
        beginBatchFrame();
        finishFrame();
    }
    ASSERT_TRUE(renderDeviceLost());
    EXPECT_EQ(nullptr, preview.target()->deviceTexture());
    // Three frames of a white 8 x 8 quad at (76, 41) in the middle 2D band, and a green one.
    const SMaterial* additive = getMaterialForEffect("Debug_Add");
    const SPicture restored = drawFrames(
        [&] {
            addSpriteQuad(1250, additive, 0xFFFFFFFFu, 76, 41, 8, 8);
            addSpriteQuad(1300, additive, 0xFF00C000u, 10, 10, 20, 10);
            appendLineCommand(ClVec3(0, 0, 0), ClVec3(1, 0, 0), 0.05f, 0xFFFF0000u, additive, 1.0f, 0, 0x22);
        },
        "scene_restored.png");
    EXPECT_FALSE(renderDeviceLost());
    EXPECT_NE(nullptr, preview.target()->deviceTexture());
    // The white quad's centre and the green quad keep their levels; below and left of the white
    // quad the green is what its bloom spread there.
    EXPECT_NEAR(restored.rgb(80, 45)[1], 255, 2) << "the white quad";
    EXPECT_NEAR(restored.rgb(15, 15)[1], 0xC0, 2) << "the green quad";
    EXPECT_GT(restored.rgb(80, 52)[1], 8) << "below the white quad";
    EXPECT_GT(restored.rgb(72, 45)[1], 8) << "left of the white quad";
    // The reflection target is cleared to the water colour.
    std::vector<u8> reflection(m_w * m_h * 4);
    ASSERT_TRUE(gfxReadPixels(sceneTarget(E_SCENE_TARGET_REFLECTION)->target()->deviceTexture(), reflection.data(),
                              u32(reflection.size())));
    EXPECT_EQ(reflection[0], 0x20) << "red";
    EXPECT_EQ(reflection[1], 0x40) << "green";
    EXPECT_EQ(reflection[2], 0x60) << "blue";
    setPreviewSlotGroup(0, nullptr);
}

}  // namespace
