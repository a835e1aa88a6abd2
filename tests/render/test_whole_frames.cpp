// Whole frames in one process: the game's window, device and render worker under the offscreen
// driver draw known draw-list commands, and the back buffer shows them where the orthographic
// projection puts them. The picture is written as PNG into VELODRIX_TEST_PNG_DIR when set.
#include "render/render_state.h"
#include "render/transform_stacks.h"
#include "tests/support/offscreen_picture.h"

#include <array>

namespace {

constexpr u32 W = 160, H = 90;
constexpr u32 LAYER_MASK_2D = 0x100;

// The worker's frame: the quads of its half, drawn over black into the back buffer.
void drawQuadsScene() {
    setRenderTarget(nullptr);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
    pushOrthoProjection(f32(W), f32(H));
    buildQuadCommands();
    buildLayerDrawList(0, LAYER_MASK_2D, false, false);
    unlockBatchBuffers();
    drawBatchLayer(0, BATCH_KEY_MAIN_SCENE);
    popTransform(0);
    popTransform(1);
    clearDrawLists();
    presentRenderedFrame();
}

class WholeFrames : public OffscreenPictureTest {
protected:
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        g_FrameHandOffSteps.renderScene = drawQuadsScene;
    }
};

TEST_F(WholeFrames, QuadsFromTheDrawListsLandOnTheirPixelsInTheBackBuffer) {
    ASSERT_FALSE(gfxIsNullRenderer());
    ASSERT_EQ(gfxBackBufferWidth(), W);
    const SMaterial* additive = getMaterialForEffect("Debug_Add");
    // Pixel rectangles, given with the half-pixel shift of 2D code: [20, 60) x [10, 40) red and
    // [50, 100) x [30, 80) green, overlapping (added) in [50, 60) x [30, 40).
    auto quad = [&](f32 x0, f32 y0, f32 x1, f32 y1, u32 colour) {
        appendQuadCommandCorners(ClVec3(x0 - 0.5f, y0 - 0.5f, 0.0f), ClVec3(x0 - 0.5f, y1 - 0.5f, 0.0f),
                                 ClVec3(x1 - 0.5f, y0 - 0.5f, 0.0f), ClVec3(x1 - 0.5f, y1 - 0.5f, 0.0f), colour,
                                 additive, LAYER_MASK_2D);
    };
    for (int frame = 0; frame < 3; ++frame) {
        beginBatchFrame();
        quad(20, 10, 60, 40, 0xFFC00000u);
        quad(50, 30, 100, 80, 0xFF00C000u);
        ASSERT_EQ(submitFrameToRenderWorker(), 1);
    }
    const SPicture picture = readPicture("whole_frame.png");
    // {x, y, red, green}: inside each quad, in the overlap, and just outside every edge.
    for (auto [x, y, r, g] : std::vector<std::array<int, 4>>{{20, 10, 0xC0, 0}, {49, 39, 0xC0, 0}, {55, 35, 0xC0, 0xC0}, {99, 79, 0, 0xC0},
                                                            {19, 10, 0, 0}, {20, 9, 0, 0}, {100, 79, 0, 0}, {99, 80, 0, 0}, {150, 5, 0, 0}})
        EXPECT_THAT(picture.rgb(x, y), RgbNear({r, g, 0}, 2)) << "at " << x << ", " << y;
}

}  // namespace
