// The boss encounter against the song clock, on the built data: its real "playbalance.txt",
// "guardian_movies.txt", eye frames and sound bank (the null output knows every cue's length),
// so the intro and post-win timings are the bank's. Then the story sequences' timed events over
// scripts held in memory.
#include <gtest/gtest.h>

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "core/string_helpers.h"
#include "render/flipbook.h"
#include "tests/support/memory_script_source.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "ui/widget.h"
#include "world/atoms/atom.h"
#include "world/collision/kill_queue.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/boss_meter.h"
#include "world/play/guardian_sequence.h"
#include "world/processors/player_ctrl.h"
#include "world/state/boss_encounter.h"
#include "world/state/item_description.h"
#include "world/state/play_record.h"

#include <cfloat>

using namespace world_test;

namespace {

constexpr f32 STEP = 1.0f / 60.0f;
constexpr f32 ARRIVAL = 5.0f;

u32 g_collects = 0;
const SBossEncounterHooks g_hooks = {[] { ++g_collects; }};

void encounterFrame() {
    setSongTime(currentSongTime() + STEP);
    updateBossEncounter();
    updateGuardianEvents();
}

class EncounterTest : public WorldDrawTest {
protected:
    void SetUp() override {
        WorldDrawTest::SetUp();
        ASSERT_TRUE(openEncounterStage());
        installEncounter(&g_hooks);
        g_BossEncounter.phaseTimer = FLT_MAX;
        g_collects = 0;
    }
    void TearDown() override {
        closeBossStage();
        setScriptSource(nullptr);
        WorldDrawTest::TearDown();
    }

    // The stand-in boss of the built data, waiting for 5 s, with its meeting point; the ship
    // with its control; one enemy already in play.
    void setUpEncounter() {
        m_boss.node().program.emitParamVector("BPYP", 162.5f, 0.0f, 60.0f, 1.0f);
        m_boss.mainBody();
        m_boss.close();
        m_boss.program.generator = &m_bossGenerator;
        awaitBoss(&m_boss.program, "BossStub", ARRIVAL);
        spawnPilotedShip(m_ship);
        m_enemy.node().mainBody();
        m_enemy.close();
        m_other = spawnActiveEntity(&m_enemy.program);
    }
    // Frames of the song clock, each running only the encounter and the sequences.
    static void playUntil(f32 songTime) { world_test::playUntil(songTime, encounterFrame); }
    static void playUntilPhase(s32 phase) { world_test::playUntilPhase(phase, encounterFrame); }
    static s32 dontShoot() { return bossEntity()->root->params.get("dnt_shoot")->integer; }
    void use(const char* guardianScript) {
        m_script.files["guardian_movies.txt"] = guardianScript;
        setScriptSource(&m_script);
    }

    ClOneNodeGenerator m_bossGenerator{E_GENCAT_BOSS, "BossStub", E_PROGRAM_ENEMY};
    DnaWriter m_boss;
    DnaWriter m_ship{E_PROGRAM_PLAYER};
    DnaWriter m_enemy;
    ClEntity* m_other = nullptr;
    test_support::ClMemoryScriptSource m_script;
};

TEST_F(EncounterTest, TheBossArrivesIntroducesItselfFightsAndEscapesAtZero) {
    setUpEncounter();
    const f32 intro = cueSeconds("SG_InGameIntro_Boss");
    ASSERT_GT(intro, 1.0f) << "the bank measured the synthesised speech";

    playUntilPhase(E_BOSSPHASE_ARRIVED);
    const f32 arrived = currentSongTime();
    ClEntity* boss = bossEntity();
    // The other enemy fades out, the ship does not.
    EXPECT_EQ(dontShoot(), 1);
    EXPECT_EQ(g_PlayRecord.bossArrived, 1);
    EXPECT_EQ(g_PlayRecord.boss.pending, 1);
    EXPECT_EQ(g_collects, 1u);
    EXPECT_EQ(boss->tween.to, 1.0f);
    EXPECT_EQ(m_other->tween.to, 0.0f);
    EXPECT_EQ(playerShip(0)->tween.running, 0u);
    EXPECT_EQ(g_BossEncounter.phaseTimer, arrived + 2.5f);

    playUntilPhase(E_BOSSPHASE_INTRO);
    const f32 introStart = currentSongTime();
    const ClProcessor_PlayerCtrl* ctrl = findPlayerCtrl(playerShip(0));
    EXPECT_EQ(g_BossEncounter.phaseTimer, introStart + intro);
    EXPECT_EQ(playerShip(0)->timer, intro + 1.5f);
    EXPECT_EQ(g_GuardianSequence.active, 1);
    EXPECT_EQ(ctrl->scriptedMove, 1u);
    EXPECT_EQ(ctrl->moveTween.to.z, 60.0f);

    playUntilPhase(E_BOSSPHASE_FIGHT);
    const f32 fightStart = currentSongTime();
    EXPECT_EQ(dontShoot(), 0) << "boss 0 sub-boss 0 escapes after 120 s";
    EXPECT_EQ(g_BossEncounter.phaseTimer, fightStart + 120.0f) << "boss 0 sub-boss 0 escapes after 120 s";
    EXPECT_EQ(findWidgetByName("boss_meter_icon")->isVisible(), true) << "boss 0 sub-boss 0 escapes after 120 s";

    playUntilPhase(E_BOSSPHASE_WAITING);
    flushDestroyedEntities();
    EXPECT_EQ(boss->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(g_BossEncounter.phaseTimer, FLT_MAX);
    EXPECT_EQ(findWidgetByName("boss_escaped")->isVisible(), true);
    EXPECT_EQ(findWidgetByName("boss_meter_icon")->isVisible(), false);
    // The escape is the one ending: a late kill of the boss changes nothing, and it never comes back.
    queueKill(boss);
    processKillQueue();
    playUntil(currentSongTime() + 5.1f);
    EXPECT_EQ(g_BossEncounter.dead, 0);
    EXPECT_EQ(g_BossEncounter.phase, s32(E_BOSSPHASE_WAITING));
    EXPECT_EQ(findWidgetByName("boss_escaped")->isVisible(), false);
}

// The view's setting is a song path: its presence alone stops the encounter.
TEST_F(EncounterTest, TheBeatAnalysisViewRunsNoEncounter) {
    setUpEncounter();
    ASSERT_TRUE(configSetValue("VISUAL_BEAT_ANALYSIS", "/music/song.wav"));
    playUntil(ARRIVAL + 1.0f);
    configClear();
    EXPECT_EQ(g_BossEncounter.phase, s32(E_BOSSPHASE_WAITING));
}

TEST_F(EncounterTest, AKilledBossEndsTheFightOnceWithThePostWinSpeech) {
    setUpEncounter();
    playUntilPhase(E_BOSSPHASE_FIGHT);
    ClEntity* boss = bossEntity();
    boss->atoms[0]->deactivate(0);
    processKillQueue();
    const f32 speech = cueSeconds("SG_PostWin_Boss");
    EXPECT_EQ(g_BossEncounter.phase, s32(E_BOSSPHASE_WAITING));
    EXPECT_EQ(playerShip(0)->timer, speech + 1.5f);
    EXPECT_EQ(g_GuardianSequence.active, 1);
    EXPECT_EQ(findWidgetByName("boss_escaped")->isVisible(), false);
    playUntil(currentSongTime() + 1.0f);
    const f32 clock = g_GuardianSequence.eventClock;
    onBossDeath();
    EXPECT_EQ(g_GuardianSequence.eventClock, clock) << "a second death does not restart the speech";
    playUntil(currentSongTime() + 200.0f);
    EXPECT_EQ(g_BossEncounter.phase, 0);
    EXPECT_EQ(g_GuardianSequence.active, 0);
}

TEST_F(EncounterTest, TheBarFlashesOnEveryChangeAndHealingComesOnlyForALostPart) {
    setUpEncounter();
    playUntilPhase(E_BOSSPHASE_FIGHT);
    bossEntity()->findOrAddParam("NDKFBH")->setFloat(1.5f);
    playUntil(currentSongTime() + STEP);
    EXPECT_EQ(g_BossEncounter.hitFlashTime, 0.0f) << "1.5 shows as the full bar it was";
    bossEntity()->findOrAddParam("NDKFBH")->setFloat(0.5f);
    playUntil(currentSongTime() + STEP);
    EXPECT_EQ(g_BossEncounter.barLastValue, 0.5f);
    EXPECT_EQ(g_BossEncounter.hitFlashTime, 0.25f - STEP);

    // An anchor whose part is gone counts down and redraws the interval from the level's range.
    SPlayerState& player = g_aPlayerState[0];
    player.anchorCount = 1;
    player.anchors[0].node = playerShip(0)->root;
    g_BossEncounter.healingCountdown = 1.0f;
    playUntil(currentSongTime() + 0.5f);
    EXPECT_EQ(g_BossEncounter.healingCountdown, 1.0f) << "a whole ship gets nothing";
    playerShip(0)->atoms[0]->buildStamp = 0;
    playUntil(currentSongTime() + 0.5f);
    EXPECT_NEAR(g_BossEncounter.healingCountdown, 0.5f, 2 * STEP);
    playUntil(currentSongTime() + 0.5f);
    const f32 redrawn = g_BossEncounter.healingCountdown;
    EXPECT_GE(redrawn, 4.0f - 0.5f) << "difficulty 0 drops every 4 to 6 s, not " << redrawn;
    EXPECT_LE(redrawn, 6.0f) << "difficulty 0 drops every 4 to 6 s, not " << redrawn;
}

// Sequences over a script in memory; the eye and the cues are the built data's.
using GuardianTest = EncounterTest;

TEST_F(GuardianTest, ASequenceStartedOverARunningOneStopsItsCuesAndEndsIt) {
    use("Talk { A { sound_file = \"SG_VO_Interview_1\"; events { { 0.0; play_sound; }; }; };"
        " B { events { { 0.0; set_visible = 1; }; }; }; };");
    startGuardianSequence("A", "Talk", 1);
    playUntil(STEP);
    const SCueHandle voice = g_GuardianSequence.voiceCue;
    const SCueHandle crackle = g_GuardianSequence.staticCue;
    ASSERT_TRUE(voice);
    ASSERT_TRUE(crackle);
    startGuardianSequence("B", "Talk", 2);
    EXPECT_EQ(isCueFinished(voice), true);
    EXPECT_EQ(isCueFinished(crackle), true);
    EXPECT_EQ(lastEndedGuardianTag(), 1u);
    EXPECT_EQ(g_GuardianSequence.active, 1);
    abortGuardianSequence();
    EXPECT_EQ(lastEndedGuardianTag(), 2u);
}

TEST_F(GuardianTest, StaticSquintsAtTwoFifthsLeftAndStopsHalfASecondBeforeItsEndFadingOut) {
    startGuardianStatic(3.0f, 5);
    std::vector<s32> squinted, active;
    std::vector<u32> ended;
    for (f32 t : {1.8f - STEP / 2, 1.8f + STEP, 2.5f - STEP / 2, 2.5f + STEP}) {
        playUntil(t);
        squinted.push_back(g_GuardianSequence.squinted);
        active.push_back(g_GuardianSequence.active);
        ended.push_back(lastEndedGuardianTag());
    }
    EXPECT_EQ(squinted, (std::vector<s32>{0, 1, 1, 1}));
    EXPECT_EQ(active, (std::vector<s32>{1, 1, 1, 0}));
    EXPECT_EQ(ended, (std::vector<u32>{0, 0, 0, 5}));
    // Its end hides the eye and fades it out.
    EXPECT_EQ(g_GuardianSequence.visible, 0);
    EXPECT_EQ(g_GuardianSequence.fade.to, 0.0f);
}

TEST_F(GuardianTest, UnknownActionsAndStatesAndMissingSequencesAreFatal) {
    use("Talk { Dance { events { { 0.0; dance; }; }; }; Stare { events { { 0.0; set_state = \"normal\"; }; }; }; };");
    startGuardianSequence("Dance", "Talk", 0);
    EXPECT_EQ(test_support::fatalReasonOf([] { playUntil(STEP); }),
              "\"guardian_movies.txt\": unknown guardian action \"dance\"");
    startGuardianSequence("Stare", "Talk", 0);
    EXPECT_EQ(test_support::fatalReasonOf([] { playUntil(2 * STEP); }),
              "\"guardian_movies.txt\": eye state \"normal\" of \"set_state\" is not known");
    EXPECT_EQ(test_support::fatalReasonOf([] { startGuardianSequence("Sing", "Talk", 0); }),
              "script \"guardian_movies.txt\" Talk: getChildOrDie(\"Sing\"): no such child");
}

// Every sequence of the game's script runs to its end, and its speech is in the bank.
TEST_F(EncounterTest, EveryStorySequenceOfTheDataRunsAndSpeaks) {
    const ClScriptNode* root = getScript(GUARDIAN_SCRIPT, 0);
    ASSERT_NE(root, nullptr);
    u32 sequences = 0;
    for (u32 s = 0; s < root->childCount(); ++s) {
        const ClScriptNode* set = root->getChild(s);
        for (u32 q = 0; q < set->childCount(); ++q, ++sequences) {
            const char* name = set->getChild(q)->name.text;
            EXPECT_GT(getGuardianSoundLength(name, set->name.text), 1.0f) << set->name.text << "/" << name;
            startGuardianSequence(name, set->name.text, sequences + 1);
            playUntil(currentSongTime() + 30.0f);
            EXPECT_EQ(g_GuardianSequence.active, 0) << set->name.text << "/" << name << " ends with exit";
            EXPECT_EQ(lastEndedGuardianTag(), sequences + 1) << set->name.text << "/" << name;
        }
    }
    EXPECT_EQ(g_GuardianSequence.eye.sequence->textures.count, 8u);
}

TEST(ItemDescription, EveryCopyIsCutToItsField) {
    SItemDescription d;
    d.reset();
    d.setKindText("a kind that is far too long for thirty-two");
    EXPECT_EQ(std::u16string(d.kindText).size(), size_t(ITEM_TEXT_LENGTH - 1));

    SRatingLine line{};
    line.set("12", u"Power");
    wstrCopyN(line.unit, u"%", RATING_TEXT_LENGTH);
    const auto text = [&line](u32 room, s32 withUnit) {
        char16_t out[16];
        line.formatText(out, room, withUnit);
        return std::u16string(out);
    };
    EXPECT_EQ(text(16, 0), u"Power 12");
    EXPECT_EQ(text(16, 1), u"Power 12%");
    EXPECT_EQ(text(6, 1), u"Power");
}

}  // namespace
