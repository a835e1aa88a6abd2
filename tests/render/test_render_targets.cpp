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
        SGfxDeviceParams params;
        params.backend = E_GFX_BACKEND_NULL;
        params.width = 1280;
        params.height = 720;
        ASSERT_EQ(E_GFX_OK, gfxCreateDevice(params));
        setScreenSize(1280.0f, 720.0f);
    }
    void TearDown() override {
        setRenderTarget(nullptr);
        destroySceneTargets();
        gfxDestroyDevice();
    }
};

std::string nameOf(E_SceneTarget which) { return sceneTarget(which)->getTexture()->name; }

TEST_F(RenderTargets, SceneAndBloomTargetsTakeTheirSizesFromTheScreen) {
    const u64 presents = gfxPresentCount();
    createSceneRenderTargets();
    EXPECT_EQ(presents + 1, gfxPresentCount());
    createBloomTargets();
    EXPECT_EQ("RTT 1280x720", nameOf(E_SCENE_TARGET_IMAGE));
    EXPECT_EQ("RTT 1280x720", nameOf(E_SCENE_TARGET_REFLECTION));
    EXPECT_EQ("RTT 640x360", nameOf(E_SCENE_TARGET_GLOW));
    for (E_SceneTarget bloom : {E_SCENE_TARGET_BLOOM0, E_SCENE_TARGET_BLOOM1, E_SCENE_TARGET_BLOOM2}) {
        EXPECT_EQ("RTT 341x192", nameOf(bloom));
        EXPECT_EQ(341u, gfxTextureWidth(sceneTarget(bloom)->target()->deviceTexture()));
    }
}

TEST_F(RenderTargets, SelectingATargetResetsTheViewportAndGivesItsSize) {
    createSceneRenderTargets();
    createBloomTargets();
    ClRenderTargetGroup* bloom = sceneTarget(E_SCENE_TARGET_BLOOM1);
    EXPECT_NEAR(1.7777778f, getRenderTargetAspect(), 1e-6f);
    gfxSetViewport(SGfxViewport{10, 10, 20, 20, 0.0f, 1.0f});
    setRenderTarget(bloom);
    EXPECT_EQ(bloom, currentRenderTarget());
    EXPECT_EQ(bloom->target()->deviceTexture(), gfxRenderTarget());
    EXPECT_EQ(341u, gfxViewport().width);
    EXPECT_EQ(192u, gfxViewport().height);
    EXPECT_EQ(341.0f, getRenderTargetWidth());
    EXPECT_EQ(192.0f, getRenderTargetHeight());

    setRenderTarget(nullptr);
    EXPECT_EQ(nullptr, gfxRenderTarget());
    EXPECT_EQ(1280u, gfxViewport().width);
    EXPECT_EQ(720.0f, getRenderTargetHeight());
}

TEST_F(RenderTargets, DeviceLossReleasesTargetsHarmlesslyTwiceAndAResetRemakesThem) {
    createSceneRenderTargets();
    ClRenderTargetGroup* image = sceneTarget(E_SCENE_TARGET_IMAGE);
    releaseSceneTargets();
    releaseSceneTargets();
    EXPECT_EQ(nullptr, image->getTexture());
    EXPECT_EQ(nullptr, image->target()->depthSurface());
    // A target without a texture is never selected: the back buffer is.
    setRenderTarget(image);
    EXPECT_EQ(nullptr, currentRenderTarget());
    EXPECT_EQ(1280.0f, getRenderTargetWidth());

    recreateSceneTargets();
    ASSERT_NE(nullptr, image->getTexture());
    EXPECT_EQ(std::string("RTT 1280x720"), image->getTexture()->name);
    EXPECT_EQ(1280.0f, image->getTexture()->width());
    setRenderTarget(image);
    EXPECT_EQ(image, currentRenderTarget());
}

}  // namespace
