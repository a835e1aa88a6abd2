// Batched runs drawn on OpenGL (Mesa, headless): each layer draws only its own objects, in the
// orthographic projection's pixel units, into a render target read back top row first; runs
// switch textures as their materials do. Every built effect compiles there.
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
#include <tuple>
#include <vector>

namespace {

class BatchDrawing : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!startDevice(E_GFX_BACKEND_GL)) GTEST_SKIP() << "no OpenGL device: " << gfxLastErrorText();
        initShaderRegistry();
    }
    void TearDown() override {
        setRenderTarget(nullptr);
        releaseBatchBuffers();
        releaseAllMaterials();
        releaseShaderRegistry();
        BuiltDataTest::TearDown();
    }
};

// A 320 x 200 target read back once; at() gives the RGB word of one pixel.
struct SReadBack {
    explicit SReadBack(SGfxTexture* target) : rgba(320 * 200 * 4) {
        EXPECT_TRUE(gfxReadPixels(target, rgba.data(), u32(rgba.size())));
    }
    u32 at(u32 x, u32 y) const {
        const u8* p = &rgba[4 * (y * 320 + x)];
        return (u32(p[0]) << 16) | (u32(p[1]) << 8) | u32(p[2]);
    }
    std::vector<u8> rgba;
};

// One object: the rectangle x0 - h .. x1 + h by y - h .. y + h, textured corner to corner.
void addRectangle(u32 layerMask, f32 x0, f32 x1, f32 y, f32 h, u32 colour, const SMaterial* material) {
    const SBatchReservation r = reserveBatchGeometry(1, 4, 6);
    ASSERT_NE(nullptr, r.vertices);
    for (u32 corner = 0; corner < 4; ++corner) {
        const f32 u = f32(corner & 1), v = f32(corner >> 1);
        r.vertices[corner] = SBatchVertex{u ? x1 + h : x0 - h, v ? y + h : y - h, 0.0f, colour, 0.0f, 0.0f, 0.0f, u, v};
    }
    constexpr u32 strip[6] = {0, 1, 2, 1, 3, 2};
    for (u32 i = 0; i < 6; ++i) r.stagedIndices[i] = r.vertexBase + strip[i];
    r.layerMasks[0] = layerMask;
    r.indexRanges[0] = SBatchIndexRange{r.firstStagedIndex, 6};
    r.depths[0] = 0.0f;
    r.materials[0] = material;
    r.keys[0] = BATCH_KEY_MAIN_SCENE;
}

TEST_F(BatchDrawing, EveryEffectCompilesAndEachLayerDrawsItsOwnRunsWhereTheOrthoProjectionPutsThem) {
    initMaterialPools();
    const SMaterial* additive = getMaterialForEffect("Debug_Add");
    // A blue render target as the texture of a second material with the same effect.
    ClRenderTargetGroup blue(8.0f, 8.0f, 0);
    setRenderTarget(&blue);
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    const SMaterial* tinted = getMaterialForEffectAndTexture("Debug_Add", blue.getTexture());
    ASSERT_TRUE(createBatchBuffers(true));
    beginBatchFrame();
    // {layer, x0, x1, y, colour, material}: bars 20 high reaching 10 past their ends.
    for (auto [layer, x0, x1, y, colour, mat] : {std::tuple{1u, 40.0f, 120.0f, 50.0f, 0xFFFF0000u, additive}, {2u, 40.0f, 120.0f, 150.0f, 0xFF00FF00u, additive},
                                                 {1u, 200.0f, 280.0f, 50.0f, 0xFFFFFFFFu, tinted}, {1u, 200.0f, 280.0f, 100.0f, 0xFFFFFF00u, additive}})
        addRectangle(layer, x0, x1, y, 10.0f, colour, mat);
    buildLayerDrawList(0, 1, false, false);
    buildLayerDrawList(1, 2, false, false);
    unlockBatchBuffers();

    ClRenderTargetGroup target(320.0f, 200.0f, 0);
    resetRenderState();
    setRenderTarget(&target);
    pushOrthoProjection(320.0f, 200.0f);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
    drawBatchLayer(0, BATCH_KEY_MAIN_SCENE);

    // The red bar, inside its end, below it; layer 1 not drawn yet; white
    // through the blue texture; then back to the white default.
    const SReadBack first(target.target()->deviceTexture());
    EXPECT_EQ(first.at(80, 50), 0xFF0000u);
    EXPECT_EQ(first.at(32, 42), 0xFF0000u);
    EXPECT_EQ(first.at(80, 65), 0u);
    EXPECT_EQ(first.at(80, 150), 0u);
    EXPECT_EQ(first.at(240, 50), 0x0000FFu);
    EXPECT_EQ(first.at(240, 100), 0xFFFF00u);
    drawBatchLayer(1, BATCH_KEY_MAIN_SCENE);
    const SReadBack second(target.target()->deviceTexture());
    EXPECT_EQ(second.at(80, 150), 0x00FF00u);
    EXPECT_EQ(second.at(80, 50), 0xFF0000u);
}

}  // namespace
