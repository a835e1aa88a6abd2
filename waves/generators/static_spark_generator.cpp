// The static spark: one small body; its processor draws the bolt and pans the music.
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

void writeStaticSpark(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 body = s32(program->geometries.count);
    program->geometries.push(buildBipyramidMesh(3, 5.0f, 6.0f, 6.0f));
    program->emitAddProcessor(E_PROC_ENEMY_STATIC_SPARK);
    program->emitNewAtom(E_ATOM_BODY, body, ClMatrix44(), 0);
    program->emitAtomConfigure(2);
    program->emitRegisterAtom();
}
