#include "world/services/bar_colour_scheme.h"

#include "core/fatal_error.h"

namespace {

// One entry of every preset: packed ARGB colours and integers in `word`, floats in `number`.
struct SBarSchemeRow {
    EBarSchemeEntryKind kind;
    u32 word[BAR_COLOUR_PRESET_COUNT];
    f32 number[BAR_COLOUR_PRESET_COUNT];
};

constexpr EBarSchemeEntryKind C = E_BARSCHEME_COLOUR;
constexpr EBarSchemeEntryKind F = E_BARSCHEME_FLOAT;
constexpr EBarSchemeEntryKind I = E_BARSCHEME_INT;

constexpr SBarSchemeRow kRows[BAR_SCHEME_ENTRY_COUNT] = {
    {C, {0x00010420, 0x001C0000, 0x00100020}, {}},      // 0 clear colour of the water, backdrop rings, boss meter
    {C, {0xFF0000CD, 0xFFFF4500, 0xFF9400D3}, {}},      // 1 ambient light
    {F, {}, {1.2496411f, 1.2496411f, 1.2496411f}},      // 2
    {C, {0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00}, {}},      // 3
    {C, {0x00FF6030, 0x00FF6030, 0x00FF6030}, {}},      // 4 g_v4BarPlayerCore1
    {C, {0x00201208, 0x00201208, 0x00201208}, {}},      // 5 g_v4BarPlayerCorona1
    {F, {}, {18.0f, 14.0f, 18.0f}},                     // 6
    {C, {0xFF10106F, 0xFF601010, 0xFF201050}, {}},      // 7 g_v4TriEnemy1Med
    {C, {0x001030B0, 0x00A02810, 0x00602880}, {}},      // 8
    {C, {0xFFA0F0FF, 0xFFA0F0FF, 0xFF201050}, {}},      // 9
    {I, {240, 240, 240}, {}},                           // 10
    {C, {0xFFFF9020, 0xFFFF9020, 0xFFFF9020}, {}},      // 11 g_v4TriPlayer1Med
    {C, {0xFFD0D000, 0xFFD0D000, 0xFFD0D000}, {}},      // 12
    {I, {254, 254, 254}, {}},                           // 13
    {C, {0xFF000080, 0xFF000080, 0xFF000080}, {}},      // 14
    {C, {0x0080C0FF, 0x00F0D060, 0x0080D0F0}, {}},      // 15 g_v4BarEnemyCore1
    {C, {0x000020FF, 0x00902000, 0x007040F0}, {}},      // 16 g_v4BarEnemyCorona1, edge sparks
    {C, {0x00F01000, 0x00F01000, 0x00F01000}, {}},      // 17 g_v4BarEnemyRed
    {C, {0x00F01000, 0x00F01000, 0x00F01000}, {}},      // 18 g_v4BarEnemyRedCorona
    {C, {0x408080FF, 0x40FF8008, 0x408F80FF}, {}},      // 19 backdrop streaks
    {C, {0x102040FF, 0x10FF4020, 0x108F40FF}, {}},      // 20 backdrop streaks
    {C, {0x084040FF, 0x08FF4004, 0x088F40FF}, {}},      // 21
    {C, {0x162040FF, 0x16FF4020, 0x168F40FF}, {}},      // 22
    {C, {0x084040FF, 0x08FF4000, 0x088F40FF}, {}},      // 23 backdrop bars
    {C, {0x120000FF, 0x10FF0000, 0x128F00FF}, {}},      // 24 mirror-lake water
    {C, {0x501060FF, 0x80FF3010, 0x808F30FF}, {}},      // 25 eqHighlightColour, particles
    {F, {}, {60.0f, 60.0f, 60.0f}},                     // 26 eqHighlightSize
    {C, {0x100000FF, 0x10F00000, 0x108000F0}, {}},      // 27 eqGlowLineColour, flashes
    {C, {0x00B0D0FF, 0x00FFD0A0, 0x008FD0FF}, {}},      // 28 eqCellColour
    {C, {0xFFD0D0FF, 0xFFF0D0A0, 0x8FF0D0A0}, {}},      // 29 eqLineColour
    {C, {0xFF60A0FF, 0xFFFFA060, 0xFF80A0FF}, {}},      // 30 flying notes
    {C, {0x204080F0, 0x20FF8040, 0x208040FF}, {}},      // 31 flying notes
    {C, {0xFFF0A000, 0xFF00F000, 0xFFF0A000}, {}},      // 32 flashes, flying notes, pickups
    {C, {0xFFF0A000, 0xFF00F000, 0xFFF0A000}, {}},      // 33 pickups
};

// Position of each entry in the array of its kind.
struct SSlotMap {
    u32 slot[BAR_SCHEME_ENTRY_COUNT];
    u32 perKind[3];
};

constexpr SSlotMap makeSlotMap() {
    SSlotMap map{};
    for (u32 entry = 0; entry < BAR_SCHEME_ENTRY_COUNT; ++entry) map.slot[entry] = map.perKind[kRows[entry].kind]++;
    return map;
}

constexpr SSlotMap kSlots = makeSlotMap();
static_assert(kSlots.perKind[E_BARSCHEME_COLOUR] == BAR_SCHEME_COLOUR_COUNT);
static_assert(kSlots.perKind[E_BARSCHEME_FLOAT] == BAR_SCHEME_FLOAT_COUNT);
static_assert(kSlots.perKind[E_BARSCHEME_INT] == BAR_SCHEME_INT_COUNT);

u32 slotOf(u32 entry, EBarSchemeEntryKind kind) {
    if (barSchemeEntryKind(entry) != kind)
        fatalErrorf("colour scheme entry %u is of kind %u, not %u", entry, kRows[entry].kind, kind);
    return kSlots.slot[entry];
}

// Preset index and the intensity it holds below, in the order they are tried.
struct SPresetThreshold {
    f32 intensity;
    u32 preset;
};
constexpr SPresetThreshold kPresetThresholds[] = {{0.26f, 0}, {0.6f, 2}, {2.0f, 1}};

}  // namespace

SBarColourScheme g_BarColourScheme;
SBarColourScheme g_aBarColourPresets[BAR_COLOUR_PRESET_COUNT];
u32 g_uBarColourPresetIndex = 0;

EBarSchemeEntryKind barSchemeEntryKind(u32 entry) {
    if (entry >= BAR_SCHEME_ENTRY_COUNT) fatalErrorf("colour scheme entry %u does not exist", entry);
    return kRows[entry].kind;
}

SColourAnimator& SBarColourScheme::colour(u32 entry) { return colours[slotOf(entry, E_BARSCHEME_COLOUR)]; }
const SColourAnimator& SBarColourScheme::colour(u32 entry) const {
    return colours[slotOf(entry, E_BARSCHEME_COLOUR)];
}
SFloatTween& SBarColourScheme::floatEntry(u32 entry) { return floats[slotOf(entry, E_BARSCHEME_FLOAT)]; }
SIntTween& SBarColourScheme::intEntry(u32 entry) { return ints[slotOf(entry, E_BARSCHEME_INT)]; }

void setBarColourSchemePreset(SBarColourScheme* scheme, u32 preset) {
    if (preset >= BAR_COLOUR_PRESET_COUNT) fatalErrorf("colour scheme preset %u does not exist", preset);
    for (u32 entry = 0; entry < BAR_SCHEME_ENTRY_COUNT; ++entry) {
        const SBarSchemeRow& row = kRows[entry];
        switch (row.kind) {
            case E_BARSCHEME_COLOUR:
                scheme->colour(entry).setConstant(row.word[preset]);
                break;
            case E_BARSCHEME_FLOAT: {
                SFloatTweenDesc hold{};
                hold.mode = E_TWEEN_HOLD;
                hold.end = row.number[preset];
                scheme->floatEntry(entry).start(hold);
                break;
            }
            case E_BARSCHEME_INT: {
                SIntTweenDesc hold{};
                hold.mode = E_TWEEN_HOLD;
                hold.end = s32(row.word[preset]);
                scheme->intEntry(entry).start(hold);
                break;
            }
        }
    }
}

void initBarColourScheme() {
    for (u32 preset = 0; preset < BAR_COLOUR_PRESET_COUNT; ++preset)
        setBarColourSchemePreset(&g_aBarColourPresets[preset], preset);
    g_BarColourScheme = g_aBarColourPresets[0];
    g_uBarColourPresetIndex = 0;
}

void switchBarColourPreset(u32 preset, f32 seconds) {
    if (preset >= BAR_COLOUR_PRESET_COUNT) fatalErrorf("colour scheme preset %u does not exist", preset);
    for (u32 entry = 0; entry < BAR_SCHEME_ENTRY_COUNT; ++entry) {
        const SBarSchemeRow& row = kRows[entry];
        switch (row.kind) {
            case E_BARSCHEME_COLOUR: {
                SColourAnimator& colour = g_BarColourScheme.colour(entry);
                const SColourAnimatorStart fade = {colour.tag, E_COLOURANIM_FADE, E_COLOURANIM_EASE_LINEAR,
                                                   colour.current, row.word[preset], 0.0f, 0.0f, seconds, 1};
                colour.start(fade);
                break;
            }
            case E_BARSCHEME_FLOAT: {
                SFloatTween& number = g_BarColourScheme.floatEntry(entry);
                const SFloatTweenDesc fade = {number.tag, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, number.current,
                                              row.number[preset], 0.0f, 0.0f, seconds, 1};
                number.start(fade);
                break;
            }
            case E_BARSCHEME_INT: {
                SIntTween& integer = g_BarColourScheme.intEntry(entry);
                const SIntTweenDesc fade = {integer.tag, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, integer.current,
                                            s32(row.word[preset]), 0.0f, 0.0f, seconds, 1};
                integer.start(fade);
                break;
            }
        }
    }
    g_uBarColourPresetIndex = preset;
}

s32 barColourPresetForIntensity(f32 intensity) {
    for (const SPresetThreshold& threshold : kPresetThresholds) {
        if (threshold.intensity > intensity) return s32(threshold.preset);
    }
    return -1;
}
