// The world's small services: the play-area tests and cues panned by arena position.
#include "world/services/play_area.h"
#include "world/services/positioned_sound.h"

#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "tests/support/audio_songs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PlayArea, BoundsAreIncludedAndTheExtendedAreaReachesBelowTheArena) {
    std::vector<int> inside, extended;
    for (const ClVec3& p : {ClVec3(0, 0, 0), ClVec3(325, 50, 269.75f), ClVec3(325.0001f, 0, 10), ClVec3(10, 0, -0.01f),
                            ClVec3(-97.5f, 0, -269.75f), ClVec3(422.5f, 0, 269.75f), ClVec3(422.51f, 0, 0),
                            ClVec3(0, 0, -269.76f)}) {
        inside.push_back(isInsidePlayArea(p));
        extended.push_back(isInsideExtendedPlayArea(p));
    }
    EXPECT_EQ(inside, std::vector<int>({1, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(extended, std::vector<int>({1, 1, 1, 1, 1, 1, 0, 0}));
}

class PositionedSound : public test_support::SoundPackageTest {
protected:
    void SetUp() override {
        critSectionPoolInit();
        SoundPackageTest::SetUp();
        writeAudio("blip.wav", test_support::sineWav(4800, 48000));
        packBank({test_support::bankCue("EnemyDestroyedSmall", {"blip.wav"})});
        startEngine();
    }
};

TEST_F(PositionedSound, PanFollowsTheArenaXAndTheCueEndsOnItsOwn) {
    std::vector<f32> pans;
    for (f32 x : {-50.0f, 0.0f, 81.25f, 162.5f, 325.0f, 400.0f}) pans.push_back(cuePanForWorldX(x));
    EXPECT_EQ(pans, std::vector<f32>({-1.0f, -1.0f, -0.5f, 0.0f, 1.0f, 1.0f}));

    EXPECT_FALSE(playSoundCueAt("NoSuchCue", ClVec3(0, 0, 0)));
    const SCueHandle cue = playSoundCueAt("EnemyDestroyedSmall", ClVec3(81.25f, 0, 100));
    ASSERT_TRUE(cue);
    EXPECT_EQ(getCuePan(cue), -0.5f);
    panCueByWorldX(cue, ClVec3(325.0f, 0, 0));
    EXPECT_EQ(getCuePan(cue), 1.0f);
    panCueByWorldX(SCueHandle{}, ClVec3(0, 0, 0));

    // Not held: the engine frees it once it has played (0.1 s).
    for (int i = 0; i < 20; ++i) {
        updateAudioEngine(0.02f);
        getSoundEngineSystem()->advanceNullOutput(960, nullptr);
    }
    EXPECT_EQ(getCueHandlesInUse(), 0u);
}

}  // namespace
