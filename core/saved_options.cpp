#include "core/saved_options.h"

SSavedOptions defaultSavedOptions() {
    SSavedOptions options = {};
    options.waterReflection = 1;
    options.bloom = 1;
    options.inputLagReduction = 0;
    options.fullScreen = 0;
    options.verticalSync = 1;
    options.audioLog = 0;
    options.controllerSensitivity = 5.0f;
    options.interfacePointerSensitivity = 5.0f;
    options.inGamePointerSensitivity = 5.0f;
    options.ambientLayout = 0;
    options.latchedFire = 0;
    options.animatedLines = 1;
    return options;
}

SSavedOptions g_SavedOptions = defaultSavedOptions();

void setSavedOptions(const SSavedOptions& options) { g_SavedOptions = options; }

void setWaterReflection(bool on) { g_SavedOptions.waterReflection = on ? 1 : 0; }

void setAmbientLayout(s32 layout) { g_SavedOptions.ambientLayout = layout; }
