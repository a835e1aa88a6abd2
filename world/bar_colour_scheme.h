// The colour scheme of the game world: 34 animated entries (colours, floats and two integers)
// that the atoms, the backdrop, the equaliser display, the particles and the ambient light read
// by their current value, and the preset schemes the current one is built from.
#pragma once

#include "core/colour_animator.h"
#include "core/types.h"
#include "render/float_tween.h"

// The integer twin of SFloatTween. Its field order mirrors the float tween's.
struct SIntTween {
    f32 exponent = 0.0f;
    u32 tag = 0;
    s32 mode = E_TWEEN_NONE;
    s32 curve = 0;
    s32 start = 0;
    s32 end = 0;
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    u32 running = 0;
    s32 range = 0;
    f32 step = 0.0f;
    s32 current = 0;
    f32 time = 0.0f;
    u32 stop = 0;
};

enum EBarSchemeEntryKind : u32 {
    E_BARSCHEME_COLOUR = 0,
    E_BARSCHEME_FLOAT = 1,
    E_BARSCHEME_INT = 2,
};

constexpr u32 BAR_SCHEME_ENTRY_COUNT = 34;
constexpr u32 BAR_SCHEME_COLOUR_COUNT = 29;
constexpr u32 BAR_SCHEME_FLOAT_COUNT = 3;
constexpr u32 BAR_SCHEME_INT_COUNT = 2;
constexpr u32 BAR_COLOUR_PRESET_COUNT = 2;

// Entries the equaliser display reads. eqCellColour keeps its alpha byte at 0 in every preset,
// because the display ORs its row alpha into it.
constexpr u32 E_BARSCHEME_EQ_HIGHLIGHT_COLOUR = 25;
constexpr u32 E_BARSCHEME_EQ_HIGHLIGHT_SIZE = 26;
constexpr u32 E_BARSCHEME_EQ_GLOW_LINE_COLOUR = 27;
constexpr u32 E_BARSCHEME_EQ_CELL_COLOUR = 28;
constexpr u32 E_BARSCHEME_EQ_LINE_COLOUR = 29;

// Kind of an entry; an entry number of BAR_SCHEME_ENTRY_COUNT or more is fatal.
EBarSchemeEntryKind barSchemeEntryKind(u32 entry);

// Entries are numbered 0 to 33 in their fixed order and kept in one array per kind; the accessors
// take the entry number and stop the program when the entry is of another kind. A new scheme has
// every entry switched off.
struct SBarColourScheme {
    SColourAnimator colours[BAR_SCHEME_COLOUR_COUNT];
    SFloatTween floats[BAR_SCHEME_FLOAT_COUNT];
    SIntTween ints[BAR_SCHEME_INT_COUNT];

    SColourAnimator& colour(u32 entry);
    const SColourAnimator& colour(u32 entry) const;
    SFloatTween& floatEntry(u32 entry);
    const SFloatTween& floatEntry(u32 entry) const;
    SIntTween& intEntry(u32 entry);
    const SIntTween& intEntry(u32 entry) const;

    SColourAnimator& eqLineColour() { return colour(E_BARSCHEME_EQ_LINE_COLOUR); }
    SColourAnimator& eqGlowLineColour() { return colour(E_BARSCHEME_EQ_GLOW_LINE_COLOUR); }
    SColourAnimator& eqCellColour() { return colour(E_BARSCHEME_EQ_CELL_COLOUR); }
    SColourAnimator& eqHighlightColour() { return colour(E_BARSCHEME_EQ_HIGHLIGHT_COLOUR); }
    SFloatTween& eqHighlightSize() { return floatEntry(E_BARSCHEME_EQ_HIGHLIGHT_SIZE); }
};

// The scheme everything reads, the presets, and the preset the current scheme heads for.
extern SBarColourScheme g_BarColourScheme;
extern SBarColourScheme g_aBarColourPresets[BAR_COLOUR_PRESET_COUNT];
extern u32 g_uBarColourPresetIndex;

// Every entry of the scheme held constant at the preset's value. A preset number of
// BAR_COLOUR_PRESET_COUNT or more is fatal.
void setBarColourSchemePreset(SBarColourScheme* scheme, u32 preset);

// Start-up: writes the presets, makes the current scheme a copy of preset 0, preset index 0.
void initBarColourScheme();
