// Light effects on ambient peripherals: the layer over the runtime (its worker thread, one set of
// lights for the chosen layout, colours with fade times, switching effects off and on, the
// runtime's periodic update) and the five effect modes that follow the game. Without a runtime,
// the case on Linux, every call does nothing and answers 0. Main thread only, but for the worker.
#pragma once

#include "core/types.h"

enum EAmbientMode : s32 {
    E_AMBIENT_NONE = -1,
    E_AMBIENT_FRONT_END = 0,
    E_AMBIENT_PLAY = 1,
    E_AMBIENT_PAUSED = 2,
    E_AMBIENT_PLAY_STROBE = 3,
    E_AMBIENT_BOSS_METER = 4,
};

constexpr u32 AMBIENT_MAX_LIGHTS = 9;
constexpr u32 AMBIENT_DEFAULT_SHUTDOWN_WAIT_MS = 1000;

// --- The layer -------------------------------------------------------------------------------

// Start-up with the application's title and version texts (null reads as empty), the update
// period in seconds and the runtime's update budget. False when no runtime is present.
bool initAmbientLighting(const char16_t* applicationName, const char16_t* versionText, f32 period, s32 budget);
// Lights to black, the worker stopped (waited for at most the given time), everything released.
void shutdownAmbientLighting(u32 waitMilliseconds = AMBIENT_DEFAULT_SHUTDOWN_WAIT_MS);
bool ambientLightingPresent();
// Once per frame from the tick, with the real-time frame step.
void updateAmbientLighting();
// Layouts 0-4 have 1, 2, 3, 6 and 9 lights. Other values, as from a damaged save, are ignored.
u32 setAmbientLightLayout(s32 layout);
s32 ambientLightLayout();
u32 setAmbientLightColour(u32 light, u32 packedColour, f32 fadeSeconds);
u32 setAllAmbientLightColours(s32 count, u32 packedColour, f32 fadeSeconds);
u32 disableAmbientEffects();
u32 enableAmbientEffects();
u32 suspendAmbientEffects();
void resumeAmbientEffects();
bool ambientEffectsEnabled();
f32 ambientUpdatePeriod();

// --- The modes -------------------------------------------------------------------------------

// Selects mode 0 to 4 while effects are enabled and the mode differs; a value outside -1..4 is a
// programming error that stops the program.
void setAmbientMode(s32 mode);
void reapplyAmbientMode();
u32 requestAmbientFlash(u32 packedColour);
u32 beginAmbientCharge(u32 owner, u32 packedColour);
u32 setAmbientChargeLevel(u32 owner, f32 level);
u32 endAmbientCharge(u32 owner);
// The meter level the boss-meter mode shows at its next rebuild (0..1).
void postAmbientMeterLevel(f32 level);
// The colour play modes show as their base: the world pushes its scheme's entry each frame.
void setAmbientBaseColour(u32 packedColour);
// Mode state back to none, keeping the base colour.
void resetAmbientEffects();
// One frame of the current mode; run by updateAmbientLighting while effects are enabled.
void updateAmbientEffects(f32 dt);
