// A fresh world on an open boss stage with the waves set up and imported, drawing to the null
// device: game steps of 1/60 s, no beats yet, a fatal error thrown, the encounter's pickups
// collected nowhere. The kept programs go after the world's entities, the waves after them.
#pragma once

#include "tests/support/fatal_catch.h"
#include "tests/waves/wave_test_song.h"
#include "tests/world/atom_test_support.h"
#include "world/play/boss_meter.h"
#include "world/processors/beat_subscribers.h"

#include <vector>

class EncounterStageTest : public NullDrawTest {
protected:
    static constexpr f32 STEP = 1.0f / 60.0f;

    void SetUp() override {
        NullDrawTest::SetUp();
        setFatalErrorHook(test_support::throwOnFatal);
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
        g_fGameStep = STEP;
        ASSERT_TRUE(world_test::openEncounterStage());
        setUpWaveWorld();
        world_test::installEncounter(&kCollectNothing);
        setSongTime(0.0f);
    }
    void TearDown() override {
        setPlayerShip(0, nullptr);
        world_test::closeBossStage();
        m_programs.clear();
        wavesShutdown();  // releases its wave plans through the world's import
        setWorldImports(nullptr);
        releaseBeatAnalysis();
        setFatalErrorHook(nullptr);
        setSongTime(0.0f);
        NullDrawTest::TearDown();
    }

    std::vector<world_test::ProgramPtr> m_programs;

private:
    static void collectNothing() {}
    static constexpr SBossEncounterHooks kCollectNothing = {collectNothing};
};
