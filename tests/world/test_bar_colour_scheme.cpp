#include <gtest/gtest.h>

#include "audio/analysis/spawn_bars.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "render/scene_inputs.h"
#include "render/shader.h"
#include "tests/world/atom_test_support.h"
#include "world/effects/backdrop.h"
#include "world/effects/equaliser_cell.h"
#include "world/services/bar_colour_scheme.h"
#include "world/processors/beat_subscribers.h"

#include <array>
#include <cmath>
#include <utility>

namespace {

std::array<f32, 4> globalValue(const char* name) {
    const SShaderGlobal* global = findShaderGlobal(name);
    if (!global) return {-1, -1, -1, -1};
    return {global->values[0][0], global->values[0][1], global->values[0][2], global->values[0][3]};
}

std::array<f32, 4> colourFloats(u32 argb) {
    return {f32((argb >> 16) & 0xFF) / 255.0f, f32((argb >> 8) & 0xFF) / 255.0f, f32(argb & 0xFF) / 255.0f,
            f32(argb >> 24) / 255.0f};
}

// The per-frame step publishes into effect constants that the registered effects declare.
class BarShaderConstants : public NullDrawTest {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        g_aGameClocks[GAME_CLOCK_GAMEPLAY] = SGameClock{0.0f, 0.0};
        // A released backdrop keeps the last song's intensity, which picks the preset: start
        // from a backdrop at rest, as a song does.
        resetSongAnalysis();
        resetBeatAnalysis();
        resetBeatSubscriptions();
        resetBackdrop();
    }
    void TearDown() override {
        g_aGameClocks[GAME_CLOCK_GAMEPLAY] = SGameClock{0.0f, 0.0};
        setWaterClearColour(0);
        releaseBackdrop();
        releaseSongAnalysis();
        releaseBeatAnalysis();
        NullDrawTest::TearDown();
    }
    void frame(f32 dt) {
        setClockDelta(GAME_CLOCK_GAMEPLAY, dt);
        applyBarShaderConstants();
    }
};

}  // namespace

TEST(BarColourScheme, TheFirstThresholdAboveTheIntensityPicksThePreset) {
    const struct {
        f32 intensity;
        s32 preset;
    } rows[] = {{0.0f, 0}, {0.2599f, 0}, {0.26f, 2}, {0.6f, 1}, {1.99f, 1}, {2.0f, -1}};
    for (const auto& row : rows) EXPECT_EQ(barColourPresetForIntensity(row.intensity), row.preset) << row.intensity;
}

TEST(BarColourScheme, ASwitchFadesEveryEntryFromItsCurrentValue) {
    initBarColourScheme();
    switchBarColourPreset(2, 1.0f);
    g_BarColourScheme.colour(9).advance(0.5f);
    // Half way from 0xFFA0F0FF to 0xFF201050.
    EXPECT_EQ(g_uBarColourPresetIndex, 2u);
    EXPECT_EQ(g_BarColourScheme.colour(9).current, 0xFF607FA7u);
    // Restarted half way: the fade begins where the first one stood.
    switchBarColourPreset(1, 1.0f);
    EXPECT_EQ(g_BarColourScheme.colour(9).colourA, 0xFF607FA7u);
    g_BarColourScheme.intEntry(13).advance(1.0f);
    g_BarColourScheme.floatEntry(6).advance(0.25f);
    EXPECT_EQ(g_BarColourScheme.intEntry(13).current, 254);
    EXPECT_EQ(g_BarColourScheme.floatEntry(6).current, 17.0f);
}

// Start-up values, lights circling with the gameplay clock, noise scales following the screen, then
// a preset reached half a second after its switch.
TEST_F(BarShaderConstants, PublishedValuesFollowTheClockTheScreenAndThePreset) {
    frame(0.0f);
    EXPECT_EQ(globalValue("g_v4BarEnemyCore1"), colourFloats(0x0080C0FF));
    EXPECT_EQ(globalValue("g_v4TriEnemy1Med"), colourFloats(0xFF10106F));
    EXPECT_EQ(globalValue("g_v4TriPlayer1Dark"), colourFloats(0xFF908000));
    EXPECT_EQ(globalValue("g_v4BarEnemyCore2"), colourFloats(0));
    // No intensity keeps preset 0.
    EXPECT_EQ(waterClearColour(), 0x00010420u);
    EXPECT_EQ(g_uBarColourPresetIndex, 0u);
    const std::array<f32, 4> spec1 = globalValue("g_v3Spec1Pos");
    EXPECT_EQ(globalValue("g_v3Spec0Pos"), (std::array<f32, 4>{400.0f, 100.0f, 200.0f, 0.0f}));
    for (auto [got, want] : {std::pair{spec1[0], -200.0f}, {spec1[1], -100.0f}, {spec1[2], 200.0f}})
        EXPECT_NEAR(got, want, 1e-4f);
    frame(f32(M_PI / 2));
    EXPECT_NEAR(globalValue("g_v3Spec0Pos")[2], 500.0f, 1e-3f);
    EXPECT_NEAR(globalValue("g_v2ScreenSpaceNoiseOffset1")[1], 0.380511f * f32(M_PI / 2), 1e-5f);

    // A loud song: intensity 0.8^1.732 = 0.679 once the backdrop has followed it, which asks
    // for preset 1.
    g_SongFeatures.bars.push(SSpawnBar{0, 0, 0, 0, 0, 0, 0.8f});
    setSongTime(0.0f);
    updateBackdrop();
    updateBackdrop();
    ASSERT_NEAR(getBackdropIntensity(), 0.672f, 0.001f);
    frame(0.125f);
    EXPECT_EQ(g_uBarColourPresetIndex, 1u);
    EXPECT_EQ(globalValue("g_v4BarEnemyCore1"), colourFloats(0x0080C0FF)) << "published before the switch";
    for (int i = 0; i < 3; ++i) frame(0.125f);
    EXPECT_NE(globalValue("g_v4BarEnemyCore1"), colourFloats(0x00F0D060));
    frame(0.125f);
    EXPECT_EQ(globalValue("g_v4BarEnemyCore1"), colourFloats(0x00F0D060));
    EXPECT_EQ(waterClearColour(), 0x001C0000u);
}

TEST(EqualiserCell, HundredBandsGiveTheWorkedPositionsAndZeroBandsCountAsOne) {
    ClVec3 cell(9.0f, 9.0f, 9.0f, 7.0f);
    EXPECT_EQ(getEqCellPosition(&cell, 0, 0, 100), &cell);
    EXPECT_EQ(cell.x, 1.6575f);
    EXPECT_EQ(cell.w, 7.0f);
    getEqCellPosition(&cell, 99, 13, 100);
    EXPECT_EQ(cell.x, 323.4075f);
    EXPECT_EQ(cell.y, 51.07143f);
    getEqCellPosition(&cell, 0, 1, 0);
    EXPECT_EQ(cell.x, f32(325.0 * f64(1.02f) * 0.5));
    EXPECT_EQ(cell.y, f32(55.0 / 14.0));
}
