// The choice of display mode and resolution, and the display settings it reads.
#include "core/config.h"
#include "core/global_objects.h"
#include "core/saved_options.h"
#include "render/display_modes.h"

#include <gtest/gtest.h>

namespace {

SDisplayModeSet desktop(u32 width, u32 height) {
    SDisplayModeSet set;
    set.screenWidth = width;
    set.screenHeight = height;
    return set;
}

TEST(DisplayModes, AspectClassesFollowTheWidthToHeightThresholds) {
    struct SCase {
        u32 width, height;
        s32 aspect;
    };
    for (const SCase& c : {SCase{2560, 1080, 0}, SCase{1920, 1080, 1}, SCase{1280, 800, 2}, SCase{1280, 854, 3},
                           SCase{1024, 768, 4}, SCase{1280, 1024, 6}, SCase{640, 480, 4}, SCase{1280, 720, 1}}) {
        SDisplayMode mode;
        mode.width = c.width;
        mode.height = c.height;
        EXPECT_EQ(computeAspectClass(&mode), c.aspect) << c.width << "x" << c.height;
    }
}

TEST(DisplayModes, UniqueModesPreferSixtyHertzThenFiftyNineElseTheLast) {
    SDisplayModeSet set = desktop(1920, 1080);
    addDisplayMode(set, 1280, 720, 59, 32);
    addDisplayMode(set, 1280, 720, 60, 32);
    addDisplayMode(set, 1280, 720, 75, 32);
    addDisplayMode(set, 1024, 768, 75, 32);
    addDisplayMode(set, 1024, 768, 59, 32);
    addDisplayMode(set, 800, 600, 72, 32);
    addDisplayMode(set, 800, 600, 85, 32);
    addDisplayMode(set, 640, 480, 60, 16);
    buildUniqueModes(set);
    ASSERT_EQ(set.unique.size(), 3u);
    EXPECT_EQ(set.unique[0].refreshHz, 60u);
    EXPECT_EQ(set.unique[1].refreshHz, 59u);
    EXPECT_EQ(set.unique[2].refreshHz, 85u);
}

TEST(DisplayModes, PortraitAndOversizedModesAreNeverListedSoNoModeRemains) {
    SDisplayModeSet set = desktop(1080, 1920);
    addDisplayMode(set, 1080, 1920, 60, 32);
    addDisplayMode(set, 768, 1024, 60, 32);
    addDisplayMode(set, 2560, 1440, 60, 32);  // landscape, but larger than the screen
    const SResolutionChoice choice = chooseResolution(set, SResolutionSettings{});
    EXPECT_FALSE(choice.haveMode);
    EXPECT_TRUE(set.all.empty());
}

TEST(DisplayModes, ResolutionCodesIncludingWideScreenEmulation) {
    u32 w = 0, h = 0;
    ASSERT_TRUE(resolutionForCode(456, true, &w, &h));
    EXPECT_EQ(w, 832u);
    ASSERT_TRUE(resolutionForCode(456, false, &w, &h));
    EXPECT_EQ(w, 608u);
    ASSERT_TRUE(resolutionForCode(9001, false, &w, &h));
    EXPECT_EQ(w, 1440u);
    EXPECT_EQ(h, 900u);
    ASSERT_TRUE(resolutionForCode(720, false, &w, &h));
    EXPECT_EQ(w, 1280u);
    EXPECT_FALSE(resolutionForCode(721, false, &w, &h));
}

class ResolutionChoice : public ::testing::Test {
protected:
    void SetUp() override {
        m_set = desktop(1920, 1080);
        for (u32 hz : {60u, 75u}) {
            addDisplayMode(m_set, 1920, 1080, hz, 32);
            addDisplayMode(m_set, 1600, 900, hz, 32);
            addDisplayMode(m_set, 1280, 720, hz, 32);
            addDisplayMode(m_set, 1024, 768, hz, 32);
        }
    }
    SDisplayModeSet m_set;
};

TEST_F(ResolutionChoice, WindowedTakesTheTallestSixteenByNineModeBelowNineTenthsOfTheScreen) {
    const SResolutionChoice choice = chooseResolution(m_set, SResolutionSettings{});
    ASSERT_TRUE(choice.haveMode);
    EXPECT_EQ(choice.width, 1600u);
    EXPECT_EQ(choice.mode.width, 1600u);
    EXPECT_EQ(choice.mode.height, 900u);
    EXPECT_EQ(choice.mode.refreshHz, 60u) << "the unique list prefers 60 Hz";
}

TEST_F(ResolutionChoice, FullScreenTakesTheScreenAndASavedResolutionWinsOverBoth) {
    SResolutionSettings settings;
    settings.fullScreen = true;
    EXPECT_EQ(chooseResolution(m_set, settings).mode.width, 1920u);
    settings.savedWidth = 1024;
    settings.savedHeight = 768;
    EXPECT_EQ(chooseResolution(m_set, settings).mode.width, 1024u);
    settings.fullScreen = false;
    EXPECT_EQ(chooseResolution(m_set, settings).mode.width, 1024u) << "a saved size skips the windowed choice";
}

TEST_F(ResolutionChoice, ZeroSavedSlotsMeanNoResolutionAndCodesAndForcedSizesApplyLast) {
    SResolutionSettings settings;
    settings.savedWidth = 0;
    settings.savedHeight = 0;
    EXPECT_EQ(chooseResolution(m_set, settings).mode.width, 1600u);
    settings.resolutionCode = 720;
    SResolutionChoice choice = chooseResolution(m_set, settings);
    EXPECT_TRUE(choice.resolutionCodeGiven);
    EXPECT_EQ(choice.mode.width, 1280u);
    settings.hardForcedWidth = 333;
    settings.hardForcedHeight = 222;
    choice = chooseResolution(m_set, settings);
    EXPECT_EQ(choice.mode.width, 333u);
    EXPECT_EQ(choice.mode.height, 222u);
    EXPECT_EQ(choice.width, 333u);
}

TEST(DisplaySettings, AProjectKeyBeatsTheSavedSlotAndNoVsyncDecidesWhenPresent) {
    configClear();
    initDisplayOptionTable();
    g_SavedOptions = defaultSavedOptions();
    g_SavedOptions.fullScreen = 1;
    g_SavedOptions.resolutionWidth = 1280;
    g_SavedOptions.resolutionHeight = 720;
    copySavedDisplayOptions();
    EXPECT_TRUE(displayFullScreen());
    EXPECT_TRUE(vsyncWanted());
    EXPECT_EQ(readResolutionSettings().savedWidth, 1280u);

    configSetValue("FULLSCREEN", "0");
    EXPECT_FALSE(displayFullScreen());
    configSetValue("NOVSYNC", "1");
    EXPECT_FALSE(vsyncWanted());
    configSetValue("NOVSYNC", "0");
    g_SavedOptions.verticalSync = 0;
    copySavedDisplayOptions();
    EXPECT_TRUE(vsyncWanted()) << "NOVSYNC 0 wants v-sync whatever the save says";

    g_SavedOptions = defaultSavedOptions();
    releaseDisplayOptionTable();
    configClear();
}

}  // namespace
