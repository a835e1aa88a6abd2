// One minute of play, headless, in game steps of 1/60 s with scripted input: the ship flies to
// the far edge and fires, enemies fly in on paths timed by a beat every half second, the bullets
// kill them, the ship collects the score pickups they drop, rams an enemy, dies, respawns and
// plays on. The score, kills and deaths at the end are what the score rules give.
#include <gtest/gtest.h>

#include "audio/analysis/beat.h"
#include "audio/play/song_clock.h"
#include "core/config.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/saved_options.h"
#include "input/input_channels.h"
#include "render/draw_lists.h"
#include "tests/support/memory_script_source.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"
#include "world/processors/path_follower.h"
#include "world/processors/player_ctrl.h"
#include "world/services/world_imports.h"
#include "world/state/play_record.h"
#include "world/state/wave_record.h"
#include "world/world_step.h"

#include <vector>

using namespace world_test;

namespace {

constexpr f32 STEP = 1.0f / 60.0f;
constexpr f32 SCORE_SCALE = 1.5f;
constexpr s32 ENEMY_INSPIRATION = 25;

// Enemies wait for a beat above the arena, then fly in to a point and enter play there.
constexpr f32 ENTRY_Z = -40.0f;
constexpr f32 LINE_X = 162.5f;   // the ship's firing line
constexpr f32 LINE_Z = 8.0f;     // 17 in front of the ship at the far edge (z 25)

ClGeometryMesh* hull() { return makeRingMesh(6, 3.0f); }

// The ship: control on the root; anchor 0 carries its "AnchorCL", the hull (whole at every spawn)
// and a gun that fires along the ship's heading while fire 1 is held.
ClDNAProgram* buildShipProgram() {
    DnaWriter w(E_PROGRAM_PLAYER);
    w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_PLAYER_CTRL);
    w.program.emitAnchorNode();
    w.param("anchID", 0).param("startNode", 1).processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(w.addGeometry(hull()));
    w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_PLAYER_GUN).param("ctrl", 0).param("GunRate", 10.0f);
    w.param("GunPel", 1).param("GunPat", 0).param("MyBullGen", s32(crc32TextNoCase("DefBullGen"))).param("BullType", 0);
    // The damage is the hit points of class 0 at difficulty 0, so each kill uses its bullet up.
    w.param("BullLev", 0).param("BullRad", 1.5f).param("BullRndRad", 1.0f).param("BullDmg", 29.0f);
    w.param("BullVel", 300.0f).param("BullVelVar", 0.0f).param("BullCol", s32(0xFF00FF00u)).param("BullFlag", 0);
    w.node("BarrelNode").processor(E_PROC_UPDATE_WORLD_FRAMES).namedAtom(E_ATOM_ATTACH_POINT, "NozzleAtom");
    w.close().close().close().close();
    return w.detach();
}

class ClDroneGenerator : public ClDNAGenerator {
public:
    ClDroneGenerator() : ClDNAGenerator(E_GENCAT_ENEMY_SMALL, "ScriptedDrone") {}
    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        DnaWriter w;
        w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_FOLLOW_PATH).mainBody(w.addGeometry(hull()));
        w.close();
        w.program.inspirationScore = ENEMY_INSPIRATION;
        w.program.generator = this;
        return w.detach();
    }
};

class ClScorePickupGenerator : public ClDNAGenerator {
public:
    ClScorePickupGenerator() : ClDNAGenerator(E_GENCAT_PICKUP, SCORE_PICKUP_GENERATOR) {}
    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        DnaWriter w(E_PROGRAM_PICKUP);
        w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).atom(E_ATOM_PICKUPABLE);
        w.program.emitAtomParamInt("PAT", 1);
        w.program.emitRegisterAtom();
        w.close();
        w.program.generator = this;
        return w.detach();
    }
    s32 onCollect(ClEntity* pickup, const SContact*) override {
        addPickupScore(pickup->root->params.get("inspvalue")->integer);
        return 1;
    }
};

// One wave of one member: from above the arena to its point.
struct SScriptedWave {
    f32 spawnTime;
    f32 x, z;
    ClWaveDNA plan{};
    SWaveRecord record{};
    ClEntity* entity = nullptr;

    void plot() {
        plan.speedClass = 2;
        plan.memberCount = 1;
        SWaveMember& member = plan.members[0];
        member.wave = &plan;
        member.segments.init();
        member.segments.push({E_SEG_START, vectorValue(x, 0.0f, ENTRY_Z), {}, {}});
        member.segments.push({E_SEG_TIMED_MOVE, vectorValue(x, 0.0f, z), vectorValue(0.0f, 0.0f, 1.0f), intValue(0)});
        member.segments.push({E_SEG_END, {}, {}, {}});
        record.plan = &member;
    }
};

// The data the game builds gives the gun its flashes; the null device draws nothing, and the draw
// lists are emptied after every step.
class ScriptedPlay : public Seeded<WorldDrawTest, 17> {
protected:
    void SetUp() override {
        Seeded::SetUp();
        configClear();
        initInput(0, 38);
        setInputSettleFrames(0);
        g_SavedOptions.controllerSensitivity = 5;
        g_SavedOptions.latchedFire = 0;
        resetSongAnalysis();
        addBeats(0.5f, 0.5f, 2 * 60, BEAT_FLAG_ON_PULSE);
        g_iCurrentBeat = 0;
        g_fGameStep = STEP;
        resetPlayRecord();
        g_PlayRecord.song.scoreScale[0] = SCORE_SCALE;
        resetInspirationPickups();
        generatorRegister(&m_drones);
        generatorRegister(&m_pickups);
        initHitEffects();
        SWorldImports imports;
        imports.buildShipProgram = buildShipProgram;
        setWorldImports(&imports);
        createPlayerShipProgram();
        enableFirstPlayer();
        spawnPlayerShip(0, 1);
    }
    void TearDown() override {
        releaseHitEffects();
        shutdownWorld();  // the entities go before the programs they were built from
        freeSessionDNAProgram();
        resetSessionEffects();
        setWorldImports(nullptr);
        generatorUnregisterAll();  // the generators' programs go with them
        for (SScriptedWave& wave : m_waves) wave.plan.release();
        releaseSongAnalysis();
        shutdownInput();
        configFree();
        WorldDrawTest::TearDown();
    }

    // Between the flip and the world's step: the song clock on the gameplay step, the beats, and
    // the waves that are due.
    void tick() {
        updateSongClock(0);
        deliverDueBeats();
        for (SScriptedWave& wave : m_waves) {
            if (wave.entity || currentSongTime() < wave.spawnTime) continue;
            wave.entity = allocEntity(OWNER_LIVE_GAME);
            wave.entity->waveSlot = &wave.record;
            wave.entity->buildFromDNA(m_drones.getSharedProgram());
            wave.record.memberEntities[0] = wave.entity;
            wave.record.memberCount = 1;
            wave.entity->spawnTime = currentSongTime();
            wave.entity->spawn();
            wave.entity->setWaveMember(1);
        }
    }

    // Player 0's channels for this frame: the current side is written, the other keeps the last.
    static void input(f32 time) {
        g_uInputFlipIndex ^= 1u;
        clearPlayerChannels();
        const auto during = [time](f32 from, f32 to) { return time >= from && time < to ? 1.0f : 0.0f; };
        getPlayerChannel(0, SHIP_CHANNEL_UP)->value[g_uInputFlipIndex] = during(0.0f, 1.5f) + during(28.0f, 29.5f);
        getPlayerChannel(0, SHIP_CHANNEL_RIGHT)->value[g_uInputFlipIndex] = during(21.0f, 23.0f);
        getPlayerChannel(0, SHIP_CHANNEL_FIRE_FIRST)->value[g_uInputFlipIndex] = during(0.0f, 20.0f) + during(30.0f, 60.0f);
    }

    test_support::ClInstalledScripts m_script{{{"playbalance.txt",
                                                "score_wavekill_base_bonus = 100.0;"
                                                "death_penalty { -250.0; -500.0; -750.0; -1000.0; -1500.0; -2000.0; };"}}};
    ClDroneGenerator m_drones;
    ClScorePickupGenerator m_pickups;
    std::vector<SScriptedWave> m_waves;
};

}  // namespace

TEST_F(ScriptedPlay, AMinuteOfPlayEndsWithTheScoreKillsAndDeathsOfTheRules) {
    // Five drones on the firing line, one to ram beside the ship, three more after the respawn.
    for (f32 t : {2.0f, 5.0f, 8.0f, 11.0f, 14.0f}) m_waves.push_back({t, LINE_X, LINE_Z});
    m_waves.push_back({16.0f, 250.0f, 25.0f});  // off the line, level with the ship
    for (f32 t : {32.0f, 35.0f, 38.0f}) m_waves.push_back({t, LINE_X, LINE_Z});
    for (SScriptedWave& wave : m_waves) wave.plot();

    f32 deathTime = 0.0f;
    for (u32 i = 0; i < 60 * 60; ++i) {
        const f32 time = f32(i) * STEP;
        input(time);
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
        flipFrameBuffers();
        tick();
        worldStep();
        updatePlayerLife();
        clearDrawListHalf(PRODUCER_HALF);
        if (g_aPlayerState[0].deaths > 0 && deathTime == 0.0f) deathTime = time;
    }

    // Each drone shot dies to one bullet and drops trunc(1.5 x 25) = 37 points, collected from the
    // far edge. The ram kills the drone too (no pickup) and the ship: 5 x 37 = 185 falls by 250
    // to 0, 185 points lost. The three drones after the respawn give 3 x 37.
    const s32 killPoints = s32(SCORE_SCALE * f32(ENEMY_INSPIRATION));
    const SPlayerState& player = g_aPlayerState[0];
    EXPECT_EQ(player.kills, 9);
    EXPECT_EQ(player.deaths, 1);
    EXPECT_EQ(player.pointsLost, 5 * killPoints);
    EXPECT_EQ(player.score, SCORE_ENCODING_FACTOR * 3 * killPoints);
    EXPECT_EQ(shownScore(player), 111);
    EXPECT_EQ(liveInspirationPickupCount(), 0u);
    EXPECT_GT(deathTime, 21.0f) << deathTime;
    EXPECT_LT(deathTime, 23.0f) << deathTime;
    ASSERT_NE(playerShip(0), nullptr);
    EXPECT_EQ(playerShip(0)->state, u32(E_ENTITY_ACTIVE));
    for (const SScriptedWave& wave : m_waves) {
        ASSERT_NE(wave.entity, nullptr);
        EXPECT_EQ(wave.entity->state, u32(E_ENTITY_DESTROYED)) << wave.spawnTime;
        EXPECT_EQ(wave.entity->killed, 1u) << wave.spawnTime;
    }
}
