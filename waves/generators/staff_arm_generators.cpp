#include "waves/generators/staff_arm_generators.h"

#include "core/fatal_error.h"
#include "core/matrix44.h"
#include "core/name_hash.h"
#include "core/rand_obj.h"
#include "render/mesh_builders.h"
#include "waves/generators/generator_params.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr f32 TWO_PI = 6.2831853f;

f32 vary(ClRandObjSFMT* random, f32 value) { return random ? random->randomAround(value, 0.1f) : value; }

ClMatrix44 placed(f32 x, f32 y, f32 z, f32 yaw = 0.0f) {
    ClMatrix44 m;
    if (yaw != 0.0f) m.setRotationAxisAngle(ClVec3(0.0f, 1.0f, 0.0f), yaw);
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

void emitSpin(ClDNAProgram* program, f32 speed) {
    program->emitParamFloat("delay", 0.0f);
    program->emitParamFloat("rotspeed1", speed);
    program->emitParamVector("axis1", 0.0f, 1.0f, 0.0f, 0.0f);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_ROTATOR);
}

// The hull every family flies: path follower, flicker, one registered body.
u32 emitHull(ClDNAProgram* program, s32 mesh, u32 hitClass, s32 look) {
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_FOLLOW_PATH);
    program->emitAddProcessor(E_PROC_FLICKER_WHEN_DAMAGED);
    const u32 hull = program->emitNewAtom(E_ATOM_BODY, mesh, ClMatrix44(), hitClass);
    program->emitAtomConfigure(look);
    program->emitRegisterAtom();
    return hull;
}

// A part on its own node that dies with the hull.
void emitPart(ClDNAProgram* program, s32 mesh, u32 hitClass, s32 look, u32 hull) {
    program->emitNewAtom(E_ATOM_BODY, mesh, ClMatrix44(), hitClass);
    program->emitAtomConfigure(look);
    program->emitLinkToAtom(hull);
}

void bird(ClDNAProgram* program, ClRandObjSFMT* random, u32 difficulty) {
    program->geometries.push(buildBipyramidMesh(3, vary(random, 7.0f), 3.0f, 3.0f));
    const u32 hull = emitHull(program, 0, 0, 0);
    program->emitNewNode(placed(0.0f, 0.0f, 0.0f));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitParamFloat("rsg_radius", vary(random, 22.0f));
    // Harder songs fill the ring sooner: 8 beats down to 4.
    program->emitParamInt("rsg_numbts", s32(8 - std::min(difficulty, 4u)));
    program->emitAddProcessor(E_PROC_ENEMY_ROUND_STAFF_GUN);
    program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
    program->emitLinkToAtom(hull);
    program->emitCloseNode();
    program->emitCloseNode();
}

void staffStar(ClDNAProgram* program, ClRandObjSFMT* random, u32 difficulty) {
    program->geometries.push(buildBipyramidMesh(5, vary(random, 9.0f), 5.0f, 5.0f));
    program->geometries.push(buildBipyramidMesh(3, 3.0f, 2.0f, 2.0f));
    program->emitNewNode(ClMatrix44());
    program->emitParamFloat("staffwidth", 3.0f + 0.5f * f32(std::min(difficulty, 5u)));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_FOLLOW_PATH);
    program->emitAddProcessor(E_PROC_FLICKER_WHEN_DAMAGED);
    program->emitAddProcessor(E_PROC_ENEMY_STAFF_STAR);
    const u32 hull = program->emitNewAtom(E_ATOM_BODY, 0, ClMatrix44(), 1);
    program->emitAtomConfigure(1);
    program->emitRegisterAtom();
    program->emitNewNode(ClMatrix44());
    emitSpin(program, vary(random, 0.8f));
    for (u32 i = 0; i < 3; ++i) {
        program->emitNewNode(placed(0.0f, 0.0f, 0.0f, TWO_PI * f32(i) / 3.0f));
        program->emitNameNode("SSGN");
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitAddProcessor(E_PROC_ENEMY_STAFF_STAR_GUN);
        // The nozzle sits on the star's rim; the beam runs out along its x axis.
        emitPart(program, 1, 0, 1, hull);
        program->emitNewNode(placed(12.0f, 0.0f, 0.0f));
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
        program->emitNameAtom("NozzleAtom");
        program->emitCloseNode();
        program->emitCloseNode();
    }
    program->emitCloseNode();
    program->emitCloseNode();
}

void emitAimedGunBlock(ClDNAProgram* program, u32 difficulty) {
    program->emitParamInt("MyBullGen", s32(crc32TextNoCase("DefBullGenE")));
    program->emitParamInt("BullType", 0);
    program->emitParamInt("BullLev", s32(std::min(difficulty, 5u)));
    program->emitParamFloat("BullRad", 2.0f);
    program->emitParamFloat("BullRndRad", 1.5f);
    program->emitParamFloat("BullDmg", 1.0f);
    program->emitParamFloat("BullVel", 90.0f);
    program->emitParamFloat("BullVelVar", 0.1f);
    program->emitParamInt("BullCol", s32(0xFFFF3010u));
    program->emitParamInt("BullFlag", 0);
}

void brute(ClDNAProgram* program, ClRandObjSFMT* random, u32 difficulty) {
    program->geometries.push(buildBipyramidMesh(8, vary(random, 12.0f), 8.0f, 8.0f));  // hull
    program->geometries.push(buildBoxMesh(3.0f, 3.0f, 3.0f));                          // fist, pods, turret
    program->geometries.push(buildPrismMesh(8, false, vary(random, 18.0f), 3.0f, false, true, true, nullptr, nullptr));
    const u32 hull = emitHull(program, 0, 2, 2);

    // The arm group on the hull and its one arm, a fist on its tip 24 units out.
    program->emitAddProcessor(E_PROC_ENEMY_ARM_GROUP);
    program->emitNewNode(placed(0.0f, 0.0f, 0.0f));
    program->emitNameNode("arm");
    program->emitParamFloat("arm_ang", 0.0f);
    program->emitParamFloat("arm_len", 24.0f);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_ENEMY_ARM);
    program->emitNewNode(placed(24.0f, 0.0f, 0.0f));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    emitPart(program, 1, 1, 2, hull);
    program->emitCloseNode();
    program->emitCloseNode();

    // A turret that sweeps round and fires when its heading passes the ship.
    program->emitNewNode(ClMatrix44());
    emitSpin(program, vary(random, 1.2f));
    emitAimedGunBlock(program, difficulty);
    program->emitAddProcessor(E_PROC_ENEMY_GUN_PHYSICAL);
    emitPart(program, 1, 0, 2, hull);
    program->emitCloseNode();

    // Two shield pods; with both gone the armour ring breaks up.
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_CONDITIONAL_DESTROY);
    for (const f32 side : {-1.0f, 1.0f}) {
        program->emitNewNode(placed(0.0f, 0.0f, 16.0f * side));
        program->emitNameNode("NMUST");
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        emitPart(program, 1, 0, 2, hull);
        program->emitCloseNode();
    }
    program->emitNewNode(ClMatrix44());
    program->emitNameNode("NDEST");
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    emitPart(program, 2, 1, 2, hull);
    program->emitCloseNode();
    program->emitCloseNode();

    // A crest only the even members of a wave wear.
    program->emitNewNode(placed(-10.0f, 6.0f, 0.0f));
    program->emitParamInt("KFC", s32(WAVE_FLAG_EVEN_MEMBER));
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_ENABLE_BASED_ON_WAVE_FLAGS);
    emitPart(program, 1, 0, 2, hull);
    program->emitCloseNode();

    program->emitCloseNode();
}

}  // namespace

ClDNAGen_StaffArmEnemy::ClDNAGen_StaffArmEnemy(u32 category, const char* name) : ClDNAGenerator(category, name) {
    if (category < E_GENCAT_ENEMY_SMALL || category > E_GENCAT_ENEMY_LARGE)
        fatalErrorf("staff or arm enemy generator of category %u", category);
}

ClDNAProgram* ClDNAGen_StaffArmEnemy::generate(ClRandObjSFMT* random, const SGeneratorParams* params) {
    const SGeneratorParams block = params ? *params : defaultGeneratorParams();
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->generator = this;
    switch (getCategory()) {
        case E_GENCAT_ENEMY_SMALL: bird(program, random, block.difficulty); break;
        case E_GENCAT_ENEMY_MEDIUM: staffStar(program, random, block.difficulty); break;
        default: brute(program, random, block.difficulty); break;
    }
    program->applyConstructionCost(getCategory());
    return program;
}
