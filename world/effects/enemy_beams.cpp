#include "world/effects/enemy_beams.h"

#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "world/atoms/atom_draw.h"
#include "world/effects/equaliser_state.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/services/bar_colour_scheme.h"
#include "world/services/play_area.h"

#include <algorithm>
#include <cfloat>

namespace {

// The colour-scheme entry the expanding flashes and the beams share.
constexpr u32 SCHEME_FLASH_COLOUR = 27;

constexpr f32 ORIGIN_X_MIN = 40.0f;
constexpr f32 ORIGIN_X_RANGE = 245.0f;
constexpr f32 ORIGIN_SPEED = 150.0f;
constexpr f32 BEAM_TRACK_LENGTH = 150.0f;
constexpr f32 BEAM_SPAN_MIN = 50.0f;
constexpr f32 BEAM_SPAN_RANGE = 100.0f;
constexpr f32 BEAM_SPEED_MIN = 750.0f;
constexpr f32 BEAM_SPEED_RANGE = 500.0f;
constexpr f32 SATURATION_MIN = 0.17f;
constexpr f32 SATURATION_RANGE = 1.66f;
constexpr f32 ALPHA_MIN = 0.0816072f;  // alpha bytes 20 to 31
constexpr f32 ALPHA_RANGE = 0.0408036f;
constexpr f32 WIDTH_MIN = 26.25f;
constexpr f32 WIDTH_RANGE = 17.5f;
constexpr u32 BEAM_LAYER = 44;

ClNamedMaterial g_EnemyBeamMaterial("system_add_nobias", "Images/Lensflare-glow");

bool insidePlayArea(const ClEntity* entity) {
    const ClVec4 at = entity->getWorldPosition();
    return isInsidePlayArea(ClVec3(at.x, at.y, at.z));
}

f32 channel(u32 argb, u32 shift) { return f32((argb >> shift) & 0xFFu) / 255.0f; }

u32 channelByte(f32 value) { return u32(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

}  // namespace

bool isBeamEnemy(const ClEntity* entity) {
    const ClDNAProgram* program = entity->program;
    return program && program->kind == E_PROGRAM_ENEMY &&
           !(program->generator && program->generator->getCategory() == E_GENCAT_BOSS);
}

u32 scaleColourSaturation(u32 argb, f32 factor) {
    const f32 r = channel(argb, 16);
    const f32 g = channel(argb, 8);
    const f32 b = channel(argb, 0);
    const f32 mean = (r + g + b) / 3.0f;
    return (argb & 0xFF000000u) | (channelByte(mean + (r - mean) * factor) << 16) |
           (channelByte(mean + (g - mean) * factor) << 8) | channelByte(mean + (b - mean) * factor);
}

void resetEnemyBeams(SEnemyBeamSet* set) {
    set->countdown = FLT_MAX;
    set->originX = 0.0f;
    set->originSpeed = 0.0f;
    set->beams.release();
}

void releaseEnemyBeams(SEnemyBeamSet* set) { set->beams.release(); }

void rollEnemyBeamSet(SEnemyBeamSet* set) {
    set->originX = randomUnitFloat() * ORIGIN_X_RANGE + ORIGIN_X_MIN;
    set->originSpeed = sfmtGenRand32() < 0x80000000u ? -ORIGIN_SPEED : ORIGIN_SPEED;
    set->countdown = FLT_MAX;
    if (set->beams.inUse) {
        set->beams.count = 0;
        set->beams.last = nullptr;
    } else {
        set->beams.init(ARRAY_INITIAL_CAPACITY);
    }
    const u32 flash = g_BarColourScheme.colour(SCHEME_FLASH_COLOUR).current;
    for (u32 i = 0; i < BEAMS_PER_SET; ++i) {
        SEnemyBeam beam;
        const f32 offset = randomUnitFloat() * BEAM_TRACK_LENGTH - BEAM_TRACK_LENGTH;
        const f32 span = randomUnitFloat() * BEAM_SPAN_RANGE + BEAM_SPAN_MIN;
        const f32 speed = randomUnitFloat() * BEAM_SPEED_RANGE + BEAM_SPEED_MIN;
        beam.segment.initAtOffset(BEAM_TRACK_LENGTH, offset, span, speed);
        const u32 saturated = scaleColourSaturation(flash, randomUnitFloat() * SATURATION_RANGE + SATURATION_MIN);
        const u32 alpha = u32((randomUnitFloat() * ALPHA_RANGE + ALPHA_MIN) * 255.0f);
        beam.colour = (saturated & 0x00FFFFFFu) | (alpha << 24);
        beam.width = randomUnitFloat() * WIDTH_RANGE + WIDTH_MIN;
        set->beams.push(beam);
    }
}

void rollBeamsOnBeat() {
    u32 marked = 0;
    for (u32 i = 0; i < entityListCount(E_LIST_ACTIVATED) && marked < BEAM_MARKED_ENEMIES_PER_BEAT; ++i) {
        ClEntity* entity = entityListAt(E_LIST_ACTIVATED, i);
        if (entity->state != E_ENTITY_ACTIVE || !isBeamEnemy(entity) || !insidePlayArea(entity)) continue;
        rollEnemyBeamSet(&entity->beams);
        ++marked;
    }
}

void updateEnemyBeams(ClEntity* entity) {
    if (entity->state != E_ENTITY_ACTIVE || !isBeamEnemy(entity)) return;
    SEnemyBeamSet& set = entity->beams;
    set.countdown -= frameTime();
    if (set.countdown < 0.0f && insidePlayArea(entity)) {
        rollEnemyBeamSet(&set);
        return;
    }
    if (!set.beams.inUse || set.beams.count == 0) return;
    set.originX += set.originSpeed * frameTime();
    const ClVec3 origin(set.originX, g_fEqualiserCeiling, 0.0f);
    const ClVec4 at = entity->getWorldPosition();
    ClVec3 toward = ClVec3(at.x, at.y, at.z) - origin;
    const f32 length = toward.length();
    const ClVec3 u = toward.normalized();
    for (u32 i = set.beams.count; i-- > 0;) {
        SEnemyBeam& beam = set.beams[i];
        beam.segment.length = length;
        if (!beam.segment.update()) {
            set.beams.removeAt(i);
            continue;
        }
        if (!beam.segment.hasStarted()) continue;
        appendLineCommand(origin + scaleVec3(u, beam.segment.low), origin + scaleVec3(u, beam.segment.high), beam.width,
                          beam.colour, g_EnemyBeamMaterial.get(), 1.0f, 1, BEAM_LAYER);
    }
}
