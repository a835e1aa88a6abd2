// The choice of display mode and resolution, and the display settings it reads.
#include "core/config.h"
#include "core/global_objects.h"
#include "core/saved_options.h"
#include "render/display_modes.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A desktop of the given size offering the listed {width, height, hz, bits} modes.
SDisplayModeSet desktop(u32 width, u32 height, std::initializer_list<std::array<u32, 4>> modes = {}) {
    SDisplayModeSet set;
    set.screenWidth = width;
    set.screenHeight = height;
    for (const auto& m : modes) addDisplayMode(set, m[0], m[1], m[2], m[3]);
    return set;
}

std::string size(const SResolutionChoice& c) {
    return std::to_string(c.mode.width) + "x" + std::to_string(c.mode.height);
}

TEST(DisplayModes, UniqueModesPreferSixtyHertzThenFiftyNineElseTheLast) {
    SDisplayModeSet set = desktop(1920, 1080, {{1280, 720, 59, 32}, {1280, 720, 60, 32}, {1280, 720, 75, 32}, {1024, 768, 75, 32},
                                               {1024, 768, 59, 32}, {800, 600, 72, 32}, {800, 600, 85, 32}, {640, 480, 60, 16}});
    buildUniqueModes(set);
    ASSERT_EQ(set.unique.size(), 3u);
    EXPECT_EQ(set.unique[0].refreshHz, 60u) << "1280x720 has 60 Hz";
    EXPECT_EQ(set.unique[1].refreshHz, 59u) << "1024x768 has 59 Hz but not 60";
    EXPECT_EQ(set.unique[2].refreshHz, 85u) << "800x600 takes its last";
}

TEST(DisplayModes, PortraitAndOversizedModesAreNeverListedSoNoModeRemains) {
    // The last is landscape, but larger than the screen.
    SDisplayModeSet set = desktop(1080, 1920, {{1080, 1920, 60, 32}, {768, 1024, 60, 32}, {2560, 1440, 60, 32}});
    EXPECT_FALSE(chooseResolution(set, SResolutionSettings{}).haveMode);
    EXPECT_TRUE(set.all.empty());
}

TEST(DisplayModes, ResolutionCodesIncludingWideScreenEmulation) {
    auto code = [](u32 c, bool wide) {
        u32 w = 0, h = 0;
        return resolutionForCode(c, wide, &w, &h) ? std::to_string(w) + "x" + std::to_string(h) : "refused";
    };
    EXPECT_EQ(code(456, true), "832x456");
    EXPECT_EQ(code(456, false), "608x456");
    EXPECT_EQ(code(9001, false), "1440x900");
    EXPECT_EQ(code(720, false), "1280x720");
    EXPECT_EQ(code(721, false), "refused");
}

class ResolutionChoice : public ::testing::Test {
protected:
    void SetUp() override {
        m_set = desktop(1920, 1080);
        for (u32 hz : {60u, 75u})
            for (auto [w, h] : {std::pair{1920u, 1080u}, {1600u, 900u}, {1280u, 720u}, {1024u, 768u}}) addDisplayMode(m_set, w, h, hz, 32);
    }
    SDisplayModeSet m_set;
};

TEST_F(ResolutionChoice, FullScreenTakesTheScreenAndASavedResolutionWinsOverBoth) {
    SResolutionSettings settings;
    settings.fullScreen = true;
    const u32 screen = chooseResolution(m_set, settings).mode.width;
    std::tie(settings.savedWidth, settings.savedHeight) = std::tuple(1024u, 768u);
    const u32 saved = chooseResolution(m_set, settings).mode.width;
    settings.fullScreen = false;
    EXPECT_EQ(screen, 1920u);
    EXPECT_EQ(saved, 1024u);
    // A saved size skips the windowed choice.
    EXPECT_EQ(chooseResolution(m_set, settings).mode.width, 1024u);
}

// Without a saved size (zero slots), windowed takes the tallest 16:9 mode below nine tenths of
// the screen, at 60 Hz where the unique list has it.
TEST_F(ResolutionChoice, ZeroSavedSlotsChooseTheWindowedSizeAndCodesAndForcedSizesApplyLast) {
    SResolutionSettings settings;
    const SResolutionChoice windowed = chooseResolution(m_set, settings);
    EXPECT_TRUE(windowed.haveMode);
    EXPECT_EQ(windowed.width, 1600u);
    EXPECT_EQ(size(windowed), std::string("1600x900"));
    EXPECT_EQ(windowed.mode.refreshHz, 60u);
    settings.resolutionCode = 720;
    EXPECT_TRUE(chooseResolution(m_set, settings).resolutionCodeGiven);
    EXPECT_EQ(1280u, chooseResolution(m_set, settings).mode.width);
    std::tie(settings.hardForcedWidth, settings.hardForcedHeight) = std::tuple(333u, 222u);
    EXPECT_EQ(chooseResolution(m_set, settings).width, 333u);
    EXPECT_EQ(size(chooseResolution(m_set, settings)), std::string("333x222"));
}

TEST(DisplaySettings, AProjectKeyBeatsTheSavedSlotAndNoVsyncDecidesWhenPresent) {
    configClear();
    initDisplayOptionTable();
    g_SavedOptions = defaultSavedOptions();
    std::tie(g_SavedOptions.fullScreen, g_SavedOptions.resolutionWidth, g_SavedOptions.resolutionHeight) =
        std::tuple(1, 1280, 720);
    copySavedDisplayOptions();
    EXPECT_TRUE(displayFullScreen());
    EXPECT_TRUE(vsyncWanted());
    EXPECT_EQ(readResolutionSettings().savedWidth, 1280u);

    configSetValue("FULLSCREEN", "0");
    configSetValue("NOVSYNC", "1");
    EXPECT_FALSE(displayFullScreen());
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
