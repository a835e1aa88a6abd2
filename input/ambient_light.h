// Light effects on ambient peripherals. No such peripherals exist on this platform: the layer
// finds no runtime, and every effect call is then ignored, as on a machine without them.
#pragma once

#include "core/types.h"

enum EAmbientMode : s32 {
    E_AMBIENT_FRONT_END = 0,
    E_AMBIENT_PLAY = 1,
    E_AMBIENT_PAUSED = 2,
    E_AMBIENT_PLAY_STROBE = 3,
    E_AMBIENT_BOSS_METER = 4,
};

// Start-up with the application's title and version texts, the update period in seconds and
// the worker's count. False when no ambient runtime is present.
bool initAmbientLighting(const char16_t* applicationName, const char16_t* versionText, f32 period, s32 count);
void shutdownAmbientLighting();
bool ambientLightingPresent();
// Once per frame from the tick.
void updateAmbientLighting();
// Selects mode 0 to 4; any other value is a programming error that stops the program.
void setAmbientMode(s32 mode);
s32 getAmbientMode();
void suspendAmbientEffects();
void resumeAmbientEffects();
