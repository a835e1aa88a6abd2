// The cube station: a core with four branches a quarter turn apart; two opposite branches carry
// a head shield, so the station keeps a shielded branch towards the ship.
#include "core/rand_obj.h"
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

namespace {

constexpr u32 BRANCHES = 4;
constexpr f32 QUARTER_TURN = 1.5707964f;

}  // namespace

void writeCubeStation(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 core = s32(program->geometries.count);
    program->geometries.push(buildBoxMesh(9.0f, 9.0f, 9.0f));
    program->geometries.push(buildBoxMesh(7.0f, 4.0f, 4.0f));
    program->geometries.push(buildBoxMesh(2.5f, 8.0f, 8.0f));
    program->emitParamInt("cs_agg", 1);
    program->emitParamFloat("cs_rotsp", 1.0f);
    program->emitAddProcessor(E_PROC_ENEMY_CUBE_STATION);
    const u32 hub = program->emitNewAtom(E_ATOM_BODY, core, ClMatrix44(), 2);
    program->emitAtomConfigure(2);
    program->emitRegisterAtom();
    for (u32 b = 0; b < BRANCHES; ++b) {
        program->emitNewNode(familyYaw(QUARTER_TURN * f32(b)));
        program->emitNameNode("branch");
        program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        program->emitNewAtom(E_ATOM_BODY, core + 1, familyTranslation(16.0f, 0.0f, 0.0f), 1);
        program->emitAtomConfigure(1);
        program->emitPairWithAtom(hub);
        if (b % 2 == 0) {
            program->emitNewNode(familyTranslation(26.0f, 0.0f, 0.0f));
            program->emitParamInt("hd_sh_mov", 0);
            program->emitParamFloat("hd_sh_piv", 0.0f);
            program->emitParamFloat("hd_sh_apb", 0.0f);
            program->emitParamFloat("hd_sh_def", 10.0f);
            program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
            program->emitAddProcessor(E_PROC_ENEMY_HEAD_SHIELD);
            program->emitNewAtom(E_ATOM_BODY, core + 2, ClMatrix44(), 1);
            program->emitAtomConfigure(1);
            program->emitPairWithAtom(hub);
            program->emitCloseNode();
        }
        program->emitCloseNode();
    }
}
