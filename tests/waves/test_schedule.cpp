// The wave schedule over a made-up song: the same plan for the same song at every level, the
// member caps, the entity budget and the beats; built into the world, members spawn when due and
// arrive on their beats; the chain bonus, the drop-beat pickups and the boss choice's hooks.
#include <gtest/gtest.h>

#include "audio/analysis/spawn_bars.h"
#include "core/rand_obj.h"
#include "tests/waves/wave_test_song.h"
#include "tests/world/world_test_support.h"
#include "waves/session_pickups.h"
#include "waves/wave_schedule.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_ref.h"
#include "world/entity/world.h"
#include "world/play/boss_wave_hook.h"
#include "world/services/play_area.h"
#include "world/services/world_imports.h"

#include <cstring>
#include <vector>

using namespace test_support;

namespace {

SWaveSchedulePlan planFor(u32 level, u32 budget = WAVE_MEMBER_BUDGET) {
    SWaveSchedulePlan plan;
    ClRandObjSFMT random;
    seedSongRandom(g_PlayRecord.song, &random);
    planWaveSchedule(level, &random, &plan, budget);
    return plan;
}

bool samePlans(const SWaveSchedulePlan& a, const SWaveSchedulePlan& b) {
    return a.waves.count == b.waves.count && a.memberTotal == b.memberTotal &&
           std::memcmp(a.waves.data, b.waves.data, sizeof(SPlannedWave) * a.waves.count) == 0;
}

using WaveScheduleTest = WaveSongTest;

TEST_F(WaveScheduleTest, ASongGivesTheSamePlanAtEachLevelAndAnotherSongAnother) {
    s32 previousTarget = 0;
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        computeSongFeatures(level);
        SWaveSchedulePlan first = planFor(level), second = planFor(level);
        g_PlayRecord.song.identity[0] = 7;
        SWaveSchedulePlan other = planFor(level);
        g_PlayRecord.song.identity[0] = 0;
        EXPECT_GT(first.waves.count, 5) << level;
        ASSERT_EQ(second.waves.count, first.waves.count) << level;
        EXPECT_EQ(std::memcmp(first.waves.data, second.waves.data, sizeof(SPlannedWave) * first.waves.count), 0) << level;
        EXPECT_FALSE(samePlans(first, other)) << level;
        // Harder levels are worth more.
        settleLevelTargets(first, level, &g_PlayRecord.song);
        for (SWaveSchedulePlan* plan : {&first, &second, &other}) plan->release();
        const s32* targets = g_PlayRecord.song.scoreTargets[level];
        EXPECT_LT(0, targets[0]) << level;
        EXPECT_LT(targets[0], targets[1]) << level;
        EXPECT_LT(previousTarget, targets[1]) << level;
        previousTarget = targets[1];
        // Only the score passes the targets: the thresholds lie beyond the song's progress.
        EXPECT_GT(g_PlayRecord.song.progressThresholds[level][0], g_PlayRecord.song.progressValue) << level;
    }
}

TEST_F(WaveScheduleTest, WavesKeepToTheirCapsTheBudgetAndTheBeats) {
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        computeSongFeatures(level);
        SWaveSchedulePlan plan = planFor(level);
        const u32 maxMembers = waveLevelRule(level).maxMembers;
        u32 total = 0;
        f32 previousFirstArrival = -1.0f;
        for (const SPlannedWave& wave : plan.waves) {
            const u32 divisor = wave.category == E_GENCAT_ENEMY_SMALL ? 1 : (wave.category == E_GENCAT_ENEMY_MEDIUM ? 2 : 4);
            EXPECT_GE(wave.memberCount, 1) << wave.memberCount;
            EXPECT_LE(wave.memberCount, std::max(1u, maxMembers / divisor)) << wave.memberCount;
            EXPECT_LE(previousFirstArrival, wave.members[0].arrivalTime);
            previousFirstArrival = wave.members[0].arrivalTime;
            for (u32 i = 0; i < wave.memberCount; ++i) {
                const SPlannedMember& m = wave.members[i];
                ASSERT_LT(u32(m.beatIndex), g_aSongBeats.count);
                EXPECT_EQ(m.arrivalTime, g_aSongBeats[u32(m.beatIndex)].time);
                EXPECT_EQ(isInsidePlayArea(m.arrival), true);
                EXPECT_EQ(isInsidePlayArea(m.start), false);
                EXPECT_EQ(isInsidePlayArea(m.exit), false);
            }
            total += wave.memberCount;
        }
        EXPECT_EQ(total, plan.memberTotal);
        // A small budget cuts the plan short without passing it.
        SWaveSchedulePlan small = planFor(level, 20);
        EXPECT_LE(small.memberTotal, 20) << small.memberTotal;
        EXPECT_LT(small.waves.count, plan.waves.count) << small.memberTotal;
        plan.release();
        small.release();
    }
}

// Two quiet 4 s windows of the easiest level (eight bars each, eight events to a member), with
// one spawn event in each; a drop beat in the second, or none.
TEST_F(WaveScheduleTest, QuietWindowsMakeSmallWavesOfOneUnlessADropBeatMakesOneLarge) {
    ASSERT_EQ(waveLevelRule(0).eventsPerMember, 8u);
    for (bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "a drop beat in the second window" : "no drop beat");
        resetSongFeatures();
        g_SongFeatures.frameDuration = 1.0f / 128.0f;
        for (u32 bar = 0; bar < 16; ++bar) g_SongFeatures.bars.push(SSpawnBar{0.5f * f32(bar), 0.0f, 0.1f, 0.1f, 1, 0, 0.1f});
        g_SongFeatures.spawnEvents.push(SSpawnEvent{64, 0, 3, 0});
        g_SongFeatures.spawnEvents.push(SSpawnEvent{576, 0, 3, 0});
        for (SBeat& beat : g_aSongBeats) beat.flags &= ~BEAT_FLAG_DROP;
        if (drop) g_aSongBeats[9].flags |= BEAT_FLAG_DROP;  // at 4.75 s
        SWaveSchedulePlan plan = planFor(0);
        ASSERT_EQ(plan.waves.count, 2u);
        EXPECT_EQ(plan.waves[0].memberCount, 1u);
        EXPECT_EQ(plan.waves[0].category, u32(E_GENCAT_ENEMY_SMALL));
        EXPECT_EQ(plan.waves[1].category, u32(drop ? E_GENCAT_ENEMY_LARGE : E_GENCAT_ENEMY_SMALL));
        plan.release();
    }
}

// The schedule built into the world's entities, with the path followers run by game steps.
class WaveWorldTest : public WavePlayTest {
protected:
    void SetUp() override {
        WavePlayTest::SetUp();
        computeSongFeatures(0);
        rollAllPacks(g_PlayRecord);
        waveScheduleGenerate(&g_PlayRecord);
    }
    // The members of the member's wave, in member order.
    static std::vector<SWaveMemberSeen> waveOf(const ClEntity* member) {
        std::vector<SWaveMemberSeen> wave;
        for (const SWaveMemberSeen& seen : waveMembers())
            if (waveRecordOf(seen.entity)->wave == waveRecordOf(member)->wave) wave.push_back(seen);
        return wave;
    }
    // Every member of the wave spawned, then made active.
    static void spawnAll(const std::vector<SWaveMemberSeen>& wave) {
        for (const SWaveMemberSeen& member : wave) setSongTime(std::max(currentSongTime(), member.spawnTime));
        step();
        for (const SWaveMemberSeen& member : wave) member.entity->activate();
    }
};

TEST_F(WaveWorldTest, MembersSpawnWhenDueAndArriveOnTheirBeats) {
    const std::vector<SWaveMemberSeen> members = waveMembers();
    const u32 count = u32(members.size());
    ASSERT_EQ(count, waveMemberCount());
    ASSERT_GT(count, 20u);
    // Each member arrives its path's flight after its spawn time, on a beat of the song.
    std::vector<f32> arrival(count);
    f32 lastArrival = 0.0f;
    for (u32 m = 0; m < count; ++m) {
        ASSERT_NE(waveRecordOf(members[m].entity), nullptr) << m;
        arrival[m] = members[m].spawnTime + waveRecordOf(members[m].entity)->plan->computeDuration();
        EXPECT_NEAR(std::remainder(arrival[m] - 0.25f, 0.5f), 0.0f, 1e-3f) << m;
        lastArrival = std::max(lastArrival, arrival[m]);
    }
    setSongTime(earliestPendingWaveTime());
    constexpr f32 NOT_YET = -1e9f;
    std::vector<f32> spawnedAt(count, NOT_YET), arrivedAt(count, NOT_YET);
    while (currentSongTime() < lastArrival + 2.0f * STEP) {
        const f32 now = currentSongTime();
        step();
        for (u32 m = 0; m < count; ++m) {
            const ClEntity* entity = members[m].entity;
            if (spawnedAt[m] == NOT_YET && entity->state != E_ENTITY_BUILT) spawnedAt[m] = now;
            if (arrivedAt[m] != NOT_YET || entity->state != E_ENTITY_ACTIVE) continue;
            arrivedAt[m] = now;
            // On its point, but for the first step of the roam or patrol that follows in the same
            // frame (a patrol steers off at the speed it came in with).
            const ClVec4 at = entity->getWorldPosition();
            const SWaveMember* plan = waveRecordOf(entity)->plan;
            const ClVec3 point = plan->segments[1].a.getVector();
            const f32 roamStep = getPathSpeed(plan->wave->speedClass, 0) * STEP;
            EXPECT_LE(ClVec3(at.x - point.x, 0.0f, at.z - point.z).length(), roamStep + 1e-3f) << m;
        }
    }
    EXPECT_EQ(earliestPendingWaveTime(), FLT_MAX);
    for (u32 m = 0; m < count; ++m) {
        EXPECT_GE(spawnedAt[m], members[m].spawnTime) << m << ": " << spawnedAt[m];
        EXPECT_LT(spawnedAt[m], members[m].spawnTime + STEP) << m << ": " << spawnedAt[m];
        EXPECT_GE(arrivedAt[m], arrival[m] - 1e-3f) << m << ": " << arrivedAt[m];
        EXPECT_LT(arrivedAt[m], arrival[m] + STEP + 1e-3f) << m << ": " << arrivedAt[m];
    }
}

TEST_F(WaveWorldTest, MembersAlternateTheirWaveFlags) {
    for (const SWaveMemberSeen& member : waveMembers()) {
        const SWaveRecord* record = waveRecordOf(member.entity);
        EXPECT_EQ(record->plan->wave->memberFlags[record->memberIndex], record->memberIndex % 2 ? 2u : 1u);
    }
}

// The live pickups of the generator's name, not yet collected.
std::vector<ClEntity*> livePickups(const char* generatorName) {
    std::vector<ClEntity*> out;
    for (ClEntity* pickup : world_test::liveOfKind(E_PROGRAM_PICKUP))
        if (pickup->state != E_ENTITY_DESTROYED && std::strcmp(pickup->program->generator->getName(), generatorName) == 0)
            out.push_back(pickup);
    return out;
}

// One level-up pickup a play, on the first beat from 8 s of song, on the grid's centre cell; the
// drop beats' pickups just before and after it come on their own beats.
TEST_F(WaveWorldTest, OneLevelUpPickupComesOnTheFirstBeatFromEightSeconds) {
    u32 first = 0;
    while (first < g_aSongBeats.count && g_aSongBeats[first].time < LEVEL_UP_SONG_SECONDS) ++first;
    ASSERT_LT(first + 1, g_aSongBeats.count) << "a beat past 8 s";
    g_aSongBeats[first - 1].flags |= BEAT_FLAG_DROP;
    g_aSongBeats[first + 1].flags |= BEAT_FLAG_DROP;
    setupSessionPickups(g_PlayRecord);
    setSongTime(g_aSongBeats[first - 1].time);
    step();
    EXPECT_EQ(livePickups(INVINCIBILITY_PICKUP_GENERATOR).size(), 1u);
    EXPECT_EQ(livePickups(LEVEL_UP_PICKUP_GENERATOR).size(), 0u);
    setSongTime(g_aSongBeats[first].time);
    step();
    const std::vector<ClEntity*> levelUp = livePickups(LEVEL_UP_PICKUP_GENERATOR);
    ASSERT_EQ(levelUp.size(), 1u);
    EXPECT_EQ(world_test::positionOf(levelUp[0]).x, 168.0f);
    EXPECT_EQ(world_test::positionOf(levelUp[0]).z, 136.0f);
    EXPECT_EQ(livePickups(INVINCIBILITY_PICKUP_GENERATOR).size(), 1u);
    setSongTime(g_aSongBeats[first + 1].time);
    step();
    EXPECT_EQ(livePickups(INVINCIBILITY_PICKUP_GENERATOR).size(), 2u);
}

TEST_F(WaveWorldTest, AWaveKilledToTheLastDropsTheChainBonusAndPickupsAreCollected) {
    const std::vector<SWaveMemberSeen> wave = waveOf(waveMembers()[0].entity);
    setSongTime(0.0f);
    spawnAll(wave);
    for (u32 i = 0; i + 1 < wave.size(); ++i) wave[i].entity->kill();
    step();
    EXPECT_EQ(liveSessionPickupCount(), 0u);
    wave.back().entity->kill();
    step();
    ASSERT_EQ(liveSessionPickupCount(), 1u);

    // A drop beat's invincibility pickup joins it in the arena.
    g_aSongBeats[100].flags |= BEAT_FLAG_DROP;
    setupSessionPickups(g_PlayRecord);
    setSongTime(g_aSongBeats[100].time);
    step();

    // Without a ship nothing is collected; with one everything is, and goes.
    collectAllPickups();
    const f32 withoutShip = g_aPlayerState[0].invincibilityTime;
    setPlayerShip(0, wave[0].entity);
    collectAllPickups();
    setPlayerShip(0, nullptr);
    EXPECT_EQ(withoutShip, 0.0f);
    EXPECT_EQ(g_aPlayerState[0].invincibilityTime, 5.0f);
    step();
    step();
    EXPECT_EQ(liveSessionPickupCount(), 0u);
}

TEST_F(WaveWorldTest, AWaveWithOneMemberEscapedDropsNoChainBonusThoughItsLastWasKilled) {
    std::vector<SWaveMemberSeen> wave;
    for (const SWaveMemberSeen& member : waveMembers())
        if (wave.size() < 2) wave = waveOf(member.entity);
    ASSERT_GE(wave.size(), 2u) << "a wave of two or more";
    spawnAll(wave);
    wave[0].entity->destroy();  // flew out of the arena
    for (u32 i = 1; i < wave.size(); ++i) wave[i].entity->kill();
    step();
    EXPECT_EQ(waveRecordOf(wave[0].entity)->wave->settled, 1u);
    EXPECT_EQ(liveSessionPickupCount(), 0u);
}

// A member the world released by other means, its record taken again by a newcomer: clearing the
// pools frees the members left and leaves the newcomer alone.
TEST_F(WaveWorldTest, ClearingThePoolsLeavesTheNextUseOfAReleasedMembersRecord) {
    const std::vector<SWaveMemberSeen> before = waveMembers();
    ClEntity* first = before[0].entity;
    freeEntity(first);
    ClEntity* newcomer = allocEntity(OWNER_LIVE_GAME);
    ASSERT_EQ(newcomer, first);  // the same record, in its next use
    EXPECT_EQ(waveMembers()[0].entity, before[1].entity) << "the released member is no longer seen";
    const SEntityRef held = makeEntityRef(newcomer);
    clearWavePools();
    EXPECT_EQ(entityRefGet(held), newcomer);
}

// A pickup the world released by other means, its record taken again by a destroyed entity of
// another owner: the pickups' tick forgets it and leaves the newcomer alone.
TEST_F(WaveWorldTest, APickupWhoseRecordWasReleasedAndTakenAgainIsForgotten) {
    ClEntity* pickup = spawnSessionPickup(E_PICKUP_SCORE, ClVec3(100.0f, 0.0f, 100.0f));
    ASSERT_NE(pickup, nullptr);
    ClEntity* successor = world_test::reuseRecordForDestroyedNewcomer(pickup);
    ASSERT_EQ(successor, pickup);  // the same record, in its next use
    const SEntityRef held = makeEntityRef(successor);
    tickSessionPickups();
    flushFreedEntities();
    EXPECT_EQ(entityRefGet(held), successor);
    EXPECT_EQ(liveSessionPickupCount(), 0u);
}

TEST_F(WaveWorldTest, BossHooksVisitTheLastWaveFirstAndGiveTheBossTheLastFreeSlot) {
    const ClEntity* lastVisited = waveMembers()[0].entity;  // the list is the visit reversed
    EXPECT_EQ(waveRecordOf(lastVisited)->wave->firstMember, 0u) << "the last wave is visited first";
    EXPECT_EQ(waveRecordOf(lastVisited)->memberIndex, 0u) << "the last wave is visited first";

    ClDNAProgram program;
    program.init();
    auto* plan = new ClWaveDNA();
    plan->members[0].wave = plan;
    program.wavePlans.push(plan);
    ClEntity* boss = allocEntity(OWNER_LIVE_GAME);
    worldImports().bossWaves->attachBossWave(boss, &program);
    ASSERT_NE(boss->waveSlot, nullptr);
    EXPECT_EQ(waveRecordOf(boss)->plan, &plan->members[0]);
    EXPECT_EQ(fatalReasonOf([&] { worldImports().bossWaves->attachBossWave(boss, &program); }),
              "no wave record is free for the boss's wave");
    freeEntity(boss);
    program.release();
}

}  // namespace
