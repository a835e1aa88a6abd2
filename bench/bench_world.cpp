// The world's game step with a crowded arena: 2,000 enemies standing on a grid over the play
// area and 8,000 player bullets (the player gun's own bullet program and processor) flying through
// it in every direction. One step is the buffer flip, the entity update, the collision pass with
// its contacts and kill queue, and the flushes; the second benchmark adds the draw walk, which
// fills the draw lists on the null renderer (nothing is drawn; the lists are emptied between
// steps); the third times the draw walk alone, each step run outside the timing. Bullets that
// hit (the enemies cannot die) or leave are replaced between steps, outside the timing, so that
// every step sees the same crowd. One core: nothing here starts a thread.
#include <benchmark/benchmark.h>

#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/matrix44.h"
#include "core/name_hash.h"
#include "core/packages.h"
#include "core/random.h"
#include "platform/gfx/gfx_device.h"
#include "render/draw_lists.h"
#include "render/geometry_mesh.h"
#include "render/materials.h"
#include "render/render_worker.h"
#include "render/shader.h"
#include "render/texture.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"
#include "world/collision/world_collision.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/generators/dna_generator.h"
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

// As the player gun fires them: the shared program, then the gun's bullet block in the root.
void addBullet(ClDNAProgram* program) {
    const f32 angle = randomFloatInRange(0.0f, 6.2831853f);
    const ClVec3 at(randomFloatInRange(0.0f, kArenaWidth), 0.0f, randomFloatInRange(0.0f, kArenaDepth));
    ClEntity* bullet = enter(program, at, ClVec3(std::cos(angle), 0.0f, std::sin(angle)));
    SBulletParams params = {};
    params.myBullGen = s32(crc32TextNoCase("DefBullGen"));
    params.bullRad = 1.0f;
    params.bullRndRad = 1.0f;
    params.bullDmg = 1.0f;
    params.bullVel = kBulletSpeed;
    params.bullCol = s32(0xFF00FF00u);
    copyBulletParamsToBullet(bullet->root, params);
    bullet->broadcastRefresh();
}

constexpr u32 kProducerHalf = 1;

// The data directory the build wrote and the null device: the effects, textures and materials the
// atoms draw with. False when the data cannot be mounted.
bool startRenderData() {
    fileLayerInit();
    packagesInit();
    setDataDir(VELODRIX_BUILD_DATA_DIR "/");
    if (archiveMount("ASPEC", 4, nullptr) != 1u) return false;
    SGfxDeviceParams params;
    params.backend = E_GFX_BACKEND_NULL;
    params.width = 320;
    params.height = 200;
    if (gfxCreateDevice(params) != E_GFX_OK) return false;
    initShaderRegistry();
    initTextureTable();
    initMaterialPools();
    resetRenderFlipIndex();
    clearDrawListHalf(kProducerHalf);
    return true;
}

void stopRenderData() {
    clearDrawListHalf(kProducerHalf);
    releaseAllMaterials();
    destroyAllTextures();
    releaseShaderRegistry();
    if (gfxDeviceExists()) gfxDestroyDevice();
    packagesShutdown();
    fileLayerShutdown();
    setDataDir("");
}

u32 countKind(u32 kind) {
    u32 n = 0;
    for (u32 i = 0; i < entityListCount(E_LIST_ACTIVATED); ++i)
        if (entityListAt(E_LIST_ACTIVATED, i)->program->kind == kind) ++n;
    return n;
}

enum EMeasured { E_MEASURE_STEP, E_MEASURE_STEP_AND_DRAW, E_MEASURE_DRAW };

void runWorldSteps(benchmark::State& state, EMeasured measured) {
    critSectionPoolInit();
    if (!startRenderData()) {
        state.SkipWithError("the built data or the null device is missing");
        return;
    }
    sfmtInitGenRand(1234);
    setClockDelta(GAME_CLOCK_GAMEPLAY, kStep);
    initWorld();
    initHitEffects();
    registerBulletGenerators();
    ClDNAProgram* enemy = enemyProgram();
    ClDNAProgram* bullet = generatorFindOrDie(E_GENCAT_PLAYER_BULLET, "DefBullGen")->getSharedProgram();
    constexpr u32 kColumns = 50;
    for (u32 i = 0; i < kEnemies; ++i) {
        const f32 x = (f32(i % kColumns) + 0.5f) * kArenaWidth / f32(kColumns);
        const f32 z = (f32(i / kColumns) + 0.5f) * kArenaDepth / f32(kEnemies / kColumns);
        enter(enemy, ClVec3(x, 0.0f, z), ClVec3(1.0f, 0.0f, 0.0f));
    }
    for (u32 i = 0; i < kBullets; ++i) addBullet(bullet);

    u64 replaced = 0;
    u64 commands = 0;
    for (auto _ : state) {
        if (measured == E_MEASURE_DRAW) state.PauseTiming();
        flipFrameBuffers();
        worldStep();
        if (measured == E_MEASURE_DRAW) state.ResumeTiming();
        if (measured != E_MEASURE_STEP) drawLiveEntities();
        state.PauseTiming();
        const SDrawListCounts drawn = drawListCounts(kProducerHalf);
        commands += drawn.sprites + drawn.lines + drawn.gradientLines + drawn.quads;
        clearDrawListHalf(kProducerHalf);
        for (u32 n = countKind(E_PROGRAM_PLAYER_SHOT); n < kBullets; ++n, ++replaced) addBullet(bullet);
        state.ResumeTiming();
    }
    if (countKind(E_PROGRAM_ENEMY) != kEnemies) state.SkipWithError("an enemy was lost");
    state.counters["bullets_replaced_per_step"] =
        benchmark::Counter(f64(replaced) / f64(state.iterations()));
    state.counters["draw_commands_per_step"] = benchmark::Counter(f64(commands) / f64(state.iterations()));

    releaseHitEffects();
    shutdownWorld();
    unregisterBulletGenerators();
    enemy->release();
    delete enemy;
    stopRenderData();
}

void BM_WorldStep(benchmark::State& state) { runWorldSteps(state, E_MEASURE_STEP); }
void BM_WorldStepAndDraw(benchmark::State& state) { runWorldSteps(state, E_MEASURE_STEP_AND_DRAW); }
void BM_DrawWalk(benchmark::State& state) { runWorldSteps(state, E_MEASURE_DRAW); }
BENCHMARK(BM_WorldStep)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_WorldStepAndDraw)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DrawWalk)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
