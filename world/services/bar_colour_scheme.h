// The colour scheme of the game world: 34 animated entries (colours, floats and two integers)
// that the atoms, the backdrop, the equaliser display, the particles and the ambient light read
// by their current value, and the preset schemes the current one is built from.
#pragma once

#include "core/colour_animator.h"
#include "core/types.h"
#include "render/tween.h"

enum EBarSchemeEntryKind : u32 {
    E_BARSCHEME_COLOUR = 0,
    E_BARSCHEME_FLOAT = 1,
    E_BARSCHEME_INT = 2,
};

constexpr u32 BAR_SCHEME_ENTRY_COUNT = 34;
constexpr u32 BAR_SCHEME_COLOUR_COUNT = 29;
constexpr u32 BAR_SCHEME_FLOAT_COUNT = 3;
constexpr u32 BAR_SCHEME_INT_COUNT = 2;
constexpr u32 BAR_COLOUR_PRESET_COUNT = 3;

// Entries read by name outside the scheme.
constexpr u32 E_BARSCHEME_WATER_COLOUR = 0;  // also the backdrop rings and the boss meter
constexpr u32 E_BARSCHEME_AMBIENT_COLOUR = 1;
constexpr u32 E_BARSCHEME_STREAK_COLOUR = 19;
constexpr u32 E_BARSCHEME_STREAK_TAIL_COLOUR = 20;
constexpr u32 E_BARSCHEME_BACKDROP_BAR_COLOUR = 23;
constexpr u32 E_BARSCHEME_ENEMY_CORE_COLOUR = 15;  // also the first boss's core-to-arm lines
constexpr u32 E_BARSCHEME_SPARK_COLOUR = 16;

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
    SIntTween& intEntry(u32 entry);

    SColourAnimator& eqLineColour() { return colour(E_BARSCHEME_EQ_LINE_COLOUR); }
    SColourAnimator& eqGlowLineColour() { return colour(E_BARSCHEME_EQ_GLOW_LINE_COLOUR); }
    SColourAnimator& eqCellColour() { return colour(E_BARSCHEME_EQ_CELL_COLOUR); }
    SColourAnimator& eqHighlightColour() { return colour(E_BARSCHEME_EQ_HIGHLIGHT_COLOUR); }
    SFloatTween& eqHighlightSize() { return floatEntry(E_BARSCHEME_EQ_HIGHLIGHT_SIZE); }
};

// The scheme everything reads, the presets, and the preset the current scheme heads for. The
// world changes the scheme; the layers above read it through barColourScheme().
extern SBarColourScheme g_BarColourScheme;
inline const SBarColourScheme& barColourScheme() { return g_BarColourScheme; }
extern SBarColourScheme g_aBarColourPresets[BAR_COLOUR_PRESET_COUNT];
extern u32 g_uBarColourPresetIndex;

// Every entry of the scheme held constant at the preset's value. A preset number of
// BAR_COLOUR_PRESET_COUNT or more is fatal.
void setBarColourSchemePreset(SBarColourScheme* scheme, u32 preset);

// Start-up: writes the presets, makes the current scheme a copy of preset 0, preset index 0.
void initBarColourScheme();

// Fades every entry of the current scheme from its current value to the preset's, linearly over
// `seconds`, and makes the preset the one the scheme heads for.
void switchBarColourPreset(u32 preset, f32 seconds);

// The preset the intensity asks for: that of the first threshold above it, in the order
// (0.26: preset 0), (0.6: preset 2), (2.0: preset 1); -1 when none is above it.
s32 barColourPresetForIntensity(f32 intensity);

// Once a frame, in play and in the front end alike: advances the scheme by the gameplay clock's
// step, publishes the bar and triangle effects' constants, the water clear colour and the ambient
// light's base colour, and fades to another preset when the backdrop's intensity asks for one.
// The effects must be registered (their constants are set by name).
void applyBarShaderConstants();
