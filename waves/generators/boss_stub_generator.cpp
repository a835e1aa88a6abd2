#include "waves/generators/boss_stub_generator.h"

#include "core/matrix44.h"
#include "render/mesh_builders.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"

namespace {

constexpr u32 BOSS_STUB_HIT_CLASS = 4;

}  // namespace

ClDNAGen_BossStub::ClDNAGen_BossStub() : ClDNAGenerator(E_GENCAT_BOSS, BOSS_STUB_GENERATOR) {}

ClDNAProgram* ClDNAGen_BossStub::generate(ClRandObjSFMT*, const SGeneratorParams*) {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->generator = this;
    program->geometries.push(buildBipyramidMesh(8, 30.0f, 20.0f, 20.0f));
    const ClMatrix44 identity;
    program->emitNewNode(identity);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitNewAtom(E_ATOM_BODY, 0, identity, BOSS_STUB_HIT_CLASS);
    program->emitRegisterAtom();
    program->emitCloseNode();
    return program;
}
