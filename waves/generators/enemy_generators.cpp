#include "waves/generators/enemy_generators.h"

#include "core/fatal_error.h"
#include "core/matrix44.h"
#include "core/name_hash.h"
#include "core/rand_obj.h"
#include "render/mesh_builders.h"
#include "waves/generators/generator_params.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

namespace {

// The look of one size: hull and outer part (radius 0: none), hit-point classes, spin, gun.
struct SEnemyShape {
    u32 hullSides;
    f32 hullRadius;
    f32 hullHeight;
    u32 hullHitClass;
    u32 ringSides;
    f32 ringRadius;
    f32 ringHeight;
    u32 ringHitClass;
    f32 spinSpeed;  // rad/s of the outer part
    s32 lookVariant;
    f32 bulletSpeed;
    f32 gunRate;  // shots per second the gun is tuned for
};

constexpr SEnemyShape SMALL_SHAPE = {4, 6.0f, 4.0f, 0, 0, 0.0f, 0.0f, 0, 0.0f, 0, 70.0f, 0.5f};
constexpr SEnemyShape MEDIUM_SHAPE = {6, 8.0f, 6.0f, 1, 8, 14.0f, 3.0f, 0, 2.0f, 1, 80.0f, 0.75f};
constexpr SEnemyShape LARGE_SHAPE = {8, 12.0f, 9.0f, 2, 12, 22.0f, 4.0f, 1, 1.0f, 2, 90.0f, 1.0f};

const SEnemyShape& shapeOf(u32 category) {
    switch (category) {
        case E_GENCAT_ENEMY_SMALL: return SMALL_SHAPE;
        case E_GENCAT_ENEMY_MEDIUM: return MEDIUM_SHAPE;
        case E_GENCAT_ENEMY_LARGE: return LARGE_SHAPE;
        default: fatalErrorf("enemy generator of category %u", category);
    }
}

f32 vary(ClRandObjSFMT* random, f32 value) { return random ? random->randomAround(value, 0.1f) : value; }

// The bullet block the enemy gun reads from its node; the gun copies it into every bullet. The
// gun lets its bullet go once the bullet's look reports it ready, which only the converging ray
// look does.
void emitGunBlock(ClDNAProgram* program, const SEnemyShape& shape, u32 difficulty) {
    program->emitParamFloat("GunRate", shape.gunRate);
    program->emitParamInt("GunPel", 1);
    program->emitParamInt("GunPat", 0);
    program->emitParamInt("MyBullGen", s32(crc32TextNoCase(ENEMY_BULLET_GENERATOR)));
    program->emitParamInt("BullType", ENEMY_GUN_BULLET_TYPE);
    program->emitParamInt("BullLev", s32(difficulty));
    program->emitParamFloat("BullRad", 2.0f);
    program->emitParamFloat("BullRndRad", 1.5f);
    program->emitParamFloat("BullDmg", 1.0f);
    program->emitParamFloat("BullVel", shape.bulletSpeed);
    program->emitParamFloat("BullVelVar", 0.1f);
    program->emitParamInt("BullCol", s32(0xFFFF6020u));
    program->emitParamInt("BullFlag", 0);
}

}  // namespace

SGeneratorParams defaultGeneratorParams() { return SGeneratorParams{0, 0.0f}; }

ClDNAGen_Enemy::ClDNAGen_Enemy(u32 category, const char* name) : ClDNAGenerator(category, name) { shapeOf(category); }

ClDNAProgram* ClDNAGen_Enemy::generate(ClRandObjSFMT* random, const SGeneratorParams* params) {
    const SGeneratorParams block = params ? *params : defaultGeneratorParams();
    const SEnemyShape& shape = shapeOf(getCategory());
    const bool armed = random && block.gunShare > 0.0f && random->randomUnitFloat() < block.gunShare;

    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->generator = this;
    const f32 radius = vary(random, shape.hullRadius);
    program->geometries.push(buildBipyramidMesh(shape.hullSides, radius, shape.hullHeight, shape.hullHeight));
    const bool ringed = shape.ringRadius > 0.0f;
    if (ringed) {
        program->geometries.push(buildPrismMesh(shape.ringSides, false, vary(random, shape.ringRadius),
                                                shape.ringHeight, false, true, true, nullptr, nullptr));
    }

    const ClMatrix44 identity;
    program->emitNewNode(identity);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_FOLLOW_PATH);
    program->emitAddProcessor(E_PROC_FLICKER_WHEN_DAMAGED);
    if (armed) {
        emitGunBlock(program, shape, block.difficulty);
        program->emitAddProcessor(E_PROC_ENEMY_GUN);
    }
    const u32 hull = program->emitNewAtom(E_ATOM_BODY, 0, identity, shape.hullHitClass);
    program->emitAtomConfigure(shape.lookVariant);
    program->emitRegisterAtom();
    if (ringed) {
        program->emitNewNode(identity);
        program->emitParamFloat("delay", random ? random->randomFloatInRange(0.0f, 6.2831853f) : 0.0f);
        program->emitParamFloat("rotspeed1", vary(random, shape.spinSpeed));
        program->emitParamVector("axis1", 0.0f, 1.0f, 0.0f, 0.0f);
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitAddProcessor(E_PROC_ROTATOR);
        program->emitNewAtom(E_ATOM_BODY, 1, identity, shape.ringHitClass);
        program->emitAtomConfigure(shape.lookVariant);
        // The outer part goes down with the hull.
        program->emitLinkToAtom(hull);
        program->emitCloseNode();
    }
    program->emitCloseNode();
    program->applyConstructionCost(getCategory());
    return program;
}
