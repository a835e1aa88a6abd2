#include "world/effects/backdrop_rails.h"

#include "core/matrix44.h"
#include "render/geometry_mesh.h"
#include "render/mesh_builders.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"

namespace {

constexpr f32 PI = 3.14159265358979f;
constexpr f32 RAIL_FAR_Z = -400.0f;
constexpr f32 RAIL_NEAR_Z = 400.0f;
constexpr f32 RAIL_RADIUS = 4.0f;
constexpr u32 RAIL_SIDES = 4;
constexpr f32 ARENA_WIDTH = 325.0f;
constexpr u32 UPDATE_WORLD_FRAMES_PROCESSOR = 0;

ClDNAProgram* g_pRailsProgram = nullptr;
// Held by reference: a world shut down before the backdrop is released has freed the entity and
// its pool already.
SEntityRef g_rails;

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 m;
    m.setIdentity();
    m.setTranslationXYZ(x, y, z);
    return m;
}

// The prism is built along y, centred; a quarter turn about x lays it along z, and half its
// length forward puts it between its node's z and z + 185.
ClMatrix44 railPieceMatrix(f32 x) {
    ClMatrix44 m;
    m.setIdentity();
    m.setRotationAxisAngle(ClVec3(1.0f, 0.0f, 0.0f), PI / 2.0f);
    m.setTranslationXYZ(x, 0.0f, BACKDROP_RAIL_PIECE_LENGTH / 2.0f);
    return m;
}

ClDNAProgram* writeRailsProgram() {
    ClDNAProgram* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_BACKDROP;
    program->geometries.push(buildPrismMesh(RAIL_SIDES, true, RAIL_RADIUS, BACKDROP_RAIL_PIECE_LENGTH, false, true, true,
                                            nullptr, nullptr));
    program->emitNewNode(translation(0.0f, 0.0f, 0.0f));
    for (u32 piece = 0; piece < BACKDROP_RAIL_PIECE_COUNT; ++piece) {
        program->emitNewNode(translation(0.0f, 0.0f, RAIL_FAR_Z + f32(piece) * BACKDROP_RAIL_PIECE_LENGTH));
        program->emitAddProcessor(UPDATE_WORLD_FRAMES_PROCESSOR);
        program->emitNewAtom(E_ATOM_BODY, 0, railPieceMatrix(0.0f), 0);
        program->emitNewAtom(E_ATOM_BODY, 0, railPieceMatrix(ARENA_WIDTH), 0);
        program->emitCloseNode();
    }
    program->emitCloseNode();
    return program;
}

}  // namespace

void buildBackdropRails() {
    releaseBackdropRails();
    if (!isWorldReady()) return;
    g_pRailsProgram = writeRailsProgram();
    ClEntity* rails = allocEntity(OWNER_LIVE_GAME);
    rails->buildFromDNA(g_pRailsProgram);
    // Whole and shown, but in no list: the world neither updates nor draws it a second time.
    rails->setState(E_ENTITY_SPAWNED);
    broadcastSpawn(rails->root);
    rails->refreshWorldFrames();
    g_rails = makeEntityRef(rails);
}

void moveBackdropRails(f32 scrollStep) {
    ClEntity* rails = entityRefGet(g_rails);
    if (!rails) return;
    const f32 wrap = f32(rails->root->children.count) * BACKDROP_RAIL_PIECE_LENGTH;
    for (ClEntityNode* piece : rails->root->children) {
        f32& z = piece->localMatrix.m[14];
        z += scrollStep;
        if (z >= RAIL_NEAR_Z) z -= wrap;
    }
    rails->refreshWorldFrames();
    rails->update();
}

void drawBackdropRails() {
    if (ClEntity* rails = entityRefGet(g_rails)) rails->draw();
}

void releaseBackdropRails() {
    if (ClEntity* rails = entityRefGet(g_rails)) freeEntity(rails);
    g_rails = SEntityRef();
    if (g_pRailsProgram) {
        g_pRailsProgram->release();
        delete g_pRailsProgram;
        g_pRailsProgram = nullptr;
    }
}
