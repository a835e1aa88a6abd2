// The heads-up display as the player sees it: the boss's health bar and countdown in the fight,
// a frame drawn under the offscreen driver with the built data's interface images and fonts; and
// the score popups, queued only while the display's page is on screen.
#include "audio/play/song_clock.h"
#include "core/directories.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/string_table.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/sprite_queue.h"
#include "render/canvases.h"
#include "tests/support/offscreen_picture.h"
#include "tests/world/world_test_support.h"
#include "ui/ui_system.h"
#include "ui/widget.h"
#include "world/entity/world.h"
#include "world/play/boss_meter.h"
#include "world/play/player_state.h"
#include "world/play/score_hud.h"
#include "world/play/score_popups.h"
#include "world/services/bar_colour_scheme.h"
#include "world/state/boss_encounter.h"

#include <gtest/gtest.h>

namespace {

constexpr u32 W = 960, H = 540;

class BossMeterPicture : public OffscreenPictureTest {
protected:
    // The HUD layers below 1300 are drawn in the camera's pass, so the frame has a camera.
    BossMeterPicture() : OffscreenPictureTest(W, H, true) {}
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        if (gfxIsNullRenderer()) GTEST_SKIP() << "no OpenGL device";
        defineStartupCanvases(f32(W), f32(H));
        initUi();
        loadUiFonts();
        initBarColourScheme();
        initWorld();
        g_BossEncounter = SBossEncounter{};
        setSongTime(0.0f);
    }
    void TearDown() override {
        if (!gfxIsNullRenderer()) {
            g_BossEncounter = SBossEncounter{};
            shutdownWorld();
            shutdownUi();
        }
        OffscreenPictureTest::TearDown();
    }
    world_test::DnaWriter m_boss;
};

TEST_F(BossMeterPicture, TheFightShowsTheBarFilledToTheBossStrengthAndTheTimeLeft) {
    ASSERT_TRUE(loadUiImage("hud-boss-bar", 0));
    ASSERT_TRUE(loadUiImage("hud-boss-bar-hit", 0));
    m_boss.node().param("NDKFBH", 0.6f).mainBody();
    m_boss.close();
    SBossEncounter& e = g_BossEncounter;
    e.entity = makeEntityRef(world_test::spawnActiveEntity(&m_boss.program));
    e.phase = E_BOSSPHASE_FIGHT;
    e.phaseTimer = 83.5f;  // 01:23 left
    e.barLastValue = 0.6f;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
    const SPicture frame = drawFrames(updateBossEncounter, "boss_meter.png");

    // SAFE is 1080 units to 480 pixels here: the bar's row, from (-552, 57) for 1020 units, lit
    // red to orange over 0.6 of its length; the countdown in white to its right.
    const f32 scale = 480.0f / 1080.0f;
    const u32 left = u32(f32(W) / 2.0f - 552.0f * scale), full = u32(1020.0f * scale), row = u32(75.0f * scale);
    const SPixelRun bar = frame.run({0, row, W, row + 1}, [](int r, int g, int b) { return r > 120 && r > g && b < 60; });
    // Its rounded ends are soft for a few pixels.
    EXPECT_NEAR(f32(bar.left), f32(left), 10.0f);
    EXPECT_NEAR(f32(bar.right + 1 - bar.left), 0.6f * f32(full), 10.0f);
    // The fill cuts the image rather than squeezing it: its end has the colour 0.6 along the run.
    EXPECT_THAT(frame.rgb(bar.right - 2, row), RgbWithin(SRgb{195, 77, 13}, 25));
    const auto white = [](int r, int g, int b) { return std::min({r, g, b}) > 200; };
    EXPECT_GT(frame.count({left + full, 0, W, H / 4}, white), 40u);
    EXPECT_EQ(frame.count({0, H / 4, W, H}, white), 0u);
}

// A death's "-750" over the ship: queued while the play's page shows; once the pause menu has
// taken the page's place it is not, and it keeps its time and colour for the return.
TEST_F(BossMeterPicture, TheScorePopupsAreDrawnOnlyWhileTheHudPageIsOnScreen) {
    buildLangDir();
    stringTablesInit();
    ASSERT_EQ(stringTableLoad("All"), 1u);
    setUpCameraBlenders();
    viewCamera()->setPositionLookingAt(ClVec3(0, 100, 100), ClVec3(0, 0, 0));
    ClWidget* page = createWidget("InGame");
    createWidget("Score", page);
    resetPlayerStates();
    SScorePopup* popup = takeScorePopup();
    popup->kind = E_POPUP_DEATH_PENALTY;
    popup->lifetime = 4.0f;
    popup->textId = crc32TextNoCase("bonus_text_death");
    popup->value = -750;
    setPopupColour(popup, 0xFF2060FFu);
    setPopupPath(popup, ClVec3(), ClVec3(), 2.29f);
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0f);  // paused

    beginBatchFrame();
    u32 before = spriteQueueCount();
    updateScoreHud();
    EXPECT_GT(spriteQueueCount(), before) << "the page on screen";
    page->setVisibleQuietly(false);
    before = spriteQueueCount();
    updateScoreHud();
    EXPECT_EQ(spriteQueueCount(), before) << "the pause menu in its place";
    finishFrame();
    EXPECT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(popup->colour.current, 0xFF2060FFu);
    releaseCameraBlenders();
    stringTablesShutdown();
}

}  // namespace
