// Display modes and the choice of the resolution the window and device are made for.
#pragma once

#include "core/types.h"

#include <vector>

struct SDisplayMode {
    u32 width = 0;
    u32 height = 0;
    u32 refreshHz = 0;
    u32 bitsPerPixel = 0;           // 16 or 32
    s32 aspectClass = 6;
};

struct SDisplayModeSet {
    std::vector<SDisplayMode> all;
    std::vector<SDisplayMode> unique;
    SDisplayMode best32;
    SDisplayMode selected32;
    u32 screenWidth = 0;
    u32 screenHeight = 0;
};

// 0 (wider than 1.82:1) to 4 (wider than 1.29:1); 6 for anything narrower. Stored in the record.
s32 computeAspectClass(SDisplayMode* mode);
// Appends every landscape mode (width / height >= 1) with its aspect class.
void addDisplayMode(SDisplayModeSet& set, u32 width, u32 height, u32 refreshHz, u32 bitsPerPixel);
// Drops modes larger than the screen or portrait, and picks the best 32-bit mode.
void chooseBestModes(SDisplayModeSet& set);
// Selects the 32-bit mode of exactly that size with the highest refresh rate; true when a mode of
// that size (of either depth) exists.
bool findDisplayMode(SDisplayModeSet& set, u32 width, u32 height);
// The tallest 16:9 32-bit mode between 0.55 and 0.9 of the height; width and height stay without one.
void chooseWindowedResolution(const SDisplayModeSet& set, u32* width, u32* height);
// One 32-bit record per size, preferring 60 Hz, then 59 Hz, else the last of that size.
void buildUniqueModes(SDisplayModeSet& set);
// Sorts the unique modes by aspect class, then height descending; returns the index of the last
// one of the selected 32-bit size (0 when none).
u32 sortUniqueModes(SDisplayModeSet& set);
// The size of a RESOLUTION code; false for an unknown code.
bool resolutionForCode(s32 code, bool emulateWideScreen, u32* width, u32* height);

// The settings that steer the choice, as read from project.ini and the display-option table.
struct SResolutionSettings {
    bool fullScreen = false;
    u32 savedWidth = 0;             // 0: no saved resolution
    u32 savedHeight = 0;
    s32 resolutionCode = 0;
    bool emulateWideScreen = false;
    s32 hardForcedWidth = 0;
    s32 hardForcedHeight = 0;
};

struct SResolutionChoice {
    bool haveMode = false;          // false: the no-mode box
    SDisplayMode mode;              // the mode the device is created in
    u32 width = 0;                  // the window's size
    u32 height = 0;
    bool resolutionCodeGiven = false;
};

// Runs the whole choice over the set's modes and screen size.
SResolutionChoice chooseResolution(SDisplayModeSet& set, const SResolutionSettings& settings);

// A display setting: project.ini's integer when the key is present, else the display-option slot
// of that name (0 when the table lacks it).
s32 readDisplaySetting(const char* name);
// FULLSCREEN by that rule, as a flag (> 0).
bool displayFullScreen();
// V-sync wanted: with NOVSYNC in project.ini exactly when it is 0, else the VSYNC slot.
bool vsyncWanted();
SResolutionSettings readResolutionSettings();
// Copies the saved options' full-screen, v-sync and resolution words into the display-option slots.
void copySavedDisplayOptions();
