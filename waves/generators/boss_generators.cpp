#include "waves/generators/boss_generators.h"

#include "core/fatal_error.h"
#include "core/matrix44.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "render/mesh_builders.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "world/state/wave_record.h"

#include <cstring>

namespace {

// Per boss: its section prefix (the generator name is prefix + suffix), the ship's meeting point
// and the head gun's bullet speed index.
struct SBossLayout {
    const char* prefix;
    f32 meetX, meetZ;
    s32 bulletSpeed;  // "NDKBL"
};

constexpr SBossLayout LAYOUTS[BOSS_KIND_COUNT] = {
    {"boss_first", 162.5f, 30.0f, 1},
    {"boss_the_wave", 162.5f, 40.0f, 3},
    {"boss_opps_params", 260.0f, 200.0f, 0},
    {"boss_whip_it_params", 162.5f, 30.0f, 2},
    {"boss_dancer_params", 162.5f, 200.0f, 4},
};
const char* const SUFFIXES[BOSS_VARIANT_COUNT] = {"_MB1", "_MB2", "_MB3"};

char g_names[BOSS_KIND_COUNT][BOSS_VARIANT_COUNT][40];

constexpr u32 CORE_HIT_CLASS = 4;
constexpr u32 PART_HIT_CLASS = 1;
constexpr u32 FIRST_BOSS_ARMS = 6;
constexpr f32 FIRST_BOSS_ARM_REACH = 45.0f;
constexpr u32 OPPS_BLOCKS = 9;
constexpr f32 OPPS_GRID = 35.0f;
constexpr u32 WAVE_BARS = 10;
constexpr u32 WAVE_SEGMENTS = 8;
constexpr f32 WAVE_SEGMENT_WIDTH = 40.0f;

const ClScriptNode* section(const char* name) {
    return ClScriptNode::getChildOrDie(getScript("playbalance.txt", 0), name);
}

// Block child 0 of a tuning section: the boss's strength.
s32 sectionStrength(const char* name) { return section(name)->getChild(0)->getChild(0)->getInt(); }

void emitHeadGun(ClDNAProgram* program, const ClMatrix44& at, s32 bulletSpeed) {
    program->emitNewNode(at);
    program->emitParamInt("NDKBL", bulletSpeed);
    program->emitParamFloat("att", 1.0f);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_ENEMY_HEAD_GUN);
    program->emitCloseNode();
}

ClMatrix44 at(f32 x, f32 y, f32 z) {
    ClMatrix44 m;
    m.setIdentity();
    m.setTranslationXYZ(x, y, z);
    return m;
}

// The main atom: a body on the current node with the given hit points, registered.
u32 emitCore(ClDNAProgram* program, s32 geometry, s32 hitPoints, const ClMatrix44& local) {
    const u32 core = program->emitNewAtom(E_ATOM_BODY, geometry, local, CORE_HIT_CLASS);
    if (hitPoints > 0) program->emitAtomHitPoints(hitPoints);
    program->emitRegisterAtom();
    return core;
}

// A part that stays in play while the core does (reached from it) and goes down with it.
void attachToCore(ClDNAProgram* program, u32 core) {
    program->emitPairWithAtom(core);
    program->emitLinkToAtom(core);
}

void addSegment(SWaveMember* member, u32 kind, const ClVec3& point, s32 fraction) {
    SMotionSegment segment = {};
    segment.kind = kind;
    segment.a.setVector(point.x, point.y, point.z, 1.0f);
    segment.b.setInt(fraction);
    member->segments.push(segment);
}

// The whip boss's round of the arena: steered from corner to corner for ever.
void addWhipPath(ClDNAProgram* program) {
    auto* plan = new ClWaveDNA();
    plan->speedClass = 4;
    plan->memberCount = 1;
    SWaveMember& member = plan->members[0];
    member.wave = plan;
    member.segments.init();
    addSegment(&member, E_SEG_START, ClVec3(162.5f, 0.0f, 200.0f), 0);
    const ClVec3 corners[4] = {ClVec3(80.0f, 0.0f, 200.0f), ClVec3(80.0f, 0.0f, 90.0f), ClVec3(245.0f, 0.0f, 90.0f),
                               ClVec3(245.0f, 0.0f, 200.0f)};
    for (const ClVec3& corner : corners) addSegment(&member, E_SEG_STEER, corner, 2);
    SMotionSegment loop = {};
    loop.kind = E_SEG_JUMP;
    loop.a.setInt(-4);
    member.segments.push(loop);
    program->wavePlans.push(plan);
}

void writeFirstBoss(ClDNAProgram* program, const char* suffix, u32 variant) {
    const s32 body = s32(program->geometries.push(buildBipyramidMesh(10, 22.0f, 16.0f, 16.0f))) - 1;
    const s32 tip = s32(program->geometries.push(buildBipyramidMesh(4, 8.0f, 6.0f, 6.0f))) - 1;
    (void)suffix;
    program->emitParamInt("HHNHS", s32(FIRST_BOSS_ARMS));
    program->emitParamInt("HHMNHS", s32(FIRST_BOSS_ARMS));
    program->emitParamFloat("HHGFR", 1.2f - 0.3f * f32(variant));
    program->emitAddProcessor(E_PROC_BOSS_1);
    const u32 core = emitCore(program, body, 1500 + 750 * s32(variant), ClMatrix44());
    program->emitNameAtom("noteTarg");
    program->emitNewNode(ClMatrix44());  // child 0: the hub
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitCloseNode();
    for (u32 arm = 0; arm < FIRST_BOSS_ARMS; ++arm) {
        program->emitNewNode(ClMatrix44());
        program->emitParamFloat("delay", 6.2831853f * f32(arm) / f32(FIRST_BOSS_ARMS));
        program->emitParamFloat("rotspeed1", 3.5f);
        program->emitParamVector("axis1", 0.0f, 1.0f, 0.0f, 0.0f);
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitAddProcessor(E_PROC_ROTATOR);
        program->emitNewNode(at(FIRST_BOSS_ARM_REACH, 0.0f, 0.0f));
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_BODY, tip, ClMatrix44(), PART_HIT_CLASS + 1);
        attachToCore(program, core);
        program->emitCloseNode();
        program->emitCloseNode();
    }
    emitHeadGun(program, at(0.0f, 0.0f, -12.0f), LAYOUTS[E_BOSS_FIRST].bulletSpeed);
    emitHeadGun(program, at(0.0f, 0.0f, 12.0f), LAYOUTS[E_BOSS_FIRST].bulletSpeed);
}

void writeTheWave(ClDNAProgram* program, u32 variant) {
    const s32 carrier = s32(program->geometries.push(buildBipyramidMesh(6, 18.0f, 10.0f, 10.0f))) - 1;
    const s32 segment = s32(program->geometries.push(buildBipyramidMesh(4, 14.0f, 6.0f, 6.0f))) - 1;
    program->emitParamInt("TW_si", s32(variant));
    program->emitParamFloat("TW_mint", 4.0f - f32(variant));
    program->emitParamFloat("TW_maxt", 8.0f - f32(variant));
    program->emitParamFloat("TW_gfr", 1.5f - 0.4f * f32(variant));
    program->emitParamFloat("TW_hmp", 4.0f - 0.5f * f32(variant));
    program->emitAddProcessor(E_PROC_BOSS_THE_WAVE);
    const s32 strength = section("boss_the_wave_params")->getChild(variant)->getChild(0)->getInt();
    program->emitNewNode(ClMatrix44());  // child 0: the sweeper
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    const u32 core = emitCore(program, carrier, strength, ClMatrix44());
    program->emitNameAtom("noteTarg");
    emitHeadGun(program, at(-10.0f, 0.0f, 0.0f), LAYOUTS[E_BOSS_THE_WAVE].bulletSpeed);
    emitHeadGun(program, at(10.0f, 0.0f, 0.0f), LAYOUTS[E_BOSS_THE_WAVE].bulletSpeed);
    program->emitCloseNode();
    for (u32 bar = 0; bar < WAVE_BARS; ++bar) {
        program->emitNewNode(ClMatrix44());
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        for (u32 s = 0; s < WAVE_SEGMENTS; ++s) {
            program->emitNewAtom(E_ATOM_BODY, segment, at(WAVE_SEGMENT_WIDTH * (f32(s) + 0.5f), 0.0f, 0.0f), PART_HIT_CLASS);
            attachToCore(program, core);
        }
        program->emitCloseNode();
    }
}

void writeOpps(ClDNAProgram* program, u32 strength) {
    const s32 block = s32(program->geometries.push(buildBipyramidMesh(4, 16.0f, 12.0f, 12.0f))) - 1;
    program->emitAddProcessor(E_PROC_BOSS_OPPS);
    program->emitNewNode(ClMatrix44());  // child 0: the body
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    u32 core = 0;
    for (u32 i = 0; i < OPPS_BLOCKS; ++i) {
        const ClMatrix44 cell = at(OPPS_GRID * f32(i % 3), 0.0f, OPPS_GRID * f32(i / 3));
        if (i == 0) {
            core = emitCore(program, block, s32(strength), cell);
            program->emitNameAtom("noteTarg");
        } else {
            program->emitNewAtom(E_ATOM_BODY, block, cell, PART_HIT_CLASS + 1);
            attachToCore(program, core);
        }
    }
    program->emitCloseNode();
}

void writeHeadedBoss(ClDNAProgram* program, u32 processorType, s32 strength, s32 bulletSpeed) {
    const s32 head = s32(program->geometries.push(buildBipyramidMesh(8, 20.0f, 14.0f, 14.0f))) - 1;
    if (processorType == E_PROC_BOSS_WHIP_IT) program->emitAddProcessor(E_PROC_FOLLOW_PATH);
    program->emitAddProcessor(processorType);
    program->emitNewNode(ClMatrix44());  // child 0: the head, with the two guns
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    emitCore(program, head, strength, ClMatrix44());
    program->emitNameAtom("noteTarg");
    emitHeadGun(program, at(8.0f, 0.0f, -10.0f), bulletSpeed);
    emitHeadGun(program, at(8.0f, 0.0f, 10.0f), bulletSpeed);
    program->emitCloseNode();
}

}  // namespace

const char* bossGeneratorName(u32 kind, u32 variant) {
    if (kind >= BOSS_KIND_COUNT || variant >= BOSS_VARIANT_COUNT) fatalErrorf("no boss %u variant %u", kind, variant);
    char* name = g_names[kind][variant];
    if (!name[0]) {
        std::strcpy(name, LAYOUTS[kind].prefix);
        std::strcat(name, SUFFIXES[variant]);
    }
    return name;
}

ClDNAGen_Enemy_Boss::ClDNAGen_Enemy_Boss(u32 kind, u32 variant)
    : ClDNAGenerator(E_GENCAT_BOSS, bossGeneratorName(kind, variant)), m_kind(kind), m_variant(variant) {}

ClDNAProgram* ClDNAGen_Enemy_Boss::generate(ClRandObjSFMT*, const SGeneratorParams*) {
    const SBossLayout& layout = LAYOUTS[m_kind];
    const char* suffix = SUFFIXES[m_variant];
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->generator = this;
    program->emitNewNode(ClMatrix44());
    program->emitParamVector("BPYP", layout.meetX, 0.0f, layout.meetZ, 1.0f);
    program->emitParamInt("dnt_shoot", 0);
    program->emitParamFloat("NDKFBH", 1.0f);
    program->emitParamString("WI_nhk", suffix);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    switch (m_kind) {
        case E_BOSS_FIRST: writeFirstBoss(program, suffix, m_variant); break;
        case E_BOSS_THE_WAVE: writeTheWave(program, m_variant); break;
        case E_BOSS_OPPS: writeOpps(program, u32(sectionStrength(getName()))); break;
        case E_BOSS_WHIP_IT:
            program->emitParamFloat("WI_gfr", 1.4f - 0.3f * f32(m_variant));
            writeHeadedBoss(program, E_PROC_BOSS_WHIP_IT, sectionStrength(getName()), layout.bulletSpeed);
            addWhipPath(program);
            break;
        case E_BOSS_DANCER:
            writeHeadedBoss(program, E_PROC_BOSS_DANCER, sectionStrength(getName()), layout.bulletSpeed);
            break;
        default: fatalErrorf("no boss kind %u", m_kind);
    }
    program->emitCloseNode();
    program->applyConstructionCost(getCategory());
    return program;
}
