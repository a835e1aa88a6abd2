#include "world/effects/backdrop.h"

#include <algorithm>
#include <cmath>

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/song_clock.h"
#include "core/fixed_pool.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "world/effects/backdrop_label.h"
#include "world/effects/backdrop_rails.h"
#include "world/effects/edge_sparks.h"
#include "world/effects/weighted_table.h"
#include "world/services/bar_colour_scheme.h"

namespace {

constexpr f32 PI = 3.14159265358979f;
constexpr f32 SPEED_RATE = 0.1f;
constexpr f32 INTENSITY_RATE = 0.9f;
constexpr f32 INTENSITY_EXPONENT = 1.732f;
constexpr f32 SILENT_SPEED = 50.0f;
constexpr f32 LOUD_SPEED_RANGE = 1000.0f;
// Below this speed the streaks also draw their tails.
constexpr f32 STREAK_TAIL_SPEED = 100.0f;
constexpr f32 STREAK_TAIL_STRETCH = 0.163821f;
constexpr f32 STREAK_HEAD_STRETCH = 0.9305f;
constexpr f32 ARENA_WIDTH = 325.0f;
constexpr f32 BAR_WIDTH = 15.5f;
constexpr f32 BAR_LENGTH = 80.0f;
constexpr f32 RING_START_RADIUS = 10.0f;
constexpr f32 RING_END_RADIUS = 2400.0f;
constexpr f32 RING_SECONDS = 6.3f;
constexpr f32 RING_HEIGHT = 1000.0f;
constexpr u32 LAYER_STREAKS = 44;
constexpr u32 LAYER_BARS = 52;
constexpr u32 LAYER_RINGS = 180;
constexpr u32 RGB_MASK = 0x00FFFFFFu;

struct SBackdropState {
    f32 speed = 0.0f;
    f32 speedTarget = 0.0f;
    f32 speedRate = SPEED_RATE;
    f32 scrollStep = 0.0f;
    f32 intensity = 0.0f;
    f32 intensityTarget = 0.0f;
    f32 streakCursor = BACKDROP_STREAK_NEAR_Z;
    f32 barCursor = BACKDROP_STREAK_NEAR_Z;
    ClFixedPool<SBackdropItem, BACKDROP_STREAM_CAPACITY> streaks;
    ClFixedPool<SBackdropItem, BACKDROP_STREAM_CAPACITY> bars;
    ClFixedPool<SBackdropRing, BACKDROP_RING_CAPACITY> rings;
    ClWeightedTable bands;
};

SBackdropState g_Backdrop;

// A full stream still steps its cursor, so it never asks for more than it can hold in one frame.
void spawnStreaks() {
    f32& cursor = g_Backdrop.streakCursor;
    while (cursor > BACKDROP_STREAK_FAR_Z) {
        SBackdropItem* item = g_Backdrop.streaks.take();
        const f32 x = 600.0f * randomUnitFloat() - 100.0f;
        const f32 y = 10.0f * randomUnitFloat();
        const f32 angle = 2.0f * PI * randomUnitFloat();
        if (item) {
            item->position = ClVec3(x, y, cursor, 10.0f);
            item->tail = cursor;
            item->angle = angle;
        }
        const f32 r = 20.0f * randomUnitFloat();
        cursor -= r * (0.75f + 0.5f * randomUnitFloat());
    }
}

void moveStreaks() {
    const f32 d = g_Backdrop.scrollStep;
    const f32 stretch = std::max(g_Backdrop.speed - STREAK_TAIL_SPEED, 0.0f) * STREAK_TAIL_STRETCH;
    g_Backdrop.streakCursor += d;
    auto& pool = g_Backdrop.streaks;
    for (u32 i = pool.used; i-- > 0;) {
        SBackdropItem& item = *pool.table[i];
        item.position.z += d;
        if (item.tail < BACKDROP_STREAK_NEAR_Z) {
            item.tail = std::max(item.tail, item.position.z - stretch);
        } else {
            pool.release(&item);
        }
    }
}

// The band count of the song and the levels of its current spectral frame (all 0 before the
// first frame).
u32 buildBandTable() {
    const SSpectrumHeader& header = spectrumAnalysis().header;
    const u32 bandCount = header.bandValues ? std::min(header.bandCount, SPECTRUM_MAX_BANDS) : 0;
    const bool haveFrame = currentSpectrumFrame() >= 0 && u32(currentSpectrumFrame()) < header.frameCount;
    g_Backdrop.bands.clear();
    for (u32 band = 0; band < bandCount; ++band) {
        const f32 level = haveFrame ? spectrumBandValue(u32(currentSpectrumFrame()), band) : 0.0f;
        g_Backdrop.bands.add(s32(band), level * 80.0f + 10.0f);
    }
    return bandCount;
}

void spawnBars() {
    f32& cursor = g_Backdrop.barCursor;
    if (cursor <= BACKDROP_BAR_FAR_Z) return;
    const u32 bandCount = buildBandTable();
    if (bandCount == 0) {
        // No song: the stream stays empty and resumes from the far end when bands appear.
        cursor = BACKDROP_BAR_FAR_Z;
        return;
    }
    while (cursor > BACKDROP_BAR_FAR_Z) {
        const s32 band = g_Backdrop.bands.pickRandom();
        if (SBackdropItem* item = g_Backdrop.bars.take()) {
            item->position = ClVec3(f32(band) * ARENA_WIDTH / f32(bandCount), 0.0f, cursor, 0.0f);
            item->tail = cursor;
            item->angle = 0.0f;
        }
        const f32 r = 13.0f * randomUnitFloat();
        cursor -= r * (0.5f + randomUnitFloat());
    }
}

void moveBars() {
    const f32 d = g_Backdrop.scrollStep;
    g_Backdrop.barCursor += d;
    auto& pool = g_Backdrop.bars;
    for (u32 i = pool.used; i-- > 0;) {
        SBackdropItem& item = *pool.table[i];
        item.position.z += d;
        if (item.position.z >= BACKDROP_BAR_NEAR_Z) pool.release(&item);
    }
}

void updateRings(f32 dt) {
    auto& pool = g_Backdrop.rings;
    const SMaterial* material = pool.used ? getMaterialForEffect("system_add_color") : nullptr;
    const u32 rgb = g_BarColourScheme.colour(E_BARSCHEME_WATER_COLOUR).current & RGB_MASK;
    for (u32 i = pool.used; i-- > 0;) {
        SBackdropRing& ring = *pool.table[i];
        ring.radius.advance(dt);
        if (ring.radius.running == 0) {
            pool.release(&ring);
            continue;
        }
        const f32 u = ring.radius.mode == E_TWEEN_HOLD ? 1.0f : std::clamp(ring.radius.time * ring.radius.step, 0.0f, 1.0f);
        const u32 alpha = u32(std::trunc(std::pow(1.0f - u, 15.0f) * 255.0f));
        const ClVec3 across = scaleVec3(ring.axis, ring.radius.current);
        const ClVec3 up(0.0f, RING_HEIGHT, 0.0f);
        const ClVec3 left = ring.position - across;
        const ClVec3 right = ring.position + across;
        appendQuadCommandCorners(left, left + up, right, right + up, (alpha << 24) | rgb, material, LAYER_RINGS);
    }
}

void drawStreaks() {
    auto& pool = g_Backdrop.streaks;
    if (pool.used == 0) return;
    const SMaterial* line = getMaterialForEffectAndTextureName("system_add_nobias", "Images/BarBrightLine");
    const SMaterial* tailMaterial = getMaterialForEffectAndTextureName("system_add_nobias", "Images/SmallCircle");
    const u32 colour = g_BarColourScheme.colour(E_BARSCHEME_STREAK_COLOUR).current;
    const u32 tailColour = g_BarColourScheme.colour(E_BARSCHEME_STREAK_TAIL_COLOUR).current;
    const f32 head = STREAK_HEAD_STRETCH * g_Backdrop.scrollStep;
    const bool tails = g_Backdrop.speed < STREAK_TAIL_SPEED;
    for (u32 i = pool.used; i-- > 0;) {
        const SBackdropItem& item = *pool.table[i];
        const ClVec3 at(item.position.x, item.position.y, item.position.z);
        appendLineCommand(at, ClVec3(at.x, at.y, at.z + head), 1.75f, colour, line, 1.0f, 1, LAYER_STREAKS);
        if (tails) {
            appendGradientLineCommand(at, ClVec3(at.x, at.y, item.tail), 1.25f, 1.25f, tailColour, colour & RGB_MASK,
                                      tailMaterial, LAYER_STREAKS);
        }
    }
}

void drawBars() {
    auto& pool = g_Backdrop.bars;
    if (pool.used == 0) return;
    const SMaterial* material = getMaterialForEffect("system_add_color");
    const u32 colour = g_BarColourScheme.colour(E_BARSCHEME_BACKDROP_BAR_COLOUR).current;
    const ClVec3 up(0.0f, 1.0f, 0.0f);
    const ClVec3 across(1.0f, 0.0f, 0.0f);
    for (u32 i = pool.used; i-- > 0;) {
        const SBackdropItem& item = *pool.table[i];
        const f32 z0 = std::max(item.position.z - BAR_LENGTH, 0.0f);
        appendQuadCommand(ClVec3(item.position.x, 0.0f, z0), up, across, BAR_WIDTH, item.position.z - z0, colour,
                          material, LAYER_BARS, 0.0f);
    }
}

}  // namespace

f32 getBackdropSongIntensity(f32 songTime) {
    const ClSpawnBarArray& bars = getSongSpawnBars();
    if (!bars.inUse || bars.count == 0) return 0.0f;
    // The bar index is never negative; past the song's end the last bar holds.
    const u32 index = std::min(u32(std::max(timeToSpectrumFrame(songTime), 0)), bars.count - 1);
    return bars[index].smoothedLevel;
}

f32 getBackdropSpeedTarget(f32 songTime) {
    return std::pow(getBackdropSongIntensity(songTime), INTENSITY_EXPONENT) * LOUD_SPEED_RANGE + SILENT_SPEED;
}

f32 getBackdropIntensity() { return g_Backdrop.intensity; }
f32 getBackdropSpeed() { return g_Backdrop.speed; }

void resetBackdrop() {
    g_Backdrop.speedRate = SPEED_RATE;
    g_Backdrop.speed = 0.0f;
    g_Backdrop.speedTarget = 0.0f;
    g_Backdrop.scrollStep = 0.0f;
    g_Backdrop.intensity = 0.0f;
    g_Backdrop.intensityTarget = 0.0f;
    g_Backdrop.streakCursor = BACKDROP_STREAK_NEAR_Z;
    g_Backdrop.barCursor = BACKDROP_STREAK_NEAR_Z;
    g_Backdrop.streaks.init();
    g_Backdrop.bars.init();
    g_Backdrop.rings.init();
    initEdgeSparkPools();
    buildBackdropRails();
}

void updateBackdrop() {
    const f32 dt = frameTime();
    g_Backdrop.speedTarget = getBackdropSpeedTarget(currentSongTime());
    g_Backdrop.speed += (g_Backdrop.speedTarget - g_Backdrop.speed) * g_Backdrop.speedRate;
    g_Backdrop.scrollStep = dt * g_Backdrop.speed;
    g_Backdrop.intensityTarget = std::pow(getBackdropSongIntensity(currentSongTime()), INTENSITY_EXPONENT);
    g_Backdrop.intensity += (g_Backdrop.intensityTarget - g_Backdrop.intensity) * INTENSITY_RATE;

    spawnStreaks();
    moveStreaks();
    spawnBars();
    moveBars();
    updateRings(dt);
    moveBackdropRails(g_Backdrop.scrollStep);
    updateEdgeSparks();
}

void drawBackdropStreams() {
    drawStreaks();
    drawBars();
    drawBackdropRails();
    updateBackdropTimeLabel();
}

void releaseBackdrop() {
    g_Backdrop.streaks.releaseAll();
    g_Backdrop.bars.releaseAll();
    g_Backdrop.rings.releaseAll();
    releaseBackdropRails();
    releaseEdgeSparkPools();
}

void spawnBackdropRing(const ClVec3& position, u32 useZAxis) {
    SBackdropRing* ring = g_Backdrop.rings.take();
    if (!ring) return;
    ring->position = position;
    ring->axis = useZAxis ? ClVec3(0.0f, 0.0f, 1.0f) : ClVec3(1.0f, 0.0f, 0.0f);
    ring->radius.startFromTo(RING_START_RADIUS, RING_END_RADIUS, RING_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
}
