// The bomb: one spiked body whose death, when the player kills it, is a blast that hurts a ship
// within "exp_rad".
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

constexpr f32 BOMB_BLAST_RADIUS = 45.0f;
constexpr f32 BOMB_BLAST_DAMAGE = 100.0f;

void writeBomb(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 body = s32(program->geometries.count);
    program->geometries.push(buildBipyramidMesh(8, 6.0f, 7.0f, 7.0f));
    program->emitParamFloat("exp_rad", BOMB_BLAST_RADIUS);
    program->emitParamFloat("exp_dmg", BOMB_BLAST_DAMAGE);
    program->emitAddProcessor(E_PROC_EXPLODE_WHEN_I_DIE);
    program->emitNewAtom(E_ATOM_BODY, body, ClMatrix44(), 0);
    program->emitAtomConfigure(2);
    program->emitRegisterAtom();
}
