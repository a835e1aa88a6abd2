// A made-up song for the wave tests: by default one minute of spectral frames whose band levels
// climb in steps (so every bar has rising levels), beats every half second, and the play balance
// the schedule and the generators read, held in memory.
#pragma once

#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "tests/support/audio_songs.h"
#include "tests/world/world_test_support.h"
#include "waves/wave_pool.h"
#include "waves/waves.h"
#include "world/collision/kill_queue.h"
#include "world/entity/world.h"
#include "world/play/boss_wave_hook.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/player_state.h"
#include "world/processors/path_follower.h"
#include "world/services/world_imports.h"
#include "world/processors/beat_subscribers.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

// The game step of the wave tests, in seconds.
constexpr f32 STEP = 1.0f / 60.0f;

// A fresh world with the waves set up and imported at the song's start, in game steps of STEP: the
// beats and their subscribers, the player states and the inspiration pickups reset.
inline void setUpWaveWorld() {
    setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
    g_fGameStep = STEP;
    setSongTime(0.0f);
    resetBeatAnalysis();
    resetBeatSubscriptions();
    initWorld();
    resetPlayerStates();
    resetInspirationPickups();
    wavesSetUp();
    // The world's imports of the waves, as the program fills them: the boss waves, the boss
    // encounter's pickups and the wave plans' release.
    SWorldImports imports;
    imports.bossWaves = bossWaveHooks();
    imports.bossEncounter = bossEncounterHooks();
    imports.releaseWavePlan = releaseWavePlan;
    setWorldImports(&imports);
}

// The waves' side of a tear-down, after the world's entities: the programs the test kept, the
// waves (they release their wave plans through the world's import), the imports, the beats and
// the song clock's time and cue.
inline void tearDownWaveWorld(std::vector<world_test::ProgramPtr>& programs) {
    programs.clear();
    wavesShutdown();
    setWorldImports(nullptr);
    releaseBeatAnalysis();
    setSongTime(0.0f);
    setSongCue({});
}

// A wave member as the boss choice's hook visits it: its entity and its spawn time.
struct SWaveMemberSeen {
    ClEntity* entity;
    f32 spawnTime;
};

// Every wave member whose entity the world still holds, the first wave's first member first.
inline std::vector<SWaveMemberSeen> waveMembers() {
    std::vector<SWaveMemberSeen> seen;
    bossWaveHooks()->forEachWaveMember(
        [](void* user, ClEntity* member, f32 spawnTime) { static_cast<std::vector<SWaveMemberSeen>*>(user)->push_back({member, spawnTime}); },
        &seen);
    std::reverse(seen.begin(), seen.end());
    return seen;
}

constexpr u32 WAVE_SONG_SECONDS = 60;
constexpr u32 WAVE_SONG_BANDS = 4;

// The song's spectral frames (the climbing band levels, quiet for the first two seconds) and its
// beats, for the seconds and bands; freed by resetSpectrumAnalysis and the beats' release.
inline void makeWaveTestSong(u32 seconds, u32 bands = WAVE_SONG_BANDS) {
    SSpectrumHeader& h = g_SpectrumAnalysis.header;
    h.frameDuration = 1.0f / 128.0f;
    h.frameCount = seconds * 128;
    h.bandCount = bands;
    h.bandValues = static_cast<f32*>(std::calloc(size_t(h.frameCount) * h.bandCount, sizeof(f32)));
    for (u32 f = 256; f < h.frameCount; ++f)
        for (u32 b = 0; b < h.bandCount; ++b) h.bandValues[f * h.bandCount + b] = (f32((f / 8 + 3 * b) % 14) + 0.5f) / 14.0f;
    g_aSongBeats.release();
    emptyBeats(&g_aSongBeats);
    for (f32 t = 0.25f; t < f32(seconds); t += 0.5f) test_support::addSongBeat(t);
    g_iCurrentBeat = 0;
}

class WaveSongTest : public test_support::SongFeaturesTest {
protected:
    void SetUp() override {
        SongFeaturesTest::SetUp();
        openSongFeatures("spawn_bar_range { { 2, 6 }; { 3, 8 }; { 4, 9 }; { 4, 11 }; { 5, 12 }; { 6, 14 }; };"
                         "construction_cost { 40, 80, 160, 400 }; inspiration_score_per_type { 10, 25, 60, 200 };"
                         "score_wavekill_base_bonus = 100.0; boss_opps_params_MB1 { { 2400; }; };");
        world_test::resetPlayRecord();
        makeWaveTestSong(WAVE_SONG_SECONDS);
    }
};

// The song in a fresh world with the waves set up: game steps of 1/60 s, the song's beats ready
// for delivery, the player states and pickups reset. The world's entities go first, then the
// programs the test kept, then the waves and the beats.
class WavePlayTest : public WaveSongTest {
protected:
    void SetUp() override {
        WaveSongTest::SetUp();
        setUpWaveWorld();
        world_test::addBeats(0.25f, 0.5f, 2 * WAVE_SONG_SECONDS);
    }
    void TearDown() override {
        setPlayerShip(0, nullptr);
        shutdownWorld();
        tearDownWaveWorld(m_programs);
        WaveSongTest::TearDown();
    }

    // One frame: the flip, the beats due, the waves due, the update, the kill queue and the
    // flushes; then the song clock moves on.
    static void step() {
        flipFrameBuffers();
        world_test::deliverDueBeats();
        waveSpawnTick();
        updateLiveEntities();
        processKillQueue();
        flushDestroyedEntities();
        flushFreedEntities();
        setSongTime(currentSongTime() + STEP);
    }

    std::vector<world_test::ProgramPtr> m_programs;
};
