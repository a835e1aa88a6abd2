// The crawler: five blocks on a 15-unit grid; the first is its main atom, and the others, paired
// with it, fall with it.
#include "render/mesh_builders.h"
#include "waves/generators/family_generators.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/processor.h"
#include "world/processors/crawler_flower.h"

void writeCrawler(ClDNAProgram* program, ClRandObjSFMT*) {
    const s32 block = s32(program->geometries.count);
    program->geometries.push(buildBoxMesh(6.5f, 6.5f, 6.5f));
    program->emitAddProcessor(E_PROC_ENEMY_CRAWLER);
    const f32 cells[5][2] = {{0.0f, 0.0f}, {CRAWLER_CELL, 0.0f}, {-CRAWLER_CELL, 0.0f}, {0.0f, CRAWLER_CELL},
                             {0.0f, -CRAWLER_CELL}};
    u32 head = 0;
    for (u32 i = 0; i < 5; ++i) {
        const u32 atom = program->emitNewAtom(E_ATOM_BODY, block, familyTranslation(cells[i][0], 0.0f, cells[i][1]), 0);
        program->emitAtomConfigure(1);
        if (i == 0) {
            head = atom;
            program->emitRegisterAtom();
        } else {
            program->emitPairWithAtom(head);
        }
    }
}
