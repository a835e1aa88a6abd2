#include "input/ambient_light.h"

#include "core/fatal_error.h"

namespace {
s32 g_iAmbientMode = E_AMBIENT_FRONT_END;
}  // namespace

bool initAmbientLighting(const char16_t*, const char16_t*, f32, s32) { return false; }

void shutdownAmbientLighting() {}

bool ambientLightingPresent() { return false; }

void updateAmbientLighting() {}

void setAmbientMode(s32 mode) {
    if (mode < E_AMBIENT_FRONT_END || mode > E_AMBIENT_BOSS_METER) fatalErrorf("ambient light mode %d out of range", mode);
    g_iAmbientMode = mode;
}

s32 getAmbientMode() { return g_iAmbientMode; }

void suspendAmbientEffects() {}

void resumeAmbientEffects() {}
