// The backdrop and the edge sparks as the player sees them: whole frames of the scene render under
// the offscreen driver, from a camera above the arena's near end. The pictures are written as PNG
// into VELODRIX_TEST_PNG_DIR when it is set.
#include "world/effects/backdrop.h"
#include "world/effects/edge_sparks.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/config.h"
#include "core/game_clock.h"
#include "core/global_objects.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "core/task_layer.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/debug_shapes.h"
#include "render/display_modes.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/scene_render.h"
#include "render/screen_quad.h"
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"
#include "tests/render/render_data_support.h"
#include "world/bar_colour_scheme.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr u32 W = 320;
constexpr u32 H = 180;

struct SPicture {
    std::vector<u8> rgba;
    // Sums of a channel over a rectangle of pixels [x0, x1) x [y0, y1).
    u64 sum(u32 channel, u32 x0, u32 y0, u32 x1, u32 y1) const {
        u64 total = 0;
        for (u32 y = y0; y < y1; ++y)
            for (u32 x = x0; x < x1; ++x) total += rgba[4 * (y * W + x) + channel];
        return total;
    }
    u32 litPixels(u32 x0, u32 y0, u32 x1, u32 y1) const {
        u32 lit = 0;
        for (u32 y = y0; y < y1; ++y)
            for (u32 x = x0; x < x1; ++x) {
                const u8* p = &rgba[4 * (y * W + x)];
                lit += (p[0] + p[1] + p[2]) > 24;
            }
        return lit;
    }
};

class BackdropPicture : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        configClear();
        configSetValue("NOVSYNC", "1");
        configSetValue("FULLSCREEN", "0");
        configSetValue("HARD_FORCED_WIDTH", std::to_string(W).c_str());
        configSetValue("HARD_FORCED_HEIGHT", std::to_string(H).c_str());
        initDisplayOptionTable();
        taskLayerInit();
        initRenderer();
        initShaderRegistry();
        initMaterialPools();
        initTextureTable();
        for (const char* name : {"Images/BarBrightLine", "Images/smallcircle", "Images/Particle-1", "Images/Particle-2",
                                 "Images/Particle-3"})
            ASSERT_NE(loadTexture(name), nullptr) << name;
        initDrawBatchPool();
        ASSERT_TRUE(createBatchBuffers(true));
        initSpriteQueue();
        createDebugCamera();
        setUpCameraBlenders();
        // Above the near end of the arena, looking down along the in-game camera's direction.
        const ClVec3 focus(162.5f, 0.0f, 150.0f);
        m_camera.setPositionLookingAt(focus - scaleVec3(inGameViewDirection(), 440.0f), focus);
        g_aCameraBlenders[0].blendTo(&m_camera, 0.0f, false);
        installSceneRender();
        g_uMusicLibraryInitialised = 1;
        g_uInGameFlag = 1;
        m_saved = g_SavedOptions;
        g_SavedOptions.bloom = 0;
        g_SavedOptions.waterReflection = 0;
        initBarColourScheme();
        resetSongAnalysis();
        resetBeatAnalysis();
        // Eight bands, the loud ones in the middle; a quiet song.
        m_bands = {0.1f, 0.3f, 0.6f, 0.9f, 0.9f, 0.6f, 0.3f, 0.1f};
        SSpectrumHeader& header = g_SpectrumAnalysis.header;
        header.bandCount = u32(m_bands.size());
        header.frameCount = 1;
        header.bandValues = m_bands.data();
        g_iSpectrumFrame = 0;
        SSpawnBar bar{};
        bar.smoothedLevel = 0.1f;
        g_SongFeatures.bars.push(bar);
        g_fSongTime = 0.0f;
    }
    void TearDown() override {
        releaseBackdrop();
        g_SpectrumAnalysis.header = SSpectrumHeader{};
        releaseSongAnalysis();
        releaseBeatAnalysis();
        g_aGameClocks[GAME_CLOCK_GAMEPLAY] = SGameClock{0.0f, 0.0};
        g_SavedOptions = m_saved;
        g_uMusicLibraryInitialised = 0;
        g_uInGameFlag = 0;
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        releaseUIDeviceBuffers();
        g_aCameraBlenders[0].forgetCamera(&m_camera);
        releaseCameras();
        releaseCameraBlenders();
        shutdownSpriteQueue();
        releaseBatchBuffers();
        releaseAllDrawBatches();
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
        BuiltDataTest::TearDown();
    }
    // A reset backdrop run for `frames` frames of 1/60 s, with `setUp` called after the reset; the
    // back buffer of the last frame.
    template <typename Fn>
    SPicture play(u32 frames, const char* pngName, Fn setUp) {
        sfmtInitGenRand(77);
        resetBackdrop();
        setUp();
        for (u32 frame = 0; frame < frames; ++frame) {
            beginBatchFrame();
            setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
            updateBackdrop();
            drawBackdropStreams();
            EXPECT_EQ(1, finishFrame());
        }
        SPicture picture;
        picture.rgba.resize(W * H * 4);
        EXPECT_TRUE(gfxReadPixels(nullptr, picture.rgba.data(), u32(picture.rgba.size())));
        if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"))
            stbi_write_png((std::string(dir) + "/" + pngName).c_str(), int(W), int(H), 4, picture.rgba.data(), int(W * 4));
        return picture;
    }
    ClCamera m_camera;
    SSavedOptions m_saved;
    std::vector<f32> m_bands;
};

TEST_F(BackdropPicture, AQuietSongShowsBlueStreaksAndFloorBarsAndTheSameSeedDrawsTheSameFrame) {
    if (gfxIsNullRenderer()) GTEST_SKIP() << "no OpenGL device";
    const SPicture quiet = play(30, "backdrop_quiet.png", [] {});
    // The streams' colours in the first preset are blue; the bars lie on the floor between the
    // camera and the arena's far edge, the lower part of the frame.
    const u64 blue = quiet.sum(2, 0, 0, W, H);
    EXPECT_GT(blue, 2 * quiet.sum(0, 0, 0, W, H));
    EXPECT_GT(quiet.sum(2, 0, H / 2, W, H), 4 * quiet.sum(2, 0, 0, W, 30));
    EXPECT_GT(quiet.litPixels(0, H / 2, W, H), 1000u);
    const SPicture again = play(30, "backdrop_quiet_again.png", [] {});
    u32 differing = 0;
    for (size_t i = 0; i < quiet.rgba.size(); ++i) differing += std::abs(int(quiet.rgba[i]) - int(again.rgba[i])) > 2;
    EXPECT_LT(differing, quiet.rgba.size() / 200);
}

TEST_F(BackdropPicture, ALoudSongStretchesTheStreaksIntoLines) {
    if (gfxIsNullRenderer()) GTEST_SKIP() << "no OpenGL device";
    const SPicture quiet = play(60, "backdrop_quiet_long.png", [] {});
    g_SongFeatures.bars[0].smoothedLevel = 1.0f;
    const SPicture loud = play(60, "backdrop_loud.png", [] {});
    EXPECT_GT(loud.litPixels(0, 0, W, H / 2), quiet.litPixels(0, 0, W, H / 2) + 200u);
}

TEST_F(BackdropPicture, SparksBurstFromTheLeftEdgeAndARingRisesInTheMiddle) {
    if (gfxIsNullRenderer()) GTEST_SKIP() << "no OpenGL device";
    const SPicture plain = play(8, "backdrop_plain.png", [] {});
    const SPicture sparks = play(8, "backdrop_sparks.png", [] {
        spawnEdgeSparks(ClVec3(5.0f, 0.0f, 150.0f));
        spawnBackdropRing(ClVec3(250.0f, 0.0f, 100.0f), 1);
    });
    // Brighter on the left third, where the fan is, than the same frame without it.
    EXPECT_GT(sparks.sum(2, 0, 0, W / 3, H), plain.sum(2, 0, 0, W / 3, H) + 255u * 400u);
}

}  // namespace
