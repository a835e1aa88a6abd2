#include "world/effects/edge_sparks.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/fixed_pool.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "world/effects/backdrop.h"
#include "world/services/bar_colour_scheme.h"

namespace {

constexpr f32 PI = 3.14159265358979f;
constexpr f32 LEFT_EDGE_X = 10.0f;
constexpr f32 RIGHT_EDGE_X = 315.0f;
constexpr f32 SPARK_BASE_SIZE = 10.0f;
constexpr f32 SPARK_TRAIL_SIZE = 5.0f;
constexpr f32 FAST_SPARK_HEAT = 1.3f;
constexpr f32 FAST_SPARK_SPEED = 2500.0f;
constexpr f32 TRAIL_RECORD_SIZE = 2.0f;
constexpr f32 SPARK_MOVE_SCALE = 0.012f;
constexpr f32 GRAVITY = 20.0f;
constexpr u32 SPARK_LAYER = 44;
constexpr u32 OPAQUE = 0xFF000000u;

ClFixedPool<SEdgeSpark, EDGE_SPARK_CAPACITY> g_SparkPool;
ClFixedPool<SSparkTrail, SPARK_TRAIL_CAPACITY> g_TrailPool;
const SMaterial* g_apParticleMaterials[3] = {};

f32 heatDraw() { return 0.39f * randomUnitFloat() + 1.105f; }

const SMaterial* randomParticleMaterial() {
    const u32 index = std::min(u32(3.0f * randomUnitFloat()), 2u);
    return g_apParticleMaterials[index];
}

void lookUpParticleMaterials() {
    static const char* const kTextures[3] = {"Images/Particle-1", "Images/Particle-2", "Images/Particle-3"};
    for (u32 i = 0; i < 3; ++i)
        g_apParticleMaterials[i] = getMaterialForEffectAndTextureName("game_colorizeRed_addBlue_additiveBlend", kTextures[i]);
}

// The fan's plane: sin a x up + cos a x n.
ClVec3 fanDirection(f32 angle, const ClVec3& n) {
    return ClVec3(std::cos(angle) * n.x, std::sin(angle), std::cos(angle) * n.z);
}

void emitTrailRecord(const ClVec3& at, const ClVec3& m, f32 scatter) {
    SSparkTrail* trail = g_TrailPool.take();
    if (!trail) return;
    const f32 length = scatter * randomUnitFloat();
    const f32 angle = PI * randomUnitFloat();
    const ClVec3 q = m.perpendicular();
    const ClVec3 w = m.cross(q);
    const f32 c = length * std::cos(angle);
    const f32 s = length * std::sin(angle);
    trail->position = ClVec3(at.x + c * w.x + s * q.x, at.y + c * w.y + s * q.y, at.z + c * w.z + s * q.z);
    trail->velocity = ClVec3();
    trail->heat = heatDraw();
    trail->size = TRAIL_RECORD_SIZE;
}

void drawGlow(const ClVec3& at, f32 size, u32 colour) {
    const f32 drawn = randomFloatInRange(0.1f * size, 1.9f * size);
    appendSpriteCommand(at, drawn, colour, randomParticleMaterial(), SPARK_LAYER, 0.0f);
}

// One spark's frame; false once it is spent.
bool updateSpark(SEdgeSpark& spark, f32 dt, f32 speed, u32 colour) {
    spark.heat -= dt;
    if (spark.heat <= 0.0f || spark.position.y < 0.0f) return false;
    const ClVec3 from = spark.position;
    spark.position += scaleVec3(spark.velocity, SPARK_MOVE_SCALE);

    const f32 v = spark.velocity.length();
    if (v > 0.0001f) {
        const f32 slowed = std::max(v - 0.02f * v * v * 0.016f, 0.0f);
        if (slowed <= 0.0001f) {
            spark.velocity = ClVec3(0.0f, 0.0f, 0.0f, spark.velocity.w);
        } else {
            spark.velocity = scaleVec3(spark.velocity, slowed / v);
        }
    }
    spark.velocity.y -= GRAVITY * dt;
    spark.velocity.z += dt * dt / 0.01f * 0.25f * speed;

    const f32 glow = 1.0f + 4.0f * std::pow(spark.heat / FAST_SPARK_HEAT, 5.25f);
    drawGlow(spark.position, glow * spark.baseSize, colour);
    emitSparkTrail(&spark, from);
    return true;
}

}  // namespace

ClVec3 getArenaSideDirection(const ClVec3& position) {
    if (position.x < LEFT_EDGE_X) return ClVec3(1.0f, 0.0f, 0.0f);
    if (position.x > RIGHT_EDGE_X) return ClVec3(-1.0f, 0.0f, 0.0f);
    return ClVec3(0.0f, 0.0f, 1.0f);
}

void spawnEdgeSparks(const ClVec3& position) {
    const ClVec3 d = getArenaSideDirection(position);
    const ClVec3 n(d.z, 0.0f, -d.x);
    const bool front = d.z == 1.0f;
    ClVec3 at = position;
    if (front) at.z = 0.0f;
    const u32 fanCount = front ? 2 * EDGE_SPARK_FAN_COUNT : EDGE_SPARK_FAN_COUNT;

    f32 base = 0.0f;
    for (u32 i = 0; i < fanCount; ++i) {
        SEdgeSpark* spark = g_SparkPool.take();
        if (!spark) return;
        spark->word = 0;
        spark->position = at;
        spark->baseSize = SPARK_BASE_SIZE;
        const f32 angle = base + 0.2f * randomUnitFloat() - 0.1f;
        spark->velocity = scaleVec3(fanDirection(angle, n), 375.0f * randomUnitFloat() + 2312.5f);
        spark->heat = heatDraw();
        spark->nextTrail = 16.0f * randomUnitFloat() + 32.0f;
        spark->trailSpacing = spark->nextTrail;
        spark->trailSize = SPARK_TRAIL_SIZE;
        base += PI / 30.0f;
    }
    for (u32 i = 0; i < EDGE_SPARK_FAST_COUNT; ++i) {
        SEdgeSpark* spark = g_SparkPool.take();
        if (!spark) return;
        spark->word = 0;
        spark->position = at;
        spark->baseSize = SPARK_BASE_SIZE;
        spark->velocity = scaleVec3(fanDirection(PI * randomUnitFloat(), n), FAST_SPARK_SPEED);
        spark->heat = FAST_SPARK_HEAT;
        spark->nextTrail = FLT_MAX;
        spark->trailSpacing = FLT_MAX;
        spark->trailSize = SPARK_TRAIL_SIZE;
    }
}

u32 emitSparkTrail(SEdgeSpark* spark, const ClVec3& from) {
    const f32 moved = (spark->position - from).length();
    f32 rest = moved - spark->nextTrail;
    if (rest < 0.0f) {
        spark->nextTrail -= moved;
        return 0;
    }
    const ClVec3 m = spark->velocity.normalized();
    ClVec3 walk = from;
    f32 advance = spark->nextTrail;
    u32 emitted = 0;
    while (rest >= 0.0f) {
        walk += scaleVec3(m, advance);
        emitTrailRecord(walk, m, spark->trailSize);
        ++emitted;
        rest -= spark->trailSpacing;
        advance = spark->trailSpacing;
    }
    spark->nextTrail = -rest;
    return emitted;
}

void updateEdgeSparks() {
    if (g_SparkPool.used == 0 && g_TrailPool.used == 0) return;
    lookUpParticleMaterials();
    const f32 dt = frameTime();
    const f32 speed = getBackdropSpeed();
    const u32 colour = (g_BarColourScheme.colour(E_BARSCHEME_SPARK_COLOUR).current & ~OPAQUE) | OPAQUE;

    for (u32 i = g_SparkPool.used; i-- > 0;) {
        SEdgeSpark& spark = *g_SparkPool.table[i];
        if (!updateSpark(spark, dt, speed, colour)) g_SparkPool.release(&spark);
    }
    for (u32 i = g_TrailPool.used; i-- > 0;) {
        SSparkTrail& trail = *g_TrailPool.table[i];
        trail.heat -= dt;
        if (trail.heat <= 0.0f || trail.position.y < 0.0f) {
            g_TrailPool.release(&trail);
            continue;
        }
        trail.position += scaleVec3(trail.velocity, dt);
        trail.velocity.y -= GRAVITY * dt;
        trail.velocity.z += dt * 0.25f * speed;
        drawGlow(trail.position, trail.size, colour);
    }
}

void initEdgeSparkPools() {
    g_SparkPool.init();
    g_TrailPool.init();
}

void releaseEdgeSparkPools() {
    g_SparkPool.releaseAll();
    g_TrailPool.releaseAll();
}
