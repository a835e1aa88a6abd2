// The world's game step with a crowded arena: 2,000 enemies standing on a grid over the play
// area and 8,000 player bullets flying through it in every direction. One step is the buffer flip,
// the entity update, the collision pass with its contacts and kill queue, and the flushes. Bullets
// that hit (the enemies cannot die) or leave are replaced between steps, outside the timing, so
// that every step sees the same crowd. One core: nothing here starts a thread.
#include <benchmark/benchmark.h>

#include "core/game_clock.h"
#include "core/matrix44.h"
#include "core/random.h"
#include "render/geometry_mesh.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/world_step.h"

#include <cmath>
#include <vector>

namespace {

constexpr u32 kEnemies = 2000;
constexpr u32 kBullets = 8000;
constexpr f32 kStep = 1.0f / 60.0f;
constexpr f32 kArenaWidth = 325.0f;
constexpr f32 kArenaDepth = 269.75f;
constexpr f32 kBulletSpeed = 300.0f;
// Hit-point class with the largest float: bullets only ever damage these enemies.
constexpr u32 kImmortalClass = 6;

ClGeometryMesh* ringMesh() {
    auto* mesh = new ClGeometryMesh();
    mesh->init();
    const u32 centre = mesh->addVertex(ClVec3(0.0f, 0.0f, 0.0f));
    constexpr u32 kSides = 6;
    for (u32 i = 0; i < kSides; ++i) {
        const f32 a = 6.2831853f * f32(i) / f32(kSides);
        mesh->addVertex(ClVec3(2.5f * std::cos(a), 0.0f, 2.5f * std::sin(a)));
    }
    for (u32 i = 0; i < kSides; ++i) {
        mesh->addEdge(centre + 1 + i, centre + 1 + (i + 1) % kSides);
        mesh->addTriangle(centre, centre + 1 + (i + 1) % kSides, centre + 1 + i);
    }
    mesh->finishBounds();
    return mesh;
}

ClDNAProgram* enemyProgram() {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_ENEMY;
    program->geometries.push(ringMesh());
    const ClMatrix44 identity;
    program->emitNewNode(identity);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitNewAtom(E_ATOM_BODY, 0, identity, kImmortalClass);
    program->emitRegisterAtom();
    program->emitCloseNode();
    return program;
}

ClDNAProgram* bulletProgram() {
    auto* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_PLAYER_SHOT;
    const ClMatrix44 identity;
    program->emitNewNode(identity);
    program->emitParamFloat("vel", kBulletSpeed);
    program->emitParamInt("MyBullGen", 0);
    program->emitParamInt("BullType", 0);
    program->emitParamInt("BullLev", 0);
    program->emitParamFloat("BullRad", 1.0f);
    program->emitParamFloat("BullRndRad", 1.0f);
    program->emitParamFloat("BullDmg", 1.0f);
    program->emitParamFloat("BullVel", kBulletSpeed);
    program->emitParamFloat("BullVelVar", 0.0f);
    program->emitParamInt("BullCol", s32(0xFF00FF00u));
    program->emitParamInt("BullFlag", 0);
    program->emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
    program->emitAddProcessor(E_PROC_GO_STRAIGHT);
    program->emitNewAtom(E_ATOM_BULLET, -1, identity, 0);
    program->emitRegisterAtom();
    program->emitCloseNode();
    return program;
}

// Both transform buffers at the pose, so the first sweep starts where the entity stands.
void place(ClEntity* entity, const ClVec3& at, const ClVec3& facing) {
    for (u32 i = 0; i < 2; ++i) {
        entity->setRootPosition(at);
        entity->setFacing(facing, ClVec3(0.0f, 1.0f, 0.0f));
        flipFrameBuffers();
    }
}

ClEntity* enter(ClDNAProgram* program, const ClVec3& at, const ClVec3& facing) {
    ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
    entity->buildFromDNA(program);
    entity->root->resetAtoms();
    entity->spawn();
    entity->activate();
    place(entity, at, facing);
    return entity;
}

void addBullet(ClDNAProgram* program) {
    const f32 angle = randomFloatInRange(0.0f, 6.2831853f);
    const ClVec3 at(randomFloatInRange(0.0f, kArenaWidth), 0.0f, randomFloatInRange(0.0f, kArenaDepth));
    enter(program, at, ClVec3(std::cos(angle), 0.0f, std::sin(angle)));
}

u32 countKind(u32 kind) {
    u32 n = 0;
    for (u32 i = 0; i < entityListCount(E_LIST_ACTIVATED); ++i)
        if (entityListAt(E_LIST_ACTIVATED, i)->program->kind == kind) ++n;
    return n;
}

void BM_WorldStep(benchmark::State& state) {
    sfmtInitGenRand(1234);
    setClockDelta(GAME_CLOCK_GAMEPLAY, kStep);
    initWorld();
    initHitEffects();
    ClDNAProgram* enemy = enemyProgram();
    ClDNAProgram* bullet = bulletProgram();
    constexpr u32 kColumns = 50;
    for (u32 i = 0; i < kEnemies; ++i) {
        const f32 x = (f32(i % kColumns) + 0.5f) * kArenaWidth / f32(kColumns);
        const f32 z = (f32(i / kColumns) + 0.5f) * kArenaDepth / f32(kEnemies / kColumns);
        enter(enemy, ClVec3(x, 0.0f, z), ClVec3(1.0f, 0.0f, 0.0f));
    }
    for (u32 i = 0; i < kBullets; ++i) addBullet(bullet);

    u64 replaced = 0;
    for (auto _ : state) {
        worldStep(nullptr);
        state.PauseTiming();
        for (u32 n = countKind(E_PROGRAM_PLAYER_SHOT); n < kBullets; ++n, ++replaced) addBullet(bullet);
        state.ResumeTiming();
    }
    if (countKind(E_PROGRAM_ENEMY) != kEnemies) state.SkipWithError("an enemy was lost");
    state.counters["bullets_replaced_per_step"] =
        benchmark::Counter(f64(replaced) / f64(state.iterations()));

    releaseHitEffects();
    shutdownWorld();
    for (ClDNAProgram* program : {enemy, bullet}) {
        program->release();
        delete program;
    }
}
BENCHMARK(BM_WorldStep)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
