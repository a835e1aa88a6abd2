// The player's saved options, kept in the save file.
#pragma once

#include "core/types.h"

struct SSavedOptions {
    u32 waterReflection;      // 0 off
    u32 bloom;                // 0 off, 1 on
    u32 inputLagReduction;    // 0 off, 1 on
    u32 fullScreen;
    u32 verticalSync;
    u32 resolutionWidth;      // 0: none saved
    u32 resolutionHeight;
    u32 audioLog;             // non-zero: the codec layer writes the audio log
    f32 controllerSensitivity;        // 0 to 10, 5 normal
    f32 interfacePointerSensitivity;  // the pointer in the menus, 0 to 10
    f32 inGamePointerSensitivity;     // the pointer in play, 0 to 10
    s32 ambientLayout;
    u32 latchedFire;
    u32 animatedLines;  // 0 whole mesh edges ("option_line_val_simple"), 1 glints running along them ("option_line_val_anim")
};

// The layers above read the options through savedOptions() and change them only through the
// setters below.
extern SSavedOptions g_SavedOptions;

inline const SSavedOptions& savedOptions() { return g_SavedOptions; }

// All options at once, as read from the save file.
void setSavedOptions(const SSavedOptions& options);
void setWaterReflection(bool on);
void setAmbientLayout(s32 layout);

// The options of a first run.
SSavedOptions defaultSavedOptions();
