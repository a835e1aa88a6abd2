#include "platform/gfx/gfx_device.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/render_target.h"
#include "render/scene_inputs.h"
#include "render/scene_targets.h"
#include "render/texture.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

TEST_F(RenderTargets, SceneAndBloomTargetsTakeTheirSizesFromTheScreenAndSelectingOneSetsTheViewport) {
    const u64 presents = gfxPresentCount();
    createSceneRenderTargets();
    EXPECT_EQ(presents + 1, gfxPresentCount());
    createBloomTargets();
    std::string names;
    for (E_SceneTarget t : {E_SCENE_TARGET_IMAGE, E_SCENE_TARGET_REFLECTION, E_SCENE_TARGET_GLOW, E_SCENE_TARGET_BLOOM0, E_SCENE_TARGET_BLOOM1, E_SCENE_TARGET_BLOOM2})
        names += nameOf(t) + " " + std::to_string(gfxTextureWidth(sceneTarget(t)->target()->deviceTexture())) + "; ";
    EXPECT_EQ(names, "RTT 1280x720 1280; RTT 1280x720 1280; RTT 640x360 640; RTT 341x192 341; RTT 341x192 341; RTT 341x192 341; ");

    // Selecting one resets the viewport and gives its size.
    ClRenderTargetGroup* bloom = sceneTarget(E_SCENE_TARGET_BLOOM1);
    EXPECT_NEAR(1.7777778f, getRenderTargetAspect(), 1e-6f);
    gfxSetViewport(SGfxViewport{10, 10, 20, 20, 0.0f, 1.0f});
    setRenderTarget(bloom);
    EXPECT_EQ(std::make_pair(bloom, bloom->target()->deviceTexture()), std::make_pair(currentRenderTarget(), gfxRenderTarget()));
    EXPECT_EQ(std::make_tuple(341u, 192u, 341.0f, 192.0f), std::make_tuple(gfxViewport().width, gfxViewport().height, getRenderTargetWidth(), getRenderTargetHeight()));

    setRenderTarget(nullptr);
    EXPECT_EQ(std::make_tuple((SGfxTexture*)nullptr, 1280u, 720.0f), std::make_tuple(gfxRenderTarget(), gfxViewport().width, getRenderTargetHeight()));
}

TEST_F(RenderTargets, DeviceLossReleasesTargetsHarmlesslyTwiceAndAResetRemakesThem) {
    createSceneRenderTargets();
    ClRenderTargetGroup* image = sceneTarget(E_SCENE_TARGET_IMAGE);
    releaseSceneTargets();
    releaseSceneTargets();
    EXPECT_TRUE(!image->getTexture() && !image->target()->depthSurface());
    // A target without a texture is never selected: the back buffer is.
    setRenderTarget(image);
    EXPECT_EQ(std::make_pair((ClRenderTargetGroup*)nullptr, 1280.0f), std::make_pair(currentRenderTarget(), getRenderTargetWidth()));

    recreateSceneTargets();
    ASSERT_NE(nullptr, image->getTexture());
    setRenderTarget(image);
    EXPECT_EQ(std::tuple(std::string("RTT 1280x720"), 1280.0f, image),
              std::tuple(std::string(image->getTexture()->name), image->getTexture()->width(), currentRenderTarget()));
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

// The menu previews' walks across a lost device: every slot with a group, none without.
TEST_F(RenderTargets, PreviewSlotWalksReleaseAndRemakeEachGroupAndSkipEmptySlots) {
    ClRenderTargetGroup first(64.0f, 64.0f, 0);
    ClRenderTargetGroup last(32.0f, 16.0f, 0);
    g_aPreviewSlots[2].group = &first;
    g_aPreviewSlots[PREVIEW_SLOT_COUNT - 1].group = &last;
    releasePreviewTargets();
    EXPECT_EQ(std::make_pair((ClTexture*)nullptr, (ClTexture*)nullptr), std::make_pair(first.getTexture(), last.getTexture()));
    recreatePreviewTargets();
    ASSERT_TRUE(first.getTexture() && last.getTexture());
    EXPECT_EQ(std::make_pair(std::string("RTT 64x64"), std::string("RTT 32x16")),
              std::make_pair(std::string(first.getTexture()->name), std::string(last.getTexture()->name)));
    g_aPreviewSlots[2].group = g_aPreviewSlots[PREVIEW_SLOT_COUNT - 1].group = nullptr;
}

// The frame fence belongs to the device it was made on: a loss releases it, and the
// re-created device gets a new one.
TEST_F(RenderTargets, TheFrameFenceIsReleasedWithTheTargetsAndMadeAnewOnTheNextDevice) {
    createSceneRenderTargets();
    ASSERT_NE(makeSceneFence(), nullptr);
    releaseSceneTargets();
    EXPECT_EQ(sceneFence(), nullptr);
    gfxDestroyDevice();
    SGfxDeviceParams params;
    params.backend = E_GFX_BACKEND_NULL;
    params.width = 1280;
    params.height = 720;
    ASSERT_EQ(E_GFX_OK, gfxCreateDevice(params));
    ASSERT_TRUE(recreateSceneTargets());
    EXPECT_NE(makeSceneFence(), nullptr);
    destroySceneTargets();
    EXPECT_EQ(sceneFence(), nullptr);
}

}  // namespace
