// The scheme's once-a-frame step: the animated entries move on, and what the effects and the
// lower layers read of them is published.
#include "world/services/bar_colour_scheme.h"

#include <cmath>

#include "core/game_clock.h"
#include "input/ambient/ambient_light.h"
#include "render/render_device.h"
#include "render/scene_inputs.h"
#include "render/shader_globals.h"
#include "world/effects/backdrop.h"

namespace {

constexpr f32 PI = 3.14159265358979f;
constexpr f32 PRESET_FADE_SECONDS = 0.5f;

void advanceEntry(u32 entry, f32 dt) {
    switch (barSchemeEntryKind(entry)) {
        case E_BARSCHEME_COLOUR:
            g_BarColourScheme.colour(entry).advance(dt);
            break;
        case E_BARSCHEME_FLOAT:
            g_BarColourScheme.floatEntry(entry).advance(dt);
            break;
        case E_BARSCHEME_INT:
            g_BarColourScheme.intEntry(entry).advance(dt);
            break;
    }
}

struct SColourConstant {
    const char* name;
    u32 entry;
};
constexpr SColourConstant kSchemeConstants[] = {
    {"g_v4BarPlayerCore1", 4},  {"g_v4BarPlayerCorona1", 5},  {"g_v4TriPlayer1Med", 11},
    {"g_v4BarEnemyCore1", 15},  {"g_v4BarEnemyRed", 17},      {"g_v4BarEnemyCorona1", 16},
    {"g_v4BarEnemyRedCorona", 18}, {"g_v4TriEnemy1Med", 7},
};

struct SFixedColour {
    const char* name;
    u32 colour;
};
constexpr SFixedColour kFixedColours[] = {
    {"g_v4BarPlayerCore2", 0},           {"g_v4BarPlayerCorona2", 0},        {"g_v4BarEnemyCore2", 0},
    {"g_v4BarEnemyCorona2", 0},          {"g_v4TriPlayer1Dark", 0xFF908000}, {"g_v4TriPlayer1Lite", 0xFFD0A000},
    {"g_v4TriEnemy1Dark", 0xFF000030},   {"g_v4TriEnemy1Lite", 0xFF10105F},
};

void setFixedConstants() {
    setShaderGlobalVec3("g_v3LightDir", ClVec3(-1.0f, 1.0f, -1.0f).normalized());
    setShaderGlobalFloat("g_fLightAmb", 0.1f);
    setShaderGlobalVec3("g_v3LightPos", ClVec3(104.0f, 140.0f, 4.0f));
    setShaderGlobalFloat("g_fSpecExp", 10.0f);
    for (const SFixedColour& constant : kFixedColours) setShaderGlobalColour(constant.name, constant.colour);
}

// The screen-space and interface-space noise layers scroll with the gameplay clock's total time.
void setNoiseConstants(f32 w, f32 h, f32 t) {
    setShaderGlobalVec2("g_v2ScreenSpaceNoiseScale1", ClVec2(1.01f * w, 2.001f * h));
    setShaderGlobalVec2("g_v2ScreenSpaceNoiseScale2", ClVec2(2.01f * w, 2.001f * h));
    setShaderGlobalVec2("g_v2ScreenSpaceNoiseOffset1", ClVec2(0.20514f * t, 0.380511f * t));
    setShaderGlobalVec2("g_v2ScreenSpaceNoiseOffset2", ClVec2(-10.3514f * t, -10.4114f * t));
    setShaderGlobalFloat("g_fScreenSpaceNoiseFactor0", 0.4f);
    setShaderGlobalFloat("g_fScreenSpaceNoiseFactor1", 0.95f);
    setShaderGlobalFloat("g_fScreenSpaceNoiseFactor2", 0.95f);
    setShaderGlobalVec2("g_v2UISpaceNoiseScale1", ClVec2(0.601f * w, 0.6001f * h));
    setShaderGlobalVec2("g_v2UISpaceNoiseScale2", ClVec2(0.3301f * w, 0.34001f * h));
    setShaderGlobalVec2("g_v2UISpaceNoiseOffset1", ClVec2(0.10514f * t, 0.138051f * t));
    setShaderGlobalVec2("g_v2UISpaceNoiseOffset2", ClVec2(-0.03514f * t, -0.04114f * t));
    setShaderGlobalFloat("g_fUISpaceNoiseFactor0", 0.0f);
    setShaderGlobalFloat("g_fUISpaceNoiseFactor1", 0.25f);
    setShaderGlobalFloat("g_fUISpaceNoiseFactor2", 0.75f);
}

// Two specular lights circle the vertical line x = 100, z = 200 at radius 300, half a turn apart,
// one radian per second.
void setSpecularConstants(f32 t) {
    setShaderGlobalVec3("g_v3Spec0Pos", ClVec3(100.0f + 300.0f * std::cos(t), 100.0f, 200.0f + 300.0f * std::sin(t)));
    setShaderGlobalVec3("g_v3Spec1Pos",
                        ClVec3(100.0f + 300.0f * std::cos(t + PI), -100.0f, 200.0f + 300.0f * std::sin(t + PI)));
}

}  // namespace

void applyBarShaderConstants() {
    const SGameClock& clock = gameClock(GAME_CLOCK_GAMEPLAY);
    const f32 dt = clock.frameTime;
    for (u32 entry = 1; entry < BAR_SCHEME_ENTRY_COUNT; ++entry) advanceEntry(entry, dt);

    for (const SColourConstant& constant : kSchemeConstants)
        setShaderGlobalColour(constant.name, g_BarColourScheme.colour(constant.entry).current);

    const s32 preset = barColourPresetForIntensity(getBackdropIntensity());
    if (preset >= 0 && u32(preset) != g_uBarColourPresetIndex) switchBarColourPreset(u32(preset), PRESET_FADE_SECONDS);

    setFixedConstants();
    const f32 t = f32(clock.totalTime);
    setNoiseConstants(screenWidth(), screenHeight(), t);
    setSpecularConstants(t);

    SColourAnimator& water = g_BarColourScheme.colour(E_BARSCHEME_WATER_COLOUR);
    water.advance(dt);
    water.applyCurrent();
    setWaterClearColour(water.current);
    setAmbientBaseColour(g_BarColourScheme.colour(E_BARSCHEME_AMBIENT_COLOUR).current);
}
