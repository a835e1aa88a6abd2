// The flower: a bud with five stems a fifth of a turn apart, each holding one petal that points
// out along the stem. Each petal node records the instruction that opens it, so a thrown petal
// can grow again from the program.
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

namespace {

constexpr u32 PETALS = 5;
constexpr f32 FIFTH_TURN = 1.2566371f;

}  // namespace

void writeFlower(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 bud = s32(program->geometries.count);
    program->geometries.push(buildBipyramidMesh(6, 7.0f, 5.0f, 5.0f));
    program->geometries.push(buildDartMesh(6.0f, 2.0f));
    program->emitParamInt("openonact", 1);
    program->emitParamInt("fireptrn", 0);
    program->emitAddProcessor(E_PROC_ENEMY_FLOWER);
    const u32 centre = program->emitNewAtom(E_ATOM_BODY, bud, ClMatrix44(), 1);
    program->emitAtomConfigure(1);
    program->emitRegisterAtom();
    for (u32 p = 0; p < PETALS; ++p) {
        program->emitNewNode(familyYaw(FIFTH_TURN * f32(p)));
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        const s32 opening = s32(program->instructions.count);
        program->emitNewNode(ClMatrix44());
        program->emitNameNode("petal");
        program->emitParamInt("DNAInstr", opening);
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_BODY, bud + 1, familyTranslation(14.0f, 0.0f, 0.0f), 0);
        program->emitAtomConfigure(0);
        program->emitPairWithAtom(centre);
        program->emitCloseNode();
        program->emitCloseNode();
    }
}
