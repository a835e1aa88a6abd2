#include "waves/wave_pool.h"

#include "core/fatal_error.h"
#include "core/rand_obj.h"
#include "audio/play/song_clock.h"
#include "waves/generators/generator_params.h"
#include "waves/generators/staff_arm_generators.h"
#include "waves/pack_registry.h"
#include "waves/session_pickups.h"
#include "waves/wave_families.h"
#include "waves/wave_schedule.h"
#include "world/services/play_area.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/boss_wave_hook.h"

#include <algorithm>
#include <cfloat>

namespace {

// A roaming member's bounce leaves along its flight, at half its class speed.
constexpr s32 ROAM_FRACTION = 2;
constexpr s32 FULL_SPEED = 0;

SWave* g_aWaves = nullptr;
u32 g_uWaveCount = 0;
u32 g_uWaveCapacity = 0;
SWaveMemberLink* g_aMembers = nullptr;
u32 g_uMemberCount = 0;
u32 g_uMemberCapacity = 0;
u32* g_aSpawnOrder = nullptr;  // member indices by spawn time
u32 g_uScheduledCount = 0;     // members in the spawn order
u32 g_uSpawnCursor = 0;
ClArray<u32> g_openWaves;      // spawned, not yet settled
u32* g_aGone = nullptr;        // per member: 1 once seen destroyed

SParamValue vectorValue(const ClVec3& v) {
    SParamValue value{};
    value.setVector(v.x, v.y, v.z, 0.0f);
    return value;
}
SParamValue intValue(s32 i) {
    SParamValue value{};
    value.setInt(i);
    return value;
}
SParamValue floatValue(f32 f) {
    SParamValue value{};
    value.setFloat(f);
    return value;
}

void addSegment(SWaveMember* member, u32 kind, SParamValue a = {}, SParamValue b = {}, SParamValue c = {}) {
    member->segments.push(SMotionSegment{kind, a, b, c});
}

// A patrol: steering (so an entity that faces along its own blend keeps doing so) round the
// corners of a box about the arrival point, held inside the arena.
constexpr f32 PATROL_HALF_X = 60.0f;
constexpr f32 PATROL_HALF_Z = 40.0f;
constexpr f32 PATROL_MARGIN = 20.0f;

ClVec3 patrolPoint(const ClVec3& centre, f32 dx, f32 dz) {
    const f32 x = std::clamp(centre.x + dx, PATROL_MARGIN, PLAY_AREA_WIDTH - PATROL_MARGIN);
    const f32 z = std::clamp(centre.z + dz, PATROL_MARGIN, PLAY_AREA_DEPTH - PATROL_MARGIN);
    return ClVec3(x, 0.0f, z);
}

void writePatrolPath(SWaveMember* member, const SPlannedMember& planned) {
    const ClVec3& a = planned.arrival;
    const ClVec3 corners[4] = {patrolPoint(a, PATROL_HALF_X, 0.0f), patrolPoint(a, 0.0f, PATROL_HALF_Z),
                               patrolPoint(a, -PATROL_HALF_X, 0.0f), patrolPoint(a, 0.0f, -PATROL_HALF_Z)};
    for (const ClVec3& corner : corners) addSegment(member, E_SEG_STEER, vectorValue(corner), intValue(ROAM_FRACTION));
}

// In at full speed, timed, to the arrival point; the arrival; a roam (or a patrol); out at the
// other side.
void writeMemberPath(SWaveMember* member, const SPlannedMember& planned, f32 roamSeconds, bool patrols) {
    member->segments.init();
    ClVec3 heading = planned.arrival - planned.start;
    heading.normalize();
    addSegment(member, E_SEG_START, vectorValue(planned.start));
    addSegment(member, E_SEG_TIMED_MOVE, vectorValue(planned.arrival), vectorValue(heading), intValue(FULL_SPEED));
    addSegment(member, E_SEG_END);
    if (patrols) writePatrolPath(member, planned);
    else addSegment(member, E_SEG_BOUNCE, vectorValue(heading), intValue(ROAM_FRACTION), floatValue(roamSeconds));
    addSegment(member, E_SEG_STEER, vectorValue(planned.exit), intValue(FULL_SPEED));
    addSegment(member, E_SEG_DESTROY);
}

void freeStorage() {
    delete[] g_aWaves;
    delete[] g_aMembers;
    delete[] g_aSpawnOrder;
    delete[] g_aGone;
    g_aWaves = nullptr;
    g_aMembers = nullptr;
    g_aSpawnOrder = nullptr;
    g_aGone = nullptr;
    g_uWaveCount = g_uWaveCapacity = 0;
    g_uMemberCount = g_uMemberCapacity = 0;
    g_uScheduledCount = g_uSpawnCursor = 0;
    g_openWaves.release();
}

void openWave(u32 index) {
    if (!g_openWaves.inUse) g_openWaves.init();
    if (g_openWaves.count >= WAVE_POOL_CAPACITY) fatalErrorf("more than %u waves in play", WAVE_POOL_CAPACITY);
    g_openWaves.push(index);
}

// True once every member is gone; a wave whose members were all killed drops the chain bonus.
bool settleWave(SWave& wave) {
    if (wave.spawnedCount < wave.memberCount) return false;
    bool allKilled = true;
    const ClEntity* lastGone = nullptr;
    for (u32 i = 0; i < wave.memberCount; ++i) {
        const u32 m = wave.firstMember + i;
        // A member the world released by other means counts as gone, not killed.
        const ClEntity* entity = entityRefGet(g_aMembers[m].entity);
        if (!entity) {
            g_aGone[m] = 1;
            allKilled = false;
            continue;
        }
        if (entity->state != E_ENTITY_DESTROYED) return false;
        if (!g_aGone[m]) {
            g_aGone[m] = 1;
            lastGone = entity;
        }
        allKilled = allKilled && entity->killed;
    }
    wave.settled = 1;
    if (allKilled && lastGone) {
        const ClVec4 at = lastGone->getWorldPosition();
        spawnSessionPickup(E_PICKUP_CHAIN_BONUS, ClVec3(at.x, 0.0f, at.z));
    }
    return true;
}

void settleOpenWaves() {
    for (u32 i = g_openWaves.count; i-- > 0;) {
        if (!settleWave(g_aWaves[g_openWaves[i]])) continue;
        g_openWaves[i] = g_openWaves[g_openWaves.count - 1];
        --g_openWaves.count;
    }
}

void visitMembers(BossWaveMemberVisitor visit, void* user) {
    for (u32 w = g_uWaveCount; w-- > 0;) {
        const SWave& wave = g_aWaves[w];
        if (!wave.program) continue;
        for (u32 i = wave.memberCount; i-- > 0;) {
            const SWaveMemberLink& link = g_aMembers[wave.firstMember + i];
            if (ClEntity* entity = entityRefGet(link.entity)) visit(user, entity, link.spawnTime);
        }
    }
}

void attachBoss(ClEntity* boss, ClDNAProgram* program) {
    if (program->wavePlans.count == 0) return;
    if (g_uWaveCount >= g_uWaveCapacity || g_uMemberCount >= g_uMemberCapacity)
        fatalError("no wave record is free for the boss's wave");
    ClWaveDNA* plan = program->wavePlans[0];
    SWave& wave = g_aWaves[g_uWaveCount];
    wave = SWave{nullptr, g_uMemberCount, 1, 0, 1, SWaveTurns{}};
    SWaveMemberLink& link = g_aMembers[g_uMemberCount];
    link = SWaveMemberLink{};
    link.record.wave = &wave;
    link.record.plan = &plan->members[0];
    link.record.memberEntities[0] = boss;
    link.record.memberCount = 1;
    link.entity = makeEntityRef(boss);
    link.spawnTime = FLT_MAX;
    link.arrivalTime = FLT_MAX;
    link.waveIndex = g_uWaveCount;
    boss->waveSlot = &link.record;
    boss->memberIndex = 0;
    boss->planSlot = 0;
    ++g_uWaveCount;
    ++g_uMemberCount;
}

const SBossWaveHooks BOSS_WAVE_HOOKS = {&visitMembers, &attachBoss};

}  // namespace

ClDNAGenerator* familyGenerator(u32 category, u32 family) {
    u32 total = 0;
    for (u32 p = 0; p < packCount(); ++p) total += packAt(p)->generatorCount(category);
    if (total == 0) return nullptr;
    u32 pick = (family - 1) % total;
    for (u32 p = 0; p < packCount(); ++p) {
        const u32 count = packAt(p)->generatorCount(category);
        if (pick < count) return packAt(p)->generatorAt(category, pick);
        pick -= count;
    }
    return nullptr;
}

void wavePoolsInit() {
    freeStorage();
}

void clearWavePools() {
    if (isWorldReady()) {
        for (u32 m = 0; m < g_uMemberCount; ++m) {
            const SWave& wave = g_aWaves[g_aMembers[m].waveIndex];
            ClEntity* entity = entityRefGet(g_aMembers[m].entity);
            if (wave.program && entity) freeEntity(entity);
        }
    }
    for (u32 w = 0; w < g_uWaveCount; ++w) {
        if (!g_aWaves[w].program) continue;
        g_aWaves[w].program->release();
        delete g_aWaves[w].program;
    }
    freeStorage();
}

void buildWaves(const SWaveSchedulePlan& plan, u32 difficulty, ClDNAGenerator* const generators[3],
                ClRandObjSFMT* random) {
    if (g_aWaves) fatalError("waves built over waves that were not cleared");
    g_uWaveCapacity = plan.waves.count + WAVE_BOSS_RESERVE;
    g_uMemberCapacity = plan.memberTotal + WAVE_BOSS_RESERVE;
    g_aWaves = new SWave[g_uWaveCapacity]();
    g_aMembers = new SWaveMemberLink[g_uMemberCapacity]();
    g_aSpawnOrder = new u32[g_uMemberCapacity]();
    g_aGone = new u32[g_uMemberCapacity]();
    const SGeneratorParams params = {difficulty, waveLevelRule(difficulty).gunShare};

    for (const SPlannedWave& planned : plan.waves) {
        const u32 sizeIndex = planned.category - E_GENCAT_ENEMY_SMALL;
        if (sizeIndex >= 3) fatalErrorf("no enemy generator rolled for category %u", planned.category);
        const SWaveFamily* family = pickWaveFamily(planned.category, planned.familyDraw);
        ClDNAGenerator* generator = family ? family->generator : nullptr;
        if (!generator && planned.family) generator = familyGenerator(planned.category, planned.family);
        if (!generator) generator = generators[sizeIndex];
        if (!generator) fatalErrorf("no enemy generator rolled for category %u", planned.category);
        ClDNAProgram* program = generator->generate(random, &params);
        if (!program) fatalErrorf("enemy generator \"%s\" wrote no program", generator->getName());
        program->generator = generator;
        auto* wavePlan = new ClWaveDNA();
        wavePlan->speedClass = planned.speedClass;
        wavePlan->memberCount = planned.memberCount;
        program->wavePlans.push(wavePlan);

        const u32 waveIndex = g_uWaveCount++;
        SWave& wave = g_aWaves[waveIndex];
        wave = SWave{program, g_uMemberCount, planned.memberCount, 0, 0, SWaveTurns{}};
        for (u32 i = 0; i < planned.memberCount; ++i) {
            // The wave-flag parts read these: even and odd members wear different parts.
            wavePlan->memberFlags[i] = i % 2 == 0 ? WAVE_FLAG_EVEN_MEMBER : WAVE_FLAG_ODD_MEMBER;
            SWaveMember& member = wavePlan->members[i];
            member.wave = wavePlan;
            writeMemberPath(&member, planned.members[i], planned.roamSeconds, family && family->patrols);
            const f32 flight = member.computeDuration();

            SWaveMemberLink& link = g_aMembers[g_uMemberCount];
            link.record.wave = &wave;
            link.record.memberIndex = i;
            link.record.plan = &member;
            link.record.memberCount = 1;
            link.record.turns = &wave.turns;
            link.arrivalTime = planned.members[i].arrivalTime;
            link.spawnTime = link.arrivalTime - flight;
            link.waveIndex = waveIndex;
            ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
            // The path follower finds its plan through the slot while the program builds.
            entity->waveSlot = &link.record;
            entity->memberIndex = i;
            entity->planSlot = i;
            entity->buildFromDNA(program);
            link.entity = makeEntityRef(entity);
            link.record.memberEntities[0] = entity;
            wave.turns.members[wave.turns.memberCount++] = entity;
            g_aSpawnOrder[g_uScheduledCount++] = g_uMemberCount;
            ++g_uMemberCount;
        }
    }
    std::stable_sort(g_aSpawnOrder, g_aSpawnOrder + g_uScheduledCount,
                     [](u32 a, u32 b) { return g_aMembers[a].spawnTime < g_aMembers[b].spawnTime; });
}

void waveSpawnTick() {
    while (g_uSpawnCursor < g_uScheduledCount) {
        SWaveMemberLink& link = g_aMembers[g_aSpawnOrder[g_uSpawnCursor]];
        if (link.spawnTime > currentSongTime()) break;
        ++g_uSpawnCursor;
        if (ClEntity* entity = entityRefGet(link.entity)) {
            entity->spawnTime = link.spawnTime;
            entity->spawn();
            entity->setWaveMember(1);
        }
        SWave& wave = g_aWaves[link.waveIndex];
        if (wave.spawnedCount++ == 0) openWave(link.waveIndex);
    }
    settleOpenWaves();
    tickSessionPickups();
}

f32 earliestPendingWaveTime() {
    return g_uSpawnCursor < g_uScheduledCount ? g_aMembers[g_aSpawnOrder[g_uSpawnCursor]].spawnTime : FLT_MAX;
}

u32 waveMemberCount() { return g_uMemberCount; }

const SBossWaveHooks* bossWaveHooks() { return &BOSS_WAVE_HOOKS; }
