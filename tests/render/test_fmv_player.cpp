// The film player on a film ffmpeg makes at test time, its sound mixed by the manual null output.
#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "platform/sound/sound_system.h"
#include "platform/window/window.h"
#include "render/fmv_player.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

u32 g_posted = 0;
void recordPost(u32 message, u64, s64) {
    if (message == E_WM_VIDEO_EVENT) ++g_posted;
}

TEST(FmvPlayer, PlaysEveryPictureWithItsSoundRepeatsAndPostsTheEnd) {
    if (std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' mpeg4 '") != 0 ||
        std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' aac '") != 0) {
        GTEST_SKIP() << "this ffmpeg has no mpeg4 or aac encoder";
    }
    test_support::ClTempDir data;
    std::filesystem::create_directories(data.path() / "FMV");
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i color=c=blue:size=32x16:rate=10:duration=1 "
        "-f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 -c:v mpeg4 -c:a aac '" +
        data.file("FMV/intro.mov") + "'";
    ASSERT_EQ(0, std::system(command.c_str()));
    const std::string previousDataDir = getDataDir();
    setDataDir((data.str() + "/").c_str());
    critSectionPoolInit();
    setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
    ASSERT_EQ(1, initAudioEngine(0));
    setFmvMessagePoster(recordPost);
    g_posted = 0;

    EXPECT_FALSE(fmvPlay("missing", 0));
    EXPECT_FALSE(isFmvPlaying());
    ASSERT_TRUE(fmvPlay("intro", 1));  // two passes
    std::vector<f32> mixed(2 * 2205);
    f32 loudest = 0.0f;
    for (u32 pass = 0; pass < 2; ++pass) {
        for (int step = 0; step < 30 && g_posted == pass; ++step) {
            fmvUpdate(0.1f);
            getSoundEngineSystem()->advanceNullOutput(2205, mixed.data());
            for (f32 v : mixed) loudest = std::max(loudest, std::fabs(v));
        }
        EXPECT_EQ(pass + 1, g_posted);
        EXPECT_EQ(10u, fmvPicturesShown());
        EXPECT_TRUE(isFmvPlaying());
        fmvHandleGraphEvents();
    }
    // The film's tone (amplitude 1/8) reached the mixer.
    EXPECT_FALSE(isFmvPlaying());
    EXPECT_GT(loudest, 0.05f) << loudest;

    fmvRelease();
    EXPECT_FALSE(isFmvPlaying());
    shutdownAudioEngine();
    setFmvMessagePoster(nullptr);
    setDataDir(previousDataDir.c_str());
}

}  // namespace
