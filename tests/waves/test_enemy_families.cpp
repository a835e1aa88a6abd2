// Each enemy family in a scripted play with the built-in pack: a wave of it is planned by hand,
// flies in on its beat, acts on the song's beats (a beat every half second from 0.25 s) against a
// ship standing in the arena, and is shot down by player bullets, one kill.
#include <gtest/gtest.h>

#include "core/rand_obj.h"
#include "tests/waves/wave_test_song.h"
#include "waves/generators/family_generators.h"
#include "waves/wave_families.h"
#include "waves/wave_schedule.h"
#include "world/atoms/atom.h"
#include "world/effects/equaliser_state.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/generators/dna_generator.h"
#include "world/state/boss_encounter.h"
#include "world/processors/bomb_shield.h"
#include "world/processors/crawler_flower.h"
#include "world/processors/cube_station.h"
#include "world/processors/static_spark.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace world_test;

namespace {

ClVec3 axisX(const ClEntityNode* node) {
    const f32* m = node->currentWorldMatrix().m;
    return ClVec3(m[0], m[1], m[2]);
}

// Every main atom of the entity.
void shootDown(ClEntity* enemy) {
    std::vector<ClAtom*> mains(enemy->registeredAtoms.data, enemy->registeredAtoms.data + enemy->registeredAtoms.count);
    for (ClAtom* target : mains)
        if (target->active) shootAtom(target, 1.0e6f);
}

class EnemyFamilyTest : public WavePlayTest {
protected:
    void SetUp() override {
        WavePlayTest::SetUp();
        spawnShip(m_ship, ClVec3(160.0f, 0.0f, 30.0f));
    }

    // One wave of the family, its members arriving on beats 4, 5 ... at points 40 apart along x.
    void planWave(const char* generatorName, u32 members) {
        SWaveSchedulePlan plan;
        plan.waves.init();
        SPlannedWave wave = {};
        const auto pick = [&] {
            for (wave.category = E_GENCAT_ENEMY_SMALL; wave.category <= E_GENCAT_ENEMY_LARGE; ++wave.category)
                for (wave.familyDraw = 0.0f; wave.familyDraw < 1.0f; wave.familyDraw += 0.01f)
                    if (const SWaveFamily* family = pickWaveFamily(wave.category, wave.familyDraw);
                        family && std::strcmp(family->generator->getName(), generatorName) == 0)
                        return true;
            return false;
        };
        ASSERT_TRUE(pick()) << generatorName;
        wave.speedClass = 2;
        wave.roamSeconds = 30.0f;
        wave.memberCount = members;
        for (u32 i = 0; i < members; ++i) {
            const f32 x = 100.0f + 40.0f * f32(i);
            wave.members[i] = {ClVec3(x, 0.0f, 330.0f), ClVec3(x, 0.0f, 150.0f), ClVec3(x, 0.0f, -60.0f), g_aSongBeats[4 + i].time, s32(4 + i)};
        }
        plan.waves.push(wave);
        plan.memberTotal = members;
        ClRandObjSFMT random;
        random.seed(7);
        ClDNAGenerator* const none[3] = {nullptr, nullptr, nullptr};
        buildWaves(plan, 0, none, &random);
        plan.release();
    }
    static ClEntity* member(u32 i) { return waveMembers()[i].entity; }
    // The wave of the family played until its last member has arrived; its first member.
    ClEntity* arrived(const char* generatorName, u32 members = 1) {
        planWave(generatorName, members);
        playUntil(g_aSongBeats[4 + members - 1].time + STEP, step);
        EXPECT_EQ(member(0)->state, u32(E_ENTITY_ACTIVE));
        return member(0);
    }

    DnaWriter m_ship{E_PROGRAM_PLAYER};
};

// Shot down, a member is killed once and hears no more beats (a kill's pickups are the world's).
void expectShotDown(ClEntity* enemy, u32 subscriptionsAfter) {
    const s32 kills = g_aPlayerState[0].kills;
    EXPECT_GT(enemy->program->inspirationScore, 0) << "its kill is worth points";
    shootDown(enemy);
    EXPECT_EQ(enemy->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(g_aPlayerState[0].kills, kills + 1);
    EXPECT_EQ(liveBeatSubscriptions(), subscriptionsAfter);
}

}  // namespace

// The station comes in facing +z, so its shielded branches 0 and 2 stand along z and branch 2
// faces the ship below it: it holds still. With that shield shot away the best branch points away
// from the ship, and the station turns it round within a beat pair, while it patrols by steering.
TEST_F(EnemyFamilyTest, CubeStationTurnsItsBestDefendedBranchToTheShip) {
    ClEntity* station = arrived(STATION_GENERATOR);
    EXPECT_EQ(waveRecordOf(station)->plan->segments[3].kind, u32(E_SEG_STEER)) << "a patrol follows the arrival";
    auto* ai = static_cast<ClProcessor_Enemy_AI_CubeStation*>(station->root->findProcessor(E_PROC_ENEMY_CUBE_STATION));
    ASSERT_EQ(ai->branchRecords.count, 4u);
    const ClEntity* ship = playerShip(0);
    const auto facing = [&](u32 b) { return axisX(ai->branchRecords[b].node).dot((positionOf(ship) - positionOf(station)).normalized()); };
    EXPECT_GT(facing(2), 0.85f);
    playUntil(currentSongTime() + 1.0f, step);
    EXPECT_EQ(ai->turnState, s32(E_STATION_IDLE));
    EXPECT_GT(facing(2), 0.85f);

    shootAtom(ai->branchRecords[2].node->children[0]->atoms[0]);
    EXPECT_EQ(ai->branchRecords[2].defence, 0.0f);
    EXPECT_EQ(ai->branchRecords[0].defence, 10.0f);
    EXPECT_LT(facing(0), -0.85f);
    playUntil(currentSongTime() + 2.5f, step);
    EXPECT_EQ(ai->chosenBranch, 0);
    // Turned round, give or take the ground it patrolled over while it turned.
    EXPECT_GT(facing(0), 0.9f);
    // A quarter turn, the ship now off to the branch's side.
    const ClVec3 axis = axisX(ai->branchRecords[0].node);
    playerShip(0)->setRootPosition(positionOf(station) + scaleVec3(ClVec3(-axis.z, 0.0f, axis.x), 150.0f));
    EXPECT_LT(std::fabs(facing(0)), 0.1f);
    playUntil(currentSongTime() + 2.5f, step);
    EXPECT_GT(facing(0), 0.92f);

    // Without a ship an armed turn is called off.
    ai->turnState = E_STATION_ARMED;
    ai->turnStartTime = currentSongTime() - 1.0f;
    setPlayerShip(0, nullptr);
    step();
    EXPECT_EQ(ai->turnState, s32(E_STATION_IDLE));
    setPlayerShip(0, const_cast<ClEntity*>(ship));
    expectShotDown(station, 0);
}

TEST_F(EnemyFamilyTest, CrawlerSlidesItsFarthestBlockNextToTheNearestOnEachBeat) {
    ClEntity* crawler = arrived(CRAWLER_GENERATOR);
    EXPECT_EQ(liveBeatSubscriptions(), 1u);
    // The ship lies 60 across and 120 below: the block on +z (farthest) slides under the block on
    // -z (nearest), within 0.8 of the beat gap.
    playUntil(g_aSongBeats[5].time + 0.45f, step);
    auto* ai = static_cast<ClProcessor_Enemy_Crawler*>(crawler->root->findProcessor(E_PROC_ENEMY_CRAWLER));
    const ClVec3 at = crawler->root->atoms[3]->localMatrix.getTranslation();
    EXPECT_EQ(ai->movingAtom, crawler->root->atoms[3]);
    EXPECT_EQ(at.x, 0.0f);
    EXPECT_EQ(at.z, -2.0f * CRAWLER_CELL);
    expectShotDown(crawler, 0);
}

// Three flowers in one wave: exactly one acts per beat, the turn passing in member order; a petal
// is lit, thrown as a bullet on its flower's next turn, and grown again from the program on the
// turn after that. A destroyed member is passed over.
TEST_F(EnemyFamilyTest, FlowersTakeTurnsToLightThrowAndRegrowPetals) {
    planWave(FLOWER_GENERATOR, 3);
    playUntil(g_aSongBeats[6].time + 1.1f, step);  // all open
    std::vector<ClProcessor_Enemy_Flower*> flowers;
    for (u32 i = 0; i < 3; ++i)
        flowers.push_back(static_cast<ClProcessor_Enemy_Flower*>(member(i)->root->findProcessor(E_PROC_ENEMY_FLOWER)));
    const SWaveTurns* turns = waveRecordOf(member(0))->turns;
    ASSERT_NE(turns, nullptr);
    u32 throws = 0, regrowths = 0;
    s32 dead = -1;
    for (u32 beat = 0; beat < 18; ++beat) {
        if (beat == 9) {
            dead = (turns->flowerTurn + 1) % 3;
            shootDown(member(u32(dead)));
        }
        s32 before[3];
        for (u32 i = 0; i < 3; ++i) before[i] = flowers[i]->petalStep;
        const s32 turn = turns->flowerTurn;
        const u32 shots = liveCount(E_PROGRAM_ENEMY_SHOT);
        playUntil(currentSongTime() + 0.5f, step);
        u32 acted = 0;
        for (u32 i = 0; i < 3; ++i) acted += flowers[i]->petalStep != before[i] ? 1u : 0u;
        ASSERT_EQ(acted, 1u) << beat;
        const s32 actor = turn == dead ? (turn + 1) % 3 : turn;
        ClProcessor_Enemy_Flower* flower = flowers[u32(actor)];
        EXPECT_NE(flower->petalStep, before[actor]) << beat;
        const SPetalRecord& petal = flower->petals[u32(flower->chosenPetal)];
        if (flower->petalStep == E_PETAL_REGROW) {
            ++throws;
            // A thrown petal keeps no pairing.
            const auto home = std::count_if(flower->petals.begin(), flower->petals.end(), [](const SPetalRecord& r) { return r.petal; });
            EXPECT_EQ(petal.petal, static_cast<ClEntityNode*>(nullptr));
            EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots + 1);
            EXPECT_EQ(member(u32(actor))->root->atoms[0]->linkedAtoms.count, u32(home));
        } else if (before[actor] == E_PETAL_REGROW) {
            ++regrowths;
            ASSERT_NE(petal.petal, nullptr);
            EXPECT_EQ(petal.petal->entity, member(u32(actor)));
            EXPECT_EQ(petal.petal->atoms[0]->active, 1u);
        }
        // Lighting keeps the turn; throwing and regrowing pass it.
        EXPECT_EQ(turns->flowerTurn == actor, flower->petalStep == E_PETAL_THROW) << beat;
    }
    EXPECT_GE(throws, 3) << throws << " throws, " << regrowths << " regrowths";
    EXPECT_GE(regrowths, 2) << throws << " throws, " << regrowths << " regrowths";
    // The thrown petals go with their bullets; the flowers live on without them.
    for (ClEntity* shot : liveOfKind(E_PROGRAM_ENEMY_SHOT))
        if (shot->state == E_ENTITY_ACTIVE) shot->destroy();
    step();
    step();
    expectShotDown(member(u32((dead + 1) % 3)), 1);
}

// A bomb explodes only when killed, and only with no boss about: its blast is a still flash
// bullet of its radius and damage.
TEST_F(EnemyFamilyTest, ABombKilledByThePlayerLeavesItsBlast) {
    arrived(BOMB_GENERATOR, 3);
    const u32 shots = liveCount(E_PROGRAM_ENEMY_SHOT);
    member(1)->destroy();
    step();
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots) << "destroyed without a kill: no blast";
    g_BossEncounter.phase = E_BOSSPHASE_FIGHT;
    shootDown(member(2));
    g_BossEncounter.phase = E_BOSSPHASE_WAITING;
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots) << "killed with a boss about: no blast";
    expectShotDown(member(0), 0);
    ASSERT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots + 1);
    const SParamTable& blast = entityListAt(E_LIST_LIVE, entityListCount(E_LIST_LIVE) - 1)->root->params;
    EXPECT_EQ(blast.get("BullType")->integer, 17);
    EXPECT_EQ(blast.get("BullRad")->real, 45.0f);
    EXPECT_EQ(blast.get("BullVel")->real, 0.0f);
}

// The plates swing a quarter turn on every beat; the turret lights on three beats and fires on the
// fourth; a destroyed shield drops its beat subscription.
TEST_F(EnemyFamilyTest, BeatShieldRegroupsOnEveryBeatAndFiresOnTheFourth) {
    ClEntity* shield = arrived(BEAT_SHIELD_GENERATOR);
    auto* ai = static_cast<ClProcessor_Enemy_Med_Beat_Shield*>(shield->root->findProcessor(E_PROC_ENEMY_BEAT_SHIELD));
    ASSERT_EQ(ai->plates.count, 4u);
    const u32 shots = liveCount(E_PROGRAM_ENEMY_SHOT);
    u32 fired = 0;
    for (u32 beat = 0; beat < 4; ++beat) {
        playUntil(currentSongTime() + 0.5f, step);
        // Two plates on each side, at offsets 0 and +19 degrees from the side's centre.
        u32 onCentre = 0;
        for (const SShieldPlate& plate : ai->plates) {
            const f32 d = std::fmod(std::fmod(plate.yawTween.to * 180.0f / 3.14159265f, 90.0f) + 90.0f, 90.0f);
            onCentre += std::fabs(d) < 0.01f || std::fabs(d - 90.0f) < 0.01f ? 1u : 0u;
        }
        EXPECT_EQ(onCentre, 2u) << beat;
        if (liveCount(E_PROGRAM_ENEMY_SHOT) > shots) fired = fired ? fired : beat + 1;
    }
    EXPECT_EQ(ai->beatCount, 3);
    EXPECT_EQ(fired, 4u);
    expectShotDown(shield, 0);
}

// The current spark swings the music pan from 0 to -1 and back to +1 over 1.25 s swings; the
// water option holds the pan at 0; the spark's death gives the pan back.
TEST_F(EnemyFamilyTest, StaticSparkPansTheMusicUnlessTheWaterOptionIsOn) {
    ClEntity* spark = arrived(STATIC_SPARK_GENERATOR);
    alignas(16) static u8 unknownCue[64];
    setSongCue(SCueHandle{reinterpret_cast<SCueRecord*>(unknownCue), 1});
    const f32 start = currentSongTime();
    playUntil(start + 1.25f + 0.625f + STEP, step);
    EXPECT_LT(std::fabs(g_fEqualiserPan + 0.5f), 0.05f) << g_fEqualiserPan;
    g_PlayRecord.waterOption = 1;
    step();
    EXPECT_EQ(g_fEqualiserPan, 0.0f);
    g_PlayRecord.waterOption = 0;
    playUntil(start + 2.5f + 1.25f + STEP, step);
    EXPECT_NEAR(g_fEqualiserPan, 1.0f, 0.05f);
    expectShotDown(spark, 0);
    EXPECT_EQ(g_fEqualiserPan, 0.0f) << "the pan given back";
}
