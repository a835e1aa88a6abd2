// The backdrop and the edge sparks as the player sees them: whole frames of the scene render from
// above the arena's near end, looking along the in-game camera's direction.
#include "world/effects/backdrop.h"
#include "world/effects/backdrop_rails.h"
#include "world/effects/edge_sparks.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "tests/world/world_pictures.h"
#include "world/processors/beat_subscribers.h"
#include "world/world_step.h"

namespace {

class BackdropPicture : public WorldPictureTest {
protected:
    void SetUp() override {
        WorldPictureTest::SetUp();
        if (!m_ready) GTEST_SKIP() << "no OpenGL device";
        const ClVec3 focus(162.5f, 0.0f, 150.0f);
        lookAt(focus - scaleVec3(inGameViewDirection(), 440.0f), focus);
        resetSongAnalysis();
        resetBeatAnalysis();
        resetBeatSubscriptions();
        // Eight bands, the loud ones in the middle; a quiet song.
        m_bands = {0.1f, 0.3f, 0.6f, 0.9f, 0.9f, 0.6f, 0.3f, 0.1f};
        g_SpectrumAnalysis.header.bandCount = u32(m_bands.size());
        g_SpectrumAnalysis.header.frameCount = 1;
        g_SpectrumAnalysis.header.bandValues = m_bands.data();
        g_iSpectrumFrame = 0;
        g_SongFeatures.bars.push(SSpawnBar{0, 0, 0, 0, 0, 0, 0.1f});
        setSongTime(0.0f);
        loadTexture("Images/Shockwave");
    }
    void TearDown() override {
        if (m_ready) {
            releaseBackdrop();
            g_SpectrumAnalysis.header = SSpectrumHeader{};
            releaseSongAnalysis();
            releaseBeatAnalysis();
            g_aGameClocks[GAME_CLOCK_GAMEPLAY] = SGameClock{0.0f, 0.0};
        }
        WorldPictureTest::TearDown();
    }
    // A reset backdrop run for `frames` frames of 1/60 s, `setUp` called after the reset; the
    // picture of the last three.
    SPicture play(u32 frames, const char* pngName, const std::function<void()>& setUp) {
        sfmtInitGenRand(77);
        initBarColourScheme();
        resetBackdrop();
        m_fx.releaseAll();
        setUp();
        const auto frame = [this] {
            setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
            publishWorldFrameInputs();
            updateBackdrop();
            m_fx.update();
            drawBackdropStreams();
            applyBarShaderConstants();
        };
        for (u32 i = 3; i < frames; ++i) {
            frame();
            clearDrawListHalf(1 - renderFlipIndex());
        }
        return drawFrames(frame, pngName);
    }
    // The picture's mean brightness, 0 (black) to 1 (white).
    static f32 meanBrightness(const SPicture& picture) {
        const ClVec3 sum = picture.colourSum({0, 0, picture.w, picture.h});
        return (sum.x + sum.y + sum.z) / (3.0f * 255.0f * f32(picture.w) * f32(picture.h));
    }
    std::vector<f32> m_bands;
};

TEST_F(BackdropPicture, AQuietSongShowsBlueFloorBarsBetweenTheRails) {
    const SPicture quiet = play(30, "backdrop_quiet.png", [] {});
    const ClVec3 all = quiet.colourSum({0, 0, m_w, m_h});
    EXPECT_GT(all.z, 2.0f * all.x) << "the first preset's blue";
    // Between the rails the bars lie on the floor from the far edge (z = 0) towards the camera;
    // beyond it only the streaks' dots.
    const ClVec2 farEdge = project(ClVec3(162.5f, 0.0f, 0.0f));
    const u32 x0 = u32(project(ClVec3(60.0f, 0.0f, 0.0f)).x);
    const u32 x1 = u32(project(ClVec3(265.0f, 0.0f, 0.0f)).x);
    const u32 edgeY = u32(farEdge.y);
    EXPECT_GT(quiet.lit({x0, edgeY + 4, x1, edgeY + 44}, 12), 10 * quiet.lit({x0, edgeY - 44, x1, edgeY - 4}, 12) + 100);
    // The rails' edges at x = 0 and x = 325, where they cross z = 200.
    for (f32 x : {0.0f, 325.0f}) EXPECT_GT(quiet.lit(around(ClVec3(x, 0.0f, 200.0f), 4), 12), 3u) << x;
}

TEST_F(BackdropPicture, ALoudSongTurnsTheSchemeOrangeAndSparksBurstFromTheLeftEdge) {
    const SPicture loud = play(60, "backdrop_loud.png", [] { g_SongFeatures.bars[0].smoothedLevel = 1.0f; });
    const ClVec3 all = loud.colourSum({0, 0, m_w, m_h});
    EXPECT_GT(all.x, 2.0f * all.z) << "the loud preset";

    g_SongFeatures.bars[0].smoothedLevel = 0.1f;
    const SPicture sparks = play(8, "backdrop_sparks.png", [] { spawnEdgeSparks(ClVec3(5.0f, 0.0f, 150.0f)); });
    const SPicture plain = play(8, "backdrop_plain.png", [] {});
    const SPixelBox leftThird = {0, 0, m_w / 3, m_h}, rightThird = {2 * m_w / 3, 0, m_w, m_h};
    EXPECT_GT(sparks.colourSum(leftThird).z, plain.colourSum(leftThird).z + 255.0f * 500.0f);
    EXPECT_LT(sparks.colourSum(rightThird).z, plain.colourSum(rightThird).z + 255.0f * 20.0f);
}

// Seen from the side, the rails run from z = -400 to 525; moved on by 60 the nearest piece has
// wrapped to the far end and they run from -525 to 400.
TEST_F(BackdropPicture, TheRailsScrollTowardsTheCameraAndWrapToTheFarEnd) {
    lookAt(ClVec3(-600.0f, 500.0f, 0.0f), ClVec3(162.5f, 0.0f, 0.0f));
    resetBackdrop();
    const auto rails = [] {
        drawBackdropRails();
        applyBarShaderConstants();
    };
    const auto litAt = [this](const SPicture& picture, f32 z) { return picture.lit(around(ClVec3(0.0f, 0.0f, z), 4), 12); };
    const SPicture before = drawFrames(rails, "backdrop_rails.png");
    moveBackdropRails(60.0f);
    const SPicture after = drawFrames(rails, "backdrop_rails_moved.png");
    EXPECT_GT(litAt(before, 460.0f), 3u);
    EXPECT_EQ(litAt(before, -460.0f), 0u);
    EXPECT_EQ(litAt(after, 460.0f), 0u);
    EXPECT_GT(litAt(after, -460.0f), 3u);
}

// A dozen wave members land in the same frame across the arena, each with its light wall, its
// spark fan and the widening flash its first shot adds; two thirds of a second later the arena
// still shows through and the frame is only somewhat brighter than the plain backdrop.
TEST_F(BackdropPicture, ManyMembersArrivingAtOnceDoNotWashOutTheFrame) {
    const auto arrive = [this] {
        publishWorldFrameInputs();
        for (u32 i = 0; i < 12; ++i) {
            const ClVec3 at(25.0f * f32(i + 1), 0.0f, 60.0f + 15.0f * f32(i));
            spawnBackdropRing(at, 1);
            spawnEdgeSparks(at);
            m_fx.addExpandingFlash(0, at);
        }
    };
    const SPicture many = play(40, "backdrop_many_arrivals.png", arrive);
    const SPicture plain = play(40, "backdrop_no_arrivals.png", [] {});
    EXPECT_LT(meanBrightness(many), meanBrightness(plain) + 0.1f);
}

}  // namespace
