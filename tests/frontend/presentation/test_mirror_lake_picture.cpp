// The mirror lake under a simple scene, drawn under the offscreen driver: a red panel on the left
// and a green one on the right stand on the water, and the lake shows each upside down directly
// beneath it over the faint front-end water tint.
#include "frontend/presentation/mirror_lake.h"
#include "tests/support/offscreen_picture.h"
#include "world/services/bar_colour_scheme.h"

namespace {

class MirrorLakePicture : public OffscreenPictureTest {
protected:
    MirrorLakePicture() : OffscreenPictureTest(160, 90, true) {}
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        loadTexture("Images/WaterBump");
        lookAt(ClVec3(0.0f, 10.0f, 150.0f), ClVec3(0.0f, -8.0f, 0.0f), cameraAt(0)->fov);
        initBarColourScheme();
        g_SavedOptions.bloom = 0;
    }
    // Panels 30 wide and 40 high standing on the water at z = 0, in the scene and the reflection;
    // the colour where the world point shows.
    SRgb drawFrames(const char* pngName, const ClVec3& point) {
        const SMaterial* additive = getMaterialForEffect("Debug_Add");
        m_lake = ClOffscreenPictures::drawFrames(
            [&] {
                setMirrorLakeShaderParams();
                for (const auto& [x, colour] : {std::pair{-25.0f, 0xFFFF2020u}, {25.0f, 0xFF20FF20u}})
                    appendCentredQuadCommand(ClVec3(x, 12.0f, 0.0f), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 30.0f, 40.0f,
                                             colour, additive, 0x62, 0.0f);
                drawMirrorLake();
            },
            pngName);
        return seen(point);
    }
    SRgb seen(const ClVec3& point) const {
        const ClVec2 p = project(point);
        return m_lake.rgb(u32(p.x), u32(p.y));
    }
    SPicture m_lake;
};

TEST_F(MirrorLakePicture, EachPanelIsMirroredBeneathItAndNothingIsDrawnWithoutTheOption) {
    ASSERT_FALSE(gfxIsNullRenderer());
    g_SavedOptions.waterReflection = 1;
    // A panel's point at height y shows in the water where its mirror image, at -16 - y, would.
    const ClVec3 redMirror(-25.0f, -30.0f, 0.0f);
    const SRgb red = drawFrames("mirror_lake.png", redMirror), green = seen(ClVec3(25.0f, -30.0f, 0.0f));
    EXPECT_GT(red[0], 100);
    EXPECT_LT(red[1], 60);
    EXPECT_GT(green[1], 100);
    EXPECT_LT(green[0], 60);
    // Open water in front of the panels shows only the front-end water tint; the panel itself.
    EXPECT_EQ(seen(ClVec3(0.0f, -8.0f, 60.0f)), (SRgb{0, 0, 0x12}));
    EXPECT_EQ(seen(ClVec3(-25.0f, 12.0f, 0.0f)), (SRgb{255, 32, 32}));

    g_SavedOptions.waterReflection = 0;
    EXPECT_EQ(grey(0), drawFrames("mirror_lake_off.png", redMirror));
}

// Seen from the menus' camera, level above the water, the lake meets the black the scene is cleared
// to at the screen's middle row. Through a see-through page that would show as an edge; the water
// fades into the black towards the horizon instead: a row just below it is as dark as the row just
// above it, and the water further down shows its colour.
TEST_F(MirrorLakePicture, TheWaterFadesIntoTheBlackAboveItAtTheHorizon) {
    ASSERT_FALSE(gfxIsNullRenderer());
    g_SavedOptions.waterReflection = 1;
    setWaterClearColour(0xFF806040u);
    lookAt(ClVec3(0.0f, 0.0f, 100.0f), ClVec3(0.0f, 0.0f, 0.0f), 60.0f);
    m_lake = ClOffscreenPictures::drawFrames(
        [] {
            setMirrorLakeShaderParams();
            drawMirrorLake();
        },
        "mirror_lake_horizon.png");
    const u32 horizon = u32(project(ClVec3(0.0f, -8.0f, -1.0e6f)).y);
    const auto brightness = [this](u32 y) {
        const ClVec3 sum = m_lake.colourSum({0, y, 160, y + 1});
        return (sum.x + sum.y + sum.z) / (3.0f * 160.0f);
    };
    EXPECT_LT(brightness(horizon - 2), 2.0f);
    EXPECT_LT(brightness(horizon + 2), 8.0f);
    EXPECT_GT(brightness(85), 40.0f);
    setWaterClearColour(0);
}

}  // namespace
