// The mirror lake under a simple scene, drawn under the offscreen driver: a red panel on the left
// and a green one on the right stand on the water, and the lake shows each upside down directly
// beneath it over the faint front-end water tint.
#include "core/saved_options.h"
#include "library/presentation/mirror_lake.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "tests/render/offscreen_frame_test.h"
#include "world/bar_colour_scheme.h"

namespace {

class MirrorLakePicture : public OffscreenFrameTest {
protected:
    void SetUp() override {
        OffscreenFrameTest::SetUp();
        loadTexture("Images/WaterBump");
        createDebugCamera();
        setUpCameraBlenders();
        cameraAt(0)->setPositionLookingAt(ClVec3(0.0f, 10.0f, 150.0f), ClVec3(0.0f, -8.0f, 0.0f));
        g_aCameraBlenders[0].blendTo(cameraAt(0), 0.0f, false);
        initBarColourScheme();
        m_saved = g_SavedOptions;
        g_SavedOptions.bloom = 0;
        resetMirrorLake();
    }
    void TearDown() override {
        g_SavedOptions = m_saved;
        releaseCameras();
        releaseCameraBlenders();
        OffscreenFrameTest::TearDown();
    }
    // Panels 30 wide and 40 high standing on the water at z = 0, in the scene and the reflection.
    std::vector<u8> drawFrames(const char* pngName, bool setParams) {
        const SMaterial* additive = getMaterialForEffect("Debug_Add");
        for (int frame = 0; frame < 3; ++frame) {
            beginBatchFrame();
            if (setParams) setMirrorLakeShaderParams();
            for (const auto& [x, colour] : {std::pair{-25.0f, 0xFFFF2020u}, {25.0f, 0xFF20FF20u}})
                appendCentredQuadCommand(ClVec3(x, 12.0f, 0.0f), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 30.0f, 40.0f,
                                         colour, additive, 0x62, 0.0f);
            drawMirrorLake();
            EXPECT_EQ(1, finishFrame());
        }
        return readFrame(pngName);
    }
    // The pixel where a world point shows.
    static std::vector<int> at(const std::vector<u8>& rgba, const ClVec3& point) {
        const ClVec2 s = viewCamera()->projectToScreen(point);
        const u8* p = &rgba[4 * (u32(s.y * FRAME_H) * FRAME_W + u32(s.x * FRAME_W))];
        return {p[0], p[1], p[2]};
    }
    SSavedOptions m_saved;
};

TEST_F(MirrorLakePicture, EachPanelIsMirroredBeneathItAndNothingIsDrawnWithoutTheOptionOrTheConstants) {
    ASSERT_FALSE(gfxIsNullRenderer());
    g_SavedOptions.waterReflection = 1;
    const std::vector<u8> lake = drawFrames("mirror_lake.png", true);
    // A panel's point at height y shows in the water where its mirror image, at -16 - y, would.
    const ClVec3 redMirror(-25.0f, -30.0f, 0.0f);
    const std::vector<int> red = at(lake, redMirror), green = at(lake, ClVec3(25.0f, -30.0f, 0.0f));
    EXPECT_TRUE(red[0] > 100 && red[1] < 60) << red[0] << " " << red[1];
    EXPECT_TRUE(green[1] > 100 && green[0] < 60) << green[0] << " " << green[1];
    // Open water in front of the panels: only the tint of the front-end water colour.
    EXPECT_EQ(std::vector<int>({0, 0, 0x12}), at(lake, ClVec3(0.0f, -8.0f, 60.0f)));
    EXPECT_EQ(std::vector<int>({255, 32, 32}), at(lake, ClVec3(-25.0f, 12.0f, 0.0f))) << "the panel itself";

    g_SavedOptions.waterReflection = 0;
    EXPECT_EQ(std::vector<int>({0, 0, 0}), at(drawFrames("mirror_lake_off.png", true), redMirror));
    g_SavedOptions.waterReflection = 1;
    resetMirrorLake();
    EXPECT_EQ(std::vector<int>({0, 0, 0}), at(drawFrames("mirror_lake_unset.png", false), redMirror));
}

}  // namespace
