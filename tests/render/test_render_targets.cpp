#include "platform/gfx/gfx_device.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/render_target.h"
#include "render/scene_targets.h"
#include "render/texture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A 1280x720 screen on the null renderer.
class RenderTargets : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(E_GFX_OK, gfxCreateDevice({.backend = E_GFX_BACKEND_NULL, .width = 1280, .height = 720}));
        setScreenSize(1280.0f, 720.0f);
    }
    void TearDown() override {
        setRenderTarget(nullptr);
        destroySceneTargets();
        gfxDestroyDevice();
    }
};

TEST_F(RenderTargets, SceneAndBloomTargetsTakeTheirSizesFromTheScreenAndSelectingOneGivesItsSize) {
    const u64 presents = gfxPresentCount();
    createSceneRenderTargets();
    EXPECT_EQ(presents + 1, gfxPresentCount());
    createBloomTargets();
    const struct {
        E_SceneTarget target;
        const char* name;
        u32 width;
    } sizes[] = {{E_SCENE_TARGET_IMAGE, "RTT 1280x720", 1280}, {E_SCENE_TARGET_REFLECTION, "RTT 1280x720", 1280},
                 {E_SCENE_TARGET_GLOW, "RTT 640x360", 640},    {E_SCENE_TARGET_BLOOM0, "RTT 341x192", 341},
                 {E_SCENE_TARGET_BLOOM1, "RTT 341x192", 341},  {E_SCENE_TARGET_BLOOM2, "RTT 341x192", 341}};
    for (const auto& s : sizes) {
        EXPECT_STREQ(sceneTarget(s.target)->getTexture()->name, s.name) << "target " << s.target;
        EXPECT_EQ(gfxTextureWidth(sceneTarget(s.target)->target()->deviceTexture()), s.width) << "target " << s.target;
    }

    // Selecting one gives its size (the device resets the viewport with the target).
    ClRenderTargetGroup* bloom = sceneTarget(E_SCENE_TARGET_BLOOM1);
    EXPECT_NEAR(1.7777778f, getRenderTargetAspect(), 1e-6f);
    setRenderTarget(bloom);
    EXPECT_EQ(341.0f, getRenderTargetWidth());
    EXPECT_EQ(192.0f, getRenderTargetHeight());

    setRenderTarget(nullptr);
    EXPECT_EQ(720.0f, getRenderTargetHeight());
}

TEST_F(RenderTargets, DeviceLossReleasesTargetsAndTheFrameFenceHarmlesslyTwiceAndAResetRemakesThem) {
    createSceneRenderTargets();
    ClRenderTargetGroup* image = sceneTarget(E_SCENE_TARGET_IMAGE);
    releaseSceneTargets();
    releaseSceneTargets();
    EXPECT_EQ(nullptr, image->getTexture());
    EXPECT_EQ(nullptr, image->target()->depthSurface());
    // A target without a texture is never selected: the back buffer is.
    setRenderTarget(image);
    EXPECT_EQ(1280.0f, getRenderTargetWidth());

    recreateSceneTargets();
    ASSERT_NE(nullptr, image->getTexture());
    setRenderTarget(image);
    EXPECT_EQ(std::string("RTT 1280x720"), std::string(image->getTexture()->name));
    EXPECT_EQ(1280.0f, image->getTexture()->width());

    // The frame fence belongs to the device it was made on: a loss releases it, and the
    // re-created device gets a new one.
    ASSERT_NE(makeSceneFence(), nullptr);
    releaseSceneTargets();
    EXPECT_EQ(sceneFence(), nullptr);
    gfxDestroyDevice();
    SetUp();  // the next device
    ASSERT_TRUE(recreateSceneTargets());
    EXPECT_NE(makeSceneFence(), nullptr);
    destroySceneTargets();
    EXPECT_EQ(sceneFence(), nullptr);
}

// A target the device cannot make (here one of no pixels) is reported to whoever asked for it,
// and stays unselectable.
TEST_F(RenderTargets, TargetsThatCannotBeMadeAreReportedAsFailures) {
    EXPECT_TRUE(createSceneRenderTargets());
    EXPECT_TRUE(recreateSceneTargets());
    setScreenSize(1.0f, 1.0f);
    // The glow source is half the screen: no pixel.
    EXPECT_FALSE(createSceneRenderTargets());
    EXPECT_EQ(sceneTarget(E_SCENE_TARGET_GLOW)->getTexture(), nullptr);
    EXPECT_NE(sceneTarget(E_SCENE_TARGET_IMAGE)->getTexture(), nullptr);
    releaseSceneTargets();
    EXPECT_FALSE(recreateSceneTargets());
    ClRenderTarget empty(0.0f, 8.0f, 0);
    EXPECT_FALSE(empty.createResources());
    setScreenSize(1280.0f, 720.0f);
}

}  // namespace
