#include <gtest/gtest.h>

#include "world/bar_colour_scheme.h"
#include "world/equaliser_cell.h"

TEST(BarColourScheme, NewSchemeHasEveryEntrySwitchedOff) {
    static_assert(E_COLOURANIM_OFF == 0 && E_TWEEN_NONE == 0);
    const SBarColourScheme scheme;
    for (u32 entry = 0; entry < BAR_SCHEME_ENTRY_COUNT; ++entry) {
        const u32 kind = barSchemeEntryKind(entry);
        const s64 mode = kind == E_BARSCHEME_COLOUR  ? s64(scheme.colour(entry).mode)
                         : kind == E_BARSCHEME_FLOAT ? s64(scheme.floatEntry(entry).mode)
                                                     : s64(scheme.intEntry(entry).mode);
        EXPECT_EQ(mode, 0) << "entry " << entry;
    }
}

TEST(BarColourScheme, StartUpCopiesPresetZeroWhoseEntriesHoldTheirValues) {
    initBarColourScheme();
    EXPECT_EQ(g_uBarColourPresetIndex, 0u);
    EXPECT_EQ(g_BarColourScheme.colour(15).current, 0x0080C0FFu);
    EXPECT_EQ(g_BarColourScheme.floatEntry(2).value, 1.2496411f);
    EXPECT_EQ(g_BarColourScheme.intEntry(13).current, 254);
    EXPECT_EQ(g_BarColourScheme.intEntry(13).mode, s32(E_TWEEN_HOLD));
    EXPECT_EQ(g_BarColourScheme.eqLineColour().mode, u32(E_COLOURANIM_CONSTANT));
    EXPECT_EQ(g_aBarColourPresets[1].eqHighlightColour().current, 0x80FF3010u);
}

TEST(BarColourSchemeDeathTest, WrongKindEntryOrPresetStops) {
    SBarColourScheme scheme;
    EXPECT_EXIT(scheme.colour(26), ::testing::ExitedWithCode(3), "entry 26 is of kind");
    EXPECT_EXIT(scheme.intEntry(11), ::testing::ExitedWithCode(3), "entry 11 is of kind");
    EXPECT_EXIT(scheme.colour(BAR_SCHEME_ENTRY_COUNT), ::testing::ExitedWithCode(3), "does not exist");
    EXPECT_EXIT(setBarColourSchemePreset(&scheme, BAR_COLOUR_PRESET_COUNT), ::testing::ExitedWithCode(3),
                "preset [0-9]+ does not exist");
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
