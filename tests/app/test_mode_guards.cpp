// What the modes do when a setting or a data file leaves them on an unusual road: the beat-analysis
// view analyses the song's beats afresh, and the front end without its camera frame keeps the
// camera's reset pose.
#include "app/game_mode_action.h"
#include "app/game_mode_front_end.h"
#include "audio/analysis/beat.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/decode/codec_registry.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/sound/song_sound_hook.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "input/input_channels.h"
#include "platform/os/os.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/view_slots.h"
#include "tests/library/library_test_support.h"
#include "tests/support/audio_songs.h"
#include "tests/support/fatal_catch.h"
#include "ui/ui_system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

using namespace test_support;
using ModeGuards = FatalThrowingTest;

TEST_F(ModeGuards, TheBeatAnalysisViewAnalysesTheSongsBeats) {
    critSectionPoolInit();
    configClear();
    library_test::ClUserDataFolder home;
    // 96 s at 22,050 Hz: a decaying noise burst every half second from 1 s to 95 s.
    constexpr u32 rate = 22050;
    std::vector<f32> mono(rate * 96);
    u32 noise = 99;
    for (u32 i = rate; i + rate < mono.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        mono[i] = (f32(noise >> 8) / f32(1u << 24) - 0.5f) * std::exp(-f32(i % (rate / 2)) / f32(rate / 50));
    }
    writeFileBytes(home.file("song.wav"), wavImage(1, 1, rate, 16, pcm16Bytes(pcm16(mono))));
    ASSERT_TRUE(configSetValue("VISUAL_BEAT_ANALYSIS", "song.wav"));
    setPrepareSongSoundHook([](const char16_t*, f32, f32) -> u32 { return 1; });
    initCodecRegistry();
    codecRegistration(0);
    for (int i = 0; i < 10000 && !isCodecRegistryReady(); ++i) osSleep(1);
    resetSongAnalysis();
    resetBeatAnalysis();

    const std::u16string path = widePath(home.file("song.wav"));
    SSongIdentity identity;
    songIdentityFromPath(path.c_str(), &identity);
    EXPECT_EQ(kDefaultActionPlayServices.analyseSong(path.c_str(), identity, true), 1);
    // About 188 bursts; the analysis may add or drop a few at the ends.
    EXPECT_GT(g_aSongBeats.count, 150u);

    releaseBeatAnalysis();
    shutdownCodecRegistry();
    setPrepareSongSoundHook(nullptr);
    configFree();
}

TEST_F(ModeGuards, TheFrontEndWithoutItsUiCameraFrameKeepsTheResetPose) {
    initUi();
    initInput(0, 38);
    resetViewSlots();
    resetCameraStacks();
    const std::string frames = "frame VBA\n0 0 150\n0 0 -1\n1 0 0\n0 1 0\n45\n";
    const std::string ui = "frame UI\n0 0 100\n0 0 -1\n1 0 0\n0 1 0\n60\n";
    // Frames added; the entered camera's z and field of view.
    for (auto [text, z, fov] : {std::tuple{frames, 0.0f, ClCamera().fov}, std::tuple{ui, 100.0f, 60.0f}}) {
        loadCameraFramesFromText(text.data(), u32(text.size()), "frames");
        g_GameModeFrontEnd.enter(0);
        const ClCamera* camera = getViewSlotTopCamera(0);
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(std::make_tuple(camera->position().x, camera->position().z, camera->fov), std::make_tuple(0.0f, z, fov));
        g_GameModeFrontEnd.exit();
    }
    releaseCameras();
    shutdownInput();
    shutdownUi();
}
