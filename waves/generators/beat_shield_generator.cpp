// The beat shield: a core, a turret of three lamps (the first child node) and four plates round
// it (the other children), each plate standing out along its node's x axis.
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

namespace {

constexpr u32 PLATES = 4;

}  // namespace

void writeBeatShield(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 core = s32(program->geometries.count);
    program->geometries.push(buildPrismMesh(8, false, 8.0f, 6.0f, true, true, true, nullptr, nullptr));
    program->geometries.push(buildBoxMesh(2.5f, 2.5f, 2.5f));
    program->geometries.push(buildBoxMesh(2.0f, 5.0f, 9.0f));
    program->emitAddProcessor(E_PROC_ENEMY_BEAT_SHIELD);
    const u32 hub = program->emitNewAtom(E_ATOM_BODY, core, ClMatrix44(), 1);
    program->emitAtomConfigure(1);
    program->emitRegisterAtom();

    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    for (u32 lamp = 0; lamp < 3; ++lamp) {
        program->emitNewAtom(E_ATOM_BODY, core + 1, familyTranslation(6.0f + 5.0f * f32(lamp), 4.0f, 0.0f), 0);
        program->emitAtomConfigure(2);
        program->emitPairWithAtom(hub);
    }
    program->emitCloseNode();
    for (u32 plate = 0; plate < PLATES; ++plate) {
        program->emitNewNode(ClMatrix44());
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_BODY, core + 2, familyTranslation(18.0f, 0.0f, 0.0f), 1);
        program->emitAtomConfigure(1);
        program->emitPairWithAtom(hub);
        program->emitCloseNode();
    }
}
