#include "frontend/presentation/mirror_lake.h"

#include "core/game_clock.h"
#include "core/saved_options.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/particle_world_inputs.h"
#include "render/render_target.h"
#include "render/scene_inputs.h"
#include "render/scene_render.h"
#include "render/scene_targets.h"
#include "render/shader.h"
#include "render/shader_globals.h"
#include "render/texture.h"
#include "world/services/bar_colour_scheme.h"

#include <cmath>

namespace {

// The front-end water colour of the bar colour scheme.
constexpr u32 FRONT_END_WATER_ENTRY = 24;
constexpr f64 TWO_PI = 6.283185307179586;

// Keeps a value that grows with the run's time within one period, so that f32 keeps its
// precision after hours of play.
f32 wrapped(f64 value, f64 period) { return f32(std::fmod(value, period)); }

}  // namespace

SMirrorLakeParams mirrorLakeParamsAt(f64 seconds) {
    const f32 angle = wrapped(seconds * MIRROR_LAKE_WIND_TURN_RATE, TWO_PI);
    const ClVec3 downwind(std::cos(angle), 0.0f, std::sin(angle));
    SMirrorLakeParams p;
    // The ripples drift along the wind as it turns: the integral of the turning direction.
    const f32 drift = MIRROR_LAKE_RIPPLE_SPEED / MIRROR_LAKE_WIND_TURN_RATE;
    p.rippleScroll = ClVec2(drift * std::sin(angle), drift * (1.0f - std::cos(angle)));
    p.wind = scaleVec3(downwind, MIRROR_LAKE_WIND_ACCELERATION);
    return p;
}

void setMirrorLakeShaderParams() {
    const SMirrorLakeParams p = mirrorLakeParamsAt(gameClock(GAME_CLOCK_GAMEPLAY).totalTime);
    SParticlePhysics physics = particlePhysics();
    physics.accelerationA = ClVec3(0.0f, MIRROR_LAKE_GRAVITY, 0.0f);
    physics.accelerationB = p.wind;
    setParticlePhysics(physics);
    if (!findShaderGlobal("g_v2MirrorLakeScroll")) return;
    setShaderGlobalVec2("g_v2MirrorLakeScroll", p.rippleScroll);
    setShaderGlobalFloat("g_fMirrorLakeBump", MIRROR_LAKE_BUMP_STRENGTH);
    setShaderGlobalColour("g_v4MirrorLakeTint",
                          inGameFlag() ? 0u : barColourScheme().colour(FRONT_END_WATER_ENTRY).current);
}

void drawMirrorLake() {
    if (savedOptions().waterReflection == 0 || !effectsReady()) return;
    const ClRenderTargetGroup* reflection = sceneTarget(E_SCENE_TARGET_REFLECTION);
    const ClCamera* camera = viewCamera();
    if (!reflection || !reflection->getTexture() || !camera) return;
    // Fetched each frame: a device reset purges the materials that use the reflection texture.
    const SMaterial* material =
        getMaterialForEffectAndTextures2("MirrorLake", reflection->getTexture(), findTexture("Images/WaterBump"));
    const f32 x0 = camera->position().x - MIRROR_LAKE_HALF_EXTENT;
    const f32 z0 = camera->position().z - MIRROR_LAKE_HALF_EXTENT;
    const f32 size = 2.0f * MIRROR_LAKE_HALF_EXTENT;
    // Texture coordinates in world units, so the ripples stay put as the lake follows the camera.
    const ClVec2 texMin(x0 / MIRROR_LAKE_RIPPLE_TILE, z0 / MIRROR_LAKE_RIPPLE_TILE);
    const ClVec2 texMax((x0 + size) / MIRROR_LAKE_RIPPLE_TILE, (z0 + size) / MIRROR_LAKE_RIPPLE_TILE);
    appendCentredQuadCommandUV(ClVec3(x0 + 0.5f * size, WATER_PLANE_HEIGHT, z0 + 0.5f * size), ClVec3(0.0f, 1.0f, 0.0f),
                               ClVec3(1.0f, 0.0f, 0.0f), size, size, MIRROR_LAKE_REFLECTANCE, material, texMin, texMax,
                               MIRROR_LAKE_LAYER_MASK, 0.0f);
}
