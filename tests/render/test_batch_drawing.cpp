// Batched runs drawn on OpenGL (Mesa, headless): each layer draws only its own objects, in the
// orthographic projection's pixel units, into a render target read back top row first; runs
// switch textures as their materials do.
#include "render/batcher.h"
#include "render/materials.h"
#include "render/render_state.h"
#include "render/render_target.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/transform_stacks.h"
#include "render_data_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

class BatchDrawing : public BuiltDataTest {
protected:
    void TearDown() override {
        setRenderTarget(nullptr);
        releaseBatchBuffers();
        releaseAllMaterials();
        releaseShaderRegistry();
        BuiltDataTest::TearDown();
    }
};

u32 pixelAt(const std::vector<u8>& rgba, u32 width, u32 x, u32 y) {
    const u8* p = &rgba[4 * (y * width + x)];
    return (u32(p[0]) << 16) | (u32(p[1]) << 8) | u32(p[2]);
}

TEST_F(BatchDrawing, EachLayerDrawsItsOwnRunsWhereTheOrthoProjectionPutsThem) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!startDevice(E_GFX_BACKEND_GL)) GTEST_SKIP() << "no OpenGL device: " << gfxLastErrorText();
    initShaderRegistry();
    initMaterialPools();
    const SMaterial* additive = getMaterialForEffect("Debug_Add");
    // A blue render target as the texture of a second material with the same effect.
    ClRenderTargetGroup blue(8.0f, 8.0f, 0);
    setRenderTarget(&blue);
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    const SMaterial* tinted = getMaterialForEffectAndTexture("Debug_Add", blue.getTexture());
    ASSERT_TRUE(createBatchBuffers(true));
    beginBatchFrame();
    addBatchedCappedLine(1, ClVec2(40.0f, 50.0f), ClVec2(120.0f, 50.0f), 10.0f, 0xFFFF0000u, additive, 0.0f, 0);
    addBatchedCappedLine(2, ClVec2(40.0f, 150.0f), ClVec2(120.0f, 150.0f), 10.0f, 0xFF00FF00u, additive, 0.0f, 0);
    addBatchedCappedLine(1, ClVec2(200.0f, 50.0f), ClVec2(280.0f, 50.0f), 10.0f, 0xFFFFFFFFu, tinted, 0.0f, 0);
    addBatchedCappedLine(1, ClVec2(200.0f, 100.0f), ClVec2(280.0f, 100.0f), 10.0f, 0xFFFFFF00u, additive, 0.0f, 0);
    buildLayerDrawList(0, 1, false, false);
    buildLayerDrawList(1, 2, false, false);
    unlockBatchBuffers();

    ClRenderTargetGroup target(320.0f, 200.0f, 0);
    resetRenderState();
    setRenderTarget(&target);
    pushOrthoProjection(320.0f, 200.0f);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
    drawBatchLayer(0, BATCH_KEY_MAIN_SCENE);

    std::vector<u8> pixels(320 * 200 * 4);
    ASSERT_TRUE(gfxReadPixels(target.target()->deviceTexture(), pixels.data(), u32(pixels.size())));
    EXPECT_EQ(0xFF0000u, pixelAt(pixels, 320, 80, 50));
    EXPECT_EQ(0xFF0000u, pixelAt(pixels, 320, 32, 42));   // inside the square cap
    EXPECT_EQ(0x000000u, pixelAt(pixels, 320, 80, 65));   // below the line's half-width
    EXPECT_EQ(0x000000u, pixelAt(pixels, 320, 80, 150));  // layer 1 not drawn yet
    EXPECT_EQ(0x0000FFu, pixelAt(pixels, 320, 240, 50));  // white through the blue texture
    EXPECT_EQ(0xFFFF00u, pixelAt(pixels, 320, 240, 100)); // back to the white default

    drawBatchLayer(1, BATCH_KEY_MAIN_SCENE);
    ASSERT_TRUE(gfxReadPixels(target.target()->deviceTexture(), pixels.data(), u32(pixels.size())));
    EXPECT_EQ(0x00FF00u, pixelAt(pixels, 320, 80, 150));
    EXPECT_EQ(0xFF0000u, pixelAt(pixels, 320, 80, 50));
}

}  // namespace
