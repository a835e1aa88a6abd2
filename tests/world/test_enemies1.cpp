// The staff weapons and their enemies (the round-staff gun and its ring, the staff star), the
// aimed gun, conditional destruction, wave-flag parts, the swinging arm and the boss head's gun and
// shield, each in a short scripted play with beats delivered by the song clock's dispatcher.
#include "core/game_clock.h"
#include "render/draw_lists.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_staff.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/processors/arm_processors.h"
#include "world/processors/bullet_processors.h"
#include "world/processors/cube_station.h"
#include "world/processors/staff_enemies.h"
#include "world/state/wave_record.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <utility>

using namespace world_test;

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

// The built data's materials are there for the guns' flashes and the arms' bars.
class EnemiesTest : public Seeded<WorldDrawTest, 5> {
protected:
    DnaWriter m_ship{E_PROGRAM_PLAYER};
    DnaWriter m_dna;
    DnaWriter m_more[3];  // freed after the world's teardown, like m_dna
};

TEST(RoundStaffRing, NotesFillTheRingInTwelfthsAndTheNoteCountIsHeldToOneToTwelve) {
    ClAtom_Bullet_RoundStaff ring;
    ring.notes.init(8);
    ring.radius = 20.0f;
    ring.setMaxNotes(12);
    ring.addNote();
    ring.setMaxNotes(5);
    for (int i = 0; i < 4; ++i) ring.addNote();
    // 1 record, then 2 a note; five of five notes make the full ring.
    EXPECT_EQ(ring.notes.count, 9u);
    EXPECT_EQ(ring.ringSegments(), ROUND_STAFF_RING_SEGMENTS);
    ring.noteCount = 2;
    EXPECT_EQ(ring.ringSegments(), 18u);
    EXPECT_NEAR(ring.notes[1].angle, 6.2831853f / 5.0f * 1.25f, 1e-5f);
    ring.setMaxNotes(0);
    const s32 least = ring.maxNotes;
    ring.setMaxNotes(40);
    EXPECT_EQ(least, 1);
    EXPECT_EQ(ring.maxNotes, 12);
    ring.notes.release();
}

// A gun node 5 ahead of a hull; the ring fills on three beats inside the arena.
TEST_F(EnemiesTest, TheRoundStaffGunFillsItsRingOnTheBeatLaunchesItAtTheShipAndGrowsTheNext) {
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_GO_STRAIGHT).param("vel", 0.0f).mainBody();
    m_dna.node(nullptr, translation(0.0f, 0.0f, 5.0f)).processor(E_PROC_UPDATE_WORLD_FRAMES);
    m_dna.param("rsg_radius", 18.0f).param("rsg_numbts", 3).processor(E_PROC_ENEMY_ROUND_STAFF_GUN).atom(E_ATOM_ATTACH_POINT);
    m_dna.close().close();
    ClEntity* bird = spawnActiveEntity(&m_dna.program, ClVec3(-150.0f, 0.0f, 100.0f));
    spawnShip(m_ship, ClVec3(100.0f, 0.0f, 205.0f));
    auto* gun = static_cast<ClProcessor_Enemy_AI_RoundStaffGun*>(bird->root->children[0]->findProcessor(E_PROC_ENEMY_ROUND_STAFF_GUN));
    ASSERT_NE(gun->ringAtom, nullptr);
    EXPECT_EQ(gun->ringAtom->radius, 18.0f);

    addBeats(0.1f, 0.25f, 4);
    playSong(0.2f);
    EXPECT_EQ(gun->ringAtom->noteCount, 0) << "outside the extended play area beats are ignored";
    bird->setRootPosition(ClVec3(100.0f, 0.0f, 100.0f));
    playSong(0.5f);
    ClEntity* first = entityRefGet(gun->heldBullet);
    ClAtom_Bullet_RoundStaff* firstRing = gun->ringAtom;
    EXPECT_EQ(firstRing->noteCount, 2);
    EXPECT_EQ(firstRing->collidable, 0u);
    // Held, every note is drawn, even when its blink is on (the first note's is at 0.1 s); once
    // launched the notes blink.
    const auto notesDrawnAtBlink = [&] {
        const f64 was = std::exchange(g_aGameClocks[GAME_CLOCK_GAMEPLAY].totalTime, 0.1);
        clearDrawListHalf(PRODUCER_HALF);
        firstRing->draw();
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].totalTime = was;
        return producerCounts().quads;
    };
    EXPECT_EQ(notesDrawnAtBlink(), firstRing->notes.count);
    playSong(0.25f);
    ASSERT_NE(entityRefGet(gun->heldBullet), first) << "launched on the third beat, the next ring grown";
    EXPECT_EQ(firstRing->collidable, 1u);
    EXPECT_LT(notesDrawnAtBlink(), firstRing->notes.count);
    EXPECT_EQ(gun->ringAtom->noteCount, 0);
    const ClVec3 launched = positionOf(first);
    playSong(1.0f);
    EXPECT_NEAR((positionOf(first) - launched).z, 100.0f, 2.0f) << "toward the ship at 100 a second";

    // Killing the gun takes the ring it holds; the launched one flies on.
    ClEntity* held = entityRefGet(gun->heldBullet);
    bird->destroy();
    EXPECT_EQ(held->state, u32(E_ENTITY_DESTROYED));
    stepWorld();
    EXPECT_EQ(first->state, u32(E_ENTITY_ACTIVE));
    playSong(2.0f);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 1u);
}

// A star of three staffs, member 1 of its wave: beat n fires staff (1 + n) mod 3.
class StaffStarTest : public EnemiesTest {
protected:
    void SetUp() override {
        EnemiesTest::SetUp();
        m_dna.node().param("staffwidth", 5.0f).processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_STAFF_STAR).mainBody();
        for (int i = 0; i < 3; ++i) {
            m_dna.node("SSGN", translation(0.0f, 0.0f, f32(i))).processor(E_PROC_UPDATE_WORLD_FRAMES);
            m_dna.namedAtom(E_ATOM_ATTACH_POINT, "NozzleAtom");
            m_dna.close();
        }
        m_dna.close();
        star = spawnActiveEntity(&m_dna.program, ClVec3(100.0f, 0.0f, 100.0f));
        star->memberIndex = 1;
        stars = static_cast<ClProcessor_Enemy_AI_StaffStar*>(star->root->findProcessor(E_PROC_ENEMY_STAFF_STAR));
    }
    s32 firedStaff() const {
        s32 fired = -1;
        for (u32 i = 0; i < stars->staffRecords.count; ++i)
            if (stars->staffRecords[i].staffAtom->staffState == STAFF_STATE_FIRED) fired = s32(i);
        return fired;
    }
    ClEntity* star = nullptr;
    ClProcessor_Enemy_AI_StaffStar* stars = nullptr;
};

TEST_F(StaffStarTest, FiresOneStaffABeatOutOfStepWithItsWaveAndEachBeamIsDeadlyForItsFade) {
    ASSERT_EQ(stars->staffRecords.count, 3u);
    ClAtom_Bullet_Staff* staff = stars->staffRecords[0].staffAtom;
    staff->computeWorldBounds();
    EXPECT_EQ(staff->entity->root->params.get("staffwidth")->real, 5.0f) << "not fired: no bounds";
    EXPECT_EQ(staff->entity->findOrAddParam("BullDmg")->real, FLT_MAX) << "not fired: no bounds";
    EXPECT_EQ(staff->worldBox[g_uFrameCurrent].kind, u32(E_BOUNDS_UNBOUNDED)) << "not fired: no bounds";

    addBeats(0.05f, 0.5f, 3);
    std::vector<s32> fired;
    for (int beat = 0; beat < 3; ++beat) {
        playSong(beat == 0 ? 0.1f : 0.5f);
        fired.push_back(firedStaff());
    }
    EXPECT_EQ(fired, (std::vector<s32>{1, 2, 0}));
    ClAtom_Bullet_Staff* live = stars->staffRecords[0].staffAtom;
    live->computeWorldBounds();
    EXPECT_EQ(live->isLive(), true);
    EXPECT_EQ(live->worldBox[g_uFrameCurrent].kind, u32(E_BOUNDS_SPHERE));
    live->noteColour.advance(STAFF_LIVE_SECONDS);
    EXPECT_FALSE(live->isLive()) << "its fade over";

    star->setRootPosition(ClVec3(100.0f, 0.0f, STAFF_STAR_FAR_EDGE_Z));
    addBeats(1.2f, 0.0f, 1);
    playSong(0.2f);
    EXPECT_EQ(firedStaff(), 0) << "no beam from beyond the far edge";
}

TEST_F(StaffStarTest, AStaffWhoseNozzleWentEndsItselfAndTheStarsDeathTakesTheRest) {
    ClAtom_Bullet_Staff* lost = stars->staffRecords[1].staffAtom;
    stars->staffRecords[1].nozzle->deactivate(1);
    lost->draw();
    EXPECT_EQ(stars->staffRecords.count, 2u);
    EXPECT_EQ(stars->staffRecords[1].node, star->root->children[2]);

    // The star's death takes the staffs left; the lost one, which it no longer holds, went itself.
    star->destroy();
    stepWorld();
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 0u);
}

// Run under the address sanitizer: neither side may read the other's freed storage.
TEST_F(StaffStarTest, AStaffOrAStarFreedFirstLeavesTheOtherWithoutALink) {
    ClEntity* first = entityRefGet(stars->staffRecords[0].staffEntity);
    first->destroy();
    stepWorld();
    EXPECT_EQ(stars->staffRecords.count, 2u) << "the freed staff left its record";

    ClAtom_Bullet_Staff* orphan = stars->staffRecords[0].staffAtom;
    ClEntity* orphanEntity = orphan->entity;
    freeEntity(star);
    EXPECT_EQ(orphan->ownerAtom, nullptr);
    EXPECT_EQ(orphan->ownerProcessor, nullptr);
    EXPECT_EQ(orphanEntity->state, u32(E_ENTITY_DESTROYED));
    stepWorld();
}

TEST_F(EnemiesTest, TheAimedGunFiresPairsOnlyWithTheShipWithinTenDegreesAtMostOnceASecond) {
    // A turret heading along +x with the aimed gun on it.
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).bulletBlock("DefBullGenE", 0, 100.0f, 0.1f, 1.0f);
    m_dna.processor(E_PROC_ENEMY_GUN_PHYSICAL).atom(E_ATOM_ATTACH_POINT);
    m_dna.close().close();
    spawnActiveEntity(&m_dna.program, ClVec3(100.0f, 0.0f, 100.0f));
    const f32 off = 10.5f * 3.1415927f / 180.0f;
    ClEntity* target = spawnShip(m_ship, ClVec3(100.0f + 100.0f * std::cos(off), 0.0f, 100.0f + 100.0f * std::sin(off)));
    playSong(3.0f);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 0u) << "10.5 degrees off";

    target->setRootPosition(ClVec3(200.0f, 0.0f, 100.0f));
    u32 frames = 0;
    for (; liveCount(E_PROGRAM_ENEMY_SHOT) == 0 && frames < 70; ++frames) playSong(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 2u) << "a pair at the next check, within a second";
    EXPECT_LE(frames, 61u);
    playSong(58.0f * STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 2u);
    playSong(4.0f * STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 4u);
}

TEST_F(EnemiesTest, ConditionalDestructionBlowsUpItsPartsOnceEveryMustPartIsGone) {
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_CONDITIONAL_DESTROY).mainBody();
    for (const char* name : {"NMUST", "NMUST", "NDEST"}) m_dna.node(name).atom(E_ATOM_BODY), m_dna.close();
    m_dna.close();
    ClEntity* e = spawnActiveEntity(&m_dna.program);
    ClAtom* armour = e->root->children[2]->atoms[0];
    const auto lose = [e](u32 pod) {
        e->root->children[pod]->atoms[0]->deactivate(1);
        e->root->updateAliveFlags();
        broadcastReload(e->root);
    };
    lose(0);
    EXPECT_EQ(armour->active, 1u) << "one pod left";
    lose(1);
    EXPECT_EQ(armour->active, 0u);
    EXPECT_EQ(e->root->atoms[0]->active, 1u);

    DnaWriter& bare = m_more[0];
    bare.node().processor(E_PROC_CONDITIONAL_DESTROY).mainBody();
    bare.node("NDEST").atom(E_ATOM_BODY);
    bare.close().close();
    ClEntity* plain = spawnActiveEntity(&bare.program);
    broadcastReload(plain->root);
    EXPECT_EQ(plain->root->children[0]->atoms[0]->active, 0u) << "no survivor parts: the first refresh";
    plain->root->children[0]->resetAtoms();
    broadcastReload(plain->root);
    EXPECT_EQ(plain->root->children[0]->atoms[0]->active, 1u) << "done once";
}

TEST_F(EnemiesTest, AWaveFlagPartStaysOnlyWhenItsWaveCarriesOneOfItsBits) {
    ClWaveDNA wave;
    wave.memberFlags[1] = 2;
    SWaveRecord record = {};
    record.plan = &wave.members[1];
    wave.members[1].wave = &wave;
    auto member = [&](DnaWriter& w, s32 mask) {
        w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
        w.node().param("KFC", mask);
        w.processor(E_PROC_ENABLE_BASED_ON_WAVE_FLAGS).atom(E_ATOM_BODY);
        w.close().close();
        ClEntity* e = buildEntity(&w.program);
        e->waveSlot = &record;
        e->planSlot = 1;
        e->root->resetAtoms();
        e->spawn();
        e->activate();
        return e->root->children[0]->atoms[0]->active;
    };
    EXPECT_EQ(member(m_more[0], 3), 1u);
    EXPECT_EQ(member(m_more[1], 1), 0u);
    EXPECT_EQ(member(m_more[2], 0), 0u);
}

// An arm on a hull at (100, 0, 100) resting along +x, 20 long.
TEST_F(EnemiesTest, TheArmGroupCommandsStrikesOnARunOfBeatsAndTheArmSwingsWithinItsCone) {
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_ARM_GROUP).mainBody();
    m_dna.node("arm").param("arm_ang", 0.0f).param("arm_len", 20.0f).processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_ARM);
    m_dna.node(nullptr, translation(20.0f, 0.0f, 0.0f)).processor(E_PROC_UPDATE_WORLD_FRAMES).atom(E_ATOM_BODY);
    m_dna.close().close().close();
    ClEntity* brute = spawnActiveEntity(&m_dna.program, ClVec3(100.0f, 0.0f, 100.0f));
    auto* arm = static_cast<ClProcessor_Enemy_AI_Arm*>(brute->root->children[0]->findProcessor(E_PROC_ENEMY_ARM));
    auto* group = static_cast<ClProcessor_Enemy_AI_ArmGroup*>(brute->root->findProcessor(E_PROC_ENEMY_ARM_GROUP));
    ClEntity* target = spawnShip(m_ship, ClVec3(100.0f, 0.0f, 200.0f));
    playSong(STEP);
    // No run of beats: retried every half second.
    EXPECT_EQ(arm->strikeTime, ARM_NO_STRIKE);
    EXPECT_EQ(group->commandTimer, ARM_RETRY_SECONDS);

    addBeats(0.6f, 0.75f, 8);  // 80 beats a minute
    playSong(0.5f);
    EXPECT_EQ(arm->strikeTime, 0.6f);
    playSong(0.3f);
    // Struck, swung, and armed for the next beat of the run.
    EXPECT_EQ(arm->swingState, s32(E_ARM_ARMED));
    EXPECT_EQ(arm->strikeTime, 1.35f);
    const ClVec3 edge(std::cos(ARM_CONE_LIMIT) * 20.0f, 0.0f, std::sin(ARM_CONE_LIMIT) * 20.0f);
    EXPECT_NEAR((arm->tipBlend.value() - edge).length(), 0.0f, 1e-3f) << "the ship 90 degrees off: the cone's edge";

    target->setRootPosition(ClVec3(130.0f, 0.0f, 105.0f));
    playSong(0.8f);
    ClVec3 toward = ClVec3(30.0f, 0.0f, 5.0f);
    toward.setLength(20.0f);
    EXPECT_NEAR((arm->tipBlend.value() - toward).length(), 0.0f, 1e-3f) << "inside the cone: straight at the ship";

    target->setRootPosition(ClVec3(160.0f, 0.0f, 100.0f));
    playSong(0.75f);
    EXPECT_NEAR((arm->tipBlend.value() - toward).length(), 0.0f, 1e-3f) << "on the rest axis the target stays";

    setPlayerShip(0, nullptr);
    arm->swingState = E_ARM_ARMED;
    arm->strikeTime = 0.0f;
    playSong(STEP);
    EXPECT_EQ(arm->swingState, E_ARM_IDLE) << "no ship, no strike";
}

// The boss head's gun and shield, which the bosses switch on and read.
TEST_F(EnemiesTest, HeadGunFiresEveryIntervalAtTheShipAndHoldsWithoutIt) {
    ClEntity* ship = spawnShip(m_ship, ClVec3(100.0f, 0.0f, 0.0f));
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).param("NDKBL", s32(3)).processor(E_PROC_ENEMY_HEAD_GUN).close();
    ClEntity* head = spawnActiveEntity(&m_dna.program);
    auto* gun = static_cast<ClProcessor_Enemy_AI_Head_Gun*>(head->root->findProcessor(E_PROC_ENEMY_HEAD_GUN));
    for (u32 i = 0; i < 30; ++i) stepWorld(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 0u) << "idle until a boss enables it";

    gun->enabled = 1;
    gun->shotInterval = 0.5f;
    stepWorld(STEP);
    ASSERT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 1u);
    ClEntity* bullet = entityListAt(E_LIST_LIVE, entityListCount(E_LIST_LIVE) - 1);
    EXPECT_EQ(bullet->root->params.get("BullType")->integer, 19);
    const f32 speed = bullet->root->params.get("BullVel")->real;
    EXPECT_GE(speed, 170.0f * 0.6f) << speed;
    EXPECT_LE(speed, 170.0f * 1.4f) << speed;
    EXPECT_GT(bullet->getWorldAxisX().x, 0.99f) << "aimed at the ship";
    for (u32 i = 0; i < 29; ++i) stepWorld(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 1u);
    stepWorld(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), 2u);

    setPlayerShip(0, nullptr);
    const u32 shots = liveCount(E_PROGRAM_ENEMY_SHOT);
    for (u32 i = 0; i < 60; ++i) stepWorld(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots) << "holds its fire";
    setPlayerShip(0, ship);
    stepWorld(STEP);
    EXPECT_EQ(liveCount(E_PROGRAM_ENEMY_SHOT), shots + 1) << "fires at once when the ship is back";

    head->root->params.get("NDKBL")->setInt(5);
    gun->fireTimer = 0.0f;
    EXPECT_EQ(test_support::fatalReasonOf([] { stepWorld(STEP); }), "head gun: \"NDKBL\" 5 is outside 0 to 4");
}

TEST_F(EnemiesTest, HeadShieldDefendsWhileWholeAndLetsGoOfTheBeatsWhenDestroyed) {
    m_dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
    m_dna.node().param("hd_sh_mov", s32(2)).param("hd_sh_piv", 0.0f).param("hd_sh_apb", 0.0f).param("hd_sh_def", 10.0f);
    m_dna.processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_HEAD_SHIELD).atom(E_ATOM_BODY);
    m_dna.atom(E_ATOM_BODY);
    m_dna.close().close();
    ClEntity* head = spawnActiveEntity(&m_dna.program);
    ClEntityNode* shield = head->root->children[0];
    EXPECT_EQ(shield->params.get("def")->real, 10.0f);
    EXPECT_EQ(liveBeatSubscriptions(), 1u);
    f32 attack = -1.0f, defence = -1.0f;
    sumNodeTreeAttDef(head->root, &attack, &defence);
    EXPECT_EQ(defence, 10.0f) << "whole";
    shield->atoms[1]->active = 0;
    shield->findProcessor(E_PROC_ENEMY_HEAD_SHIELD)->reloadParameters();
    sumNodeTreeAttDef(head->root, &attack, &defence);
    EXPECT_EQ(attack, 0.0f);
    EXPECT_EQ(defence, 0.0f);
    head->destroy();
    EXPECT_EQ(liveBeatSubscriptions(), 0u);
}

}  // namespace
