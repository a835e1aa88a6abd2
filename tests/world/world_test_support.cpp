#include "tests/world/world_test_support.h"

#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "core/name_hash.h"
#include "core/game_clock.h"
#include "core/script_cache.h"
#include "render/flipbook_table.h"
#include "ui/widget.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"
#include "world/collision/contact.h"
#include "world/collision/contact_handlers.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/generators/dna_generator.h"
#include "world/play/boss_meter.h"
#include "world/play/guardian_sequence.h"
#include "world/play/player_state.h"
#include "world/processors/beat_subscribers.h"
#include "world/services/world_imports.h"
#include "world/state/boss_encounter.h"
#include "world/state/play_record.h"

#include <cmath>
#include <cstring>

namespace world_test {

void resetPlayRecord() {
    std::memset(&g_PlayRecord, 0, sizeof(g_PlayRecord));
    g_PlayRecord.barrelPhaseCount = 1;
}

void startTestWorld() {
    critSectionPoolInit();
    initWorld();
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
    registerBulletGenerators();
    resetPlayerStates();
    resetBeatAnalysis();
    resetBeatSubscriptions();
    g_BossEncounter = SBossEncounter{};
    setSongTime(0.0f);
    initHitEffects();
}

void stopTestWorld() {
    releaseHitEffects();
    setPlayerShip(0, nullptr);
    shutdownWorld();
    releaseBeatAnalysis();
    unregisterBulletGenerators();
    setSongTime(0.0f);
}

void WorldTest::SetUp() {
    test_support::FatalThrowingTest::SetUp();
    startTestWorld();
}

void WorldTest::TearDown() {
    stopTestWorld();
    test_support::FatalThrowingTest::TearDown();
}

bool openEncounterStage() {
    sfmtInitGenRand(19);
    configClear();
    scriptRegistriesInit();
    initFlipbookTable();
    loadFlipbook(GUARDIAN_EYE_FLIPBOOK, 15.0f);
    setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
    if (initAudioEngine(0) != 1 || loadSoundBank("ZUNO_SFX", 0) != 1) return false;
    initWidgetRegistry();
    for (const char* name : {"boss_meter_background", "boss_meter_highlight", "boss_meter_color_highlight",
                             "boss_meter_icon", "boss_escaped"})
        createWidget(name)->setVisibleQuietly(false);
    return true;
}

void installEncounter(const SBossEncounterHooks* hooks) {
    g_BossEncounter = SBossEncounter{};
    resetPlayRecord();
    resetGuardianSequence();
    SWorldImports imports = worldImports();
    imports.bossEncounter = hooks;
    setWorldImports(&imports);
    installBossEncounter();
}

void closeBossStage() {
    releaseGuardianSequence();
    uninstallBossEncounter();
    // Only the encounter's member: the stage's owner still releases its programs' wave plans
    // through the rest of the record.
    SWorldImports imports = worldImports();
    imports.bossEncounter = nullptr;
    setWorldImports(&imports);
    shutdownWorld();
    releaseWidgetRegistry();
    shutdownAudioEngine();
    setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
    releaseAllFlipbooks();
    freeAllScripts();
    configFree();
}

ClEntity* awaitBoss(ClDNAProgram* program, const char* name, f32 arrival) {
    SBossEncounter& e = g_BossEncounter;
    std::strcpy(e.bossName, name);
    std::strcpy(e.introSoundName, "SG_InGameIntro_Boss");
    e.entity = makeEntityRef(buildEntity(program));
    e.barLastValue = 1.0f;
    e.phaseTimer = arrival;
    return bossEntity();
}

f32 cueSeconds(const char* name) {
    const SCueHandle cue = playCueHeld(name);
    const f32 seconds = getCueDuration(cue);
    stopCue(cue, 0.0f);
    return seconds;
}

void playBossFrame() {
    setSongTime(currentSongTime() + 1.0f / 60.0f);
    updateBossEncounter();
    updateGuardianEvents();
    flipFrameBuffers();
    deliverDueBeats();
    updateLiveEntities();
    processKillQueue();
    flushDestroyedEntities();
    flushFreedEntities();
}

void playUntil(f32 songTime, void (*frame)()) {
    while (currentSongTime() < songTime) frame();
}

void playUntilPhase(s32 phase, void (*frame)()) {
    for (int i = 0; i < 60 * 300 && g_BossEncounter.phase != phase; ++i) frame();
}

void SProgramRelease::operator()(ClDNAProgram* program) const {
    program->release();
    delete program;
}

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 matrix;
    matrix.setTranslationXYZ(x, y, z);
    return matrix;
}

ClGeometryMesh* makeRingMesh(u32 edges, f32 radius) {
    auto* mesh = new ClGeometryMesh();
    mesh->init();
    const u32 centre = mesh->addVertex(ClVec3(0.0f, 0.0f, 0.0f));
    for (u32 i = 0; i < edges; ++i) {
        const f32 a = 6.2831853f * f32(i) / f32(edges);
        mesh->addVertex(ClVec3(radius * std::cos(a), 0.0f, radius * std::sin(a)));
    }
    for (u32 i = 0; i < edges; ++i) {
        mesh->addEdge(centre + 1 + i, centre + 1 + (i + 1) % edges);
        mesh->addTriangle(centre, centre + 1 + (i + 1) % edges, centre + 1 + i);
    }
    mesh->finishBounds();
    return mesh;
}

DnaWriter::DnaWriter(u32 kind) {
    program.init();
    program.kind = kind;
}

DnaWriter::~DnaWriter() { program.release(); }

s32 DnaWriter::addGeometry(ClGeometryMesh* mesh) {
    program.geometries.push(mesh);
    return s32(program.geometries.count - 1);
}

DnaWriter& DnaWriter::node(const char* name, const ClMatrix44& local) {
    program.emitNewNode(local);
    if (name) program.emitNameNode(name);
    return *this;
}

DnaWriter& DnaWriter::close() {
    program.emitCloseNode();
    return *this;
}

DnaWriter& DnaWriter::param(const char* name, s32 value) {
    program.emitParamInt(name, value);
    return *this;
}

DnaWriter& DnaWriter::param(const char* name, f32 value) {
    program.emitParamFloat(name, value);
    return *this;
}

DnaWriter& DnaWriter::param(const char* name, const char* text) {
    program.emitParamString(name, text);
    return *this;
}

DnaWriter& DnaWriter::processor(u32 typeId) {
    program.emitAddProcessor(typeId);
    return *this;
}

u32 DnaWriter::atom(u32 kind, s32 geometryIndex, u32 hitPointClass, const ClMatrix44& local) {
    return program.emitNewAtom(kind, geometryIndex, local, hitPointClass);
}

u32 DnaWriter::namedAtom(u32 kind, const char* name, const ClMatrix44& local) {
    const u32 index = atom(kind, -1, 0, local);
    program.emitNameAtom(name);
    return index;
}

u32 DnaWriter::mainBody(s32 geometryIndex, u32 hitPointClass) {
    const u32 index = atom(E_ATOM_BODY, geometryIndex, hitPointClass);
    program.emitRegisterAtom();
    return index;
}

DnaWriter& DnaWriter::bulletBlock(const char* generator, s32 type, f32 speed, f32 speedVariation, f32 damage) {
    param("MyBullGen", s32(crc32TextNoCase(generator))).param("BullType", type).param("BullLev", 0);
    param("BullRad", 2.0f).param("BullRndRad", 2.0f).param("BullDmg", damage).param("BullVel", speed);
    return param("BullVelVar", speedVariation).param("BullCol", -1).param("BullFlag", 0);
}

ClEntity* buildEntity(ClDNAProgram* program, s32 ownerTag) {
    ClEntity* entity = allocEntity(ownerTag);
    entity->buildFromDNA(program);
    return entity;
}

ClEntity* spawnActiveEntity(ClDNAProgram* program) {
    ClEntity* entity = buildEntity(program);
    entity->root->resetAtoms();
    entity->spawn();
    entity->activate();
    return entity;
}

ClEntity* spawnActiveEntity(ClDNAProgram* program, const ClVec3& at) {
    ClEntity* entity = spawnActiveEntity(program);
    entity->setRootPosition(at);
    return entity;
}

void stepWorld(f32 frameTime) {
    setClockDelta(GAME_CLOCK_GAMEPLAY, frameTime);
    flipFrameBuffers();
    updateLiveEntities();
    flushDestroyedEntities();
    flushFreedEntities();
}

void playSong(f32 seconds) {
    constexpr f32 step = 1.0f / 60.0f;
    for (f32 t = 0.0f; t < seconds - 1e-4f; t += step) {
        setSongTime(currentSongTime() + step);
        deliverDueBeats();
        stepWorld(step);
    }
}

void deliverDueBeats() {
    for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) dispatchBeat(songBeats()[u32(index)], index);
}

u32 liveBeatSubscriptions() {
    SBeatSubscriptionHandle taken[BEAT_SUBSCRIPTION_CAPACITY];
    u32 free = 0;
    while (free < BEAT_SUBSCRIPTION_CAPACITY && (taken[free] = subscribeBeat([](const SBeat&, s32, void*) {}, nullptr, 0))) ++free;
    for (u32 i = 0; i < free; ++i) unsubscribeBeat(taken[i]);
    return BEAT_SUBSCRIPTION_CAPACITY - free;
}

void addBeats(f32 first, f32 spacing, u32 count) {
    for (u32 i = 0; i < count; ++i) pushBeat(&g_aSongBeats, SBeat{first + spacing * f32(i), 1.0f, 0, 0, {}});
}

ClEntity* spawnShip(DnaWriter& dna, const ClVec3& at) {
    dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_GO_STRAIGHT).param("vel", 0.0f).mainBody();
    dna.close();
    ClEntity* ship = spawnActiveEntity(&dna.program, at);
    setPlayerShip(0, ship);
    g_aPlayerState[0].active = 1;
    return ship;
}

ClEntity* spawnPilotedShip(DnaWriter& dna) {
    dna.node().processor(E_PROC_PLAYER_CTRL).mainBody(dna.addGeometry(makeRingMesh(6, 3.0f)));
    dna.close();
    setPlayerShip(0, spawnActiveEntity(&dna.program));
    return playerShip(0);
}

void shootAtom(ClAtom* target, f32 damage) {
    ClEntity* bullet = buildEntity(generatorFindOrDie(E_GENCAT_PLAYER_BULLET, "DefBullGen")->getSharedProgram());
    bullet->root->resetAtoms();
    bullet->spawn();
    copyBulletParamsToBullet(bullet->root, SBulletParams{0, 0, 0, 1.0f, 1.0f, damage, 0.0f, 0.0f, 0, 0});
    const ClVec3 at = target->currentWorldMatrix().getTranslation();
    bullet->setRootPosition(at);
    bullet->activate();
    onBulletHit(SContact{at, ClVec3(0, 0, 1), 0.0f, bullet->root->atoms[0], target});
    processKillQueue();
}

ClVec3 positionOf(const ClEntity* entity) {
    const ClVec4 p = entity->getWorldPosition();
    return ClVec3(p.x, p.y, p.z);
}

std::vector<ClEntity*> liveOfKind(u32 kind) {
    std::vector<ClEntity*> out;
    for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i)
        if (entityListAt(E_LIST_LIVE, i)->program->kind == kind) out.push_back(entityListAt(E_LIST_LIVE, i));
    return out;
}

ClEntity* reuseRecordForDestroyedNewcomer(ClEntity* entity) {
    ClDNAProgram* program = entity->program;
    freeEntity(entity);
    ClEntity* successor = allocEntity(OWNER_LIVE_GAME);
    if (successor != entity) return nullptr;
    successor->buildFromDNA(program);
    successor->spawn();
    successor->activate();
    successor->destroy();
    flushDestroyedEntities();
    return successor;
}

}  // namespace world_test
