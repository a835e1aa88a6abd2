#include "tests/world/atom_test_support.h"

#include "core/fatal_error.h"
#include "render/draw_lists.h"
#include "render/render_worker.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/services/bar_colour_scheme.h"

void NullDrawTest::SetUp() {
    NullDeviceDataTest::SetUp();
    initBarColourScheme();
    resetRenderFlipIndex();
    clearDrawListHalf(PRODUCER_HALF);
}

void NullDrawTest::TearDown() {
    clearDrawListHalf(PRODUCER_HALF);
    NullDeviceDataTest::TearDown();
}

void WorldDrawTest::SetUp() {
    NullDrawTest::SetUp();
    setFatalErrorHook(test_support::throwOnFatal);
    world_test::startTestWorld();
}

void WorldDrawTest::TearDown() {
    world_test::stopTestWorld();
    setFatalErrorHook(nullptr);
    NullDrawTest::TearDown();
}

void PickupWorldTest::SetUp() {
    WorldTest::SetUp();
    world_test::resetPlayRecord();
    resetInspirationPickups();
    generatorRegister(&m_pickup);
}

void PickupWorldTest::TearDown() {
    WorldTest::TearDown();
    generatorUnregisterAll();
}

ClDNAProgram* oneNodeProgram(u32 kind, s32 inspirationScore, s32 atomKind, s32 pattern, ClGeometryMesh* mesh,
                             bool registered) {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = kind;
    program->inspirationScore = inspirationScore;
    if (mesh) program->geometries.push(mesh);
    program->emitNewNode(ClMatrix44());
    if (atomKind >= 0) program->emitNewAtom(u32(atomKind), mesh ? 0 : -1, ClMatrix44(), 5);
    if (pattern > 0) program->emitAtomParamInt("PAT", pattern);
    if (registered) program->emitRegisterAtom();
    program->emitCloseNode();
    return program;
}

void SOneAtomEntity::build(u32 programKind, u32 atomKind, ClGeometryMesh* mesh, s32 pattern) {
    release();
    program = oneNodeProgram(programKind, 0, s32(atomKind), pattern, mesh, true);
    entity = world_test::buildEntity(program);
    entity->root->resetAtoms();
    atom = entity->atoms[0];
}

void SOneAtomEntity::buildBullet(s32 type, s32 level, s32 flag, const ClVec3& at) {
    build(E_PROGRAM_PLAYER_SHOT, E_ATOM_BULLET, nullptr);
    SBulletParams params = {};
    params.bullType = type;
    params.bullLev = level;
    params.bullRad = 2.0f;
    params.bullRndRad = 1.0f;
    params.bullCol = s32(0xFF00FF00u);
    params.bullFlag = flag;
    copyBulletParamsToBullet(entity->root, params);
    placeAt(at);
}

void SOneAtomEntity::placeAt(const ClVec3& position, f32 scale) {
    ClMatrix44 at;
    for (u32 axis = 0; axis < 3; ++axis) at.m[5 * axis] = scale;
    at.setTranslation(position);
    entity->root->setWorldMatrix(at);
    atom->setWorldMatrix(at);
}

void SOneAtomEntity::release() {
    if (entity) freeEntity(entity);
    if (program) {
        program->release();
        delete program;
    }
    entity = nullptr;
    program = nullptr;
    atom = nullptr;
}
