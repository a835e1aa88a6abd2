// The world's small services: the play-area tests and cues panned by arena position.
#include "world/services/play_area.h"
#include "world/services/positioned_sound.h"

#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "tests/support/audio_songs.h"

#include <gtest/gtest.h>

namespace {

TEST(PlayArea, BoundsAreIncludedAndTheExtendedAreaReachesBelowTheArena) {
    const struct {
        const char* name;
        ClVec3 at;
        bool inside;
        bool extended;
    } rows[] = {
        {"near corner", ClVec3(0, 0, 0), true, true},
        {"far corner, raised", ClVec3(325, 50, 269.75f), true, true},
        {"past the right edge", ClVec3(325.0001f, 0, 10), false, true},
        {"below the near edge", ClVec3(10, 0, -0.01f), false, true},
        {"extended area's low corner", ClVec3(-97.5f, 0, -269.75f), false, true},
        {"extended area's right corner", ClVec3(422.5f, 0, 269.75f), false, true},
        {"past the extended area's right", ClVec3(422.51f, 0, 0), false, false},
        {"below the extended area", ClVec3(0, 0, -269.76f), false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isInsidePlayArea(row.at), row.inside);
        EXPECT_EQ(isInsideExtendedPlayArea(row.at), row.extended);
    }
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
    // The peaks of each side over the engine's next update and 10 ms.
    static test_support::SHeardPeaks heard() {
        updateAudioEngine(0.0f);
        return test_support::heardPeaks(480);
    }
};

TEST_F(PositionedSound, PanFollowsTheArenaXAndTheCueEndsOnItsOwn) {
    const struct {
        f32 x;
        f32 pan;
    } rows[] = {{-50.0f, -1.0f}, {0.0f, -1.0f}, {81.25f, -0.5f}, {162.5f, 0.0f}, {325.0f, 1.0f}, {400.0f, 1.0f}};
    for (const auto& row : rows) EXPECT_EQ(cuePanForWorldX(row.x), row.pan) << "x " << row.x;

    EXPECT_FALSE(playSoundCueAt("NoSuchCue", ClVec3(0, 0, 0)));
    const SCueHandle cue = playSoundCueAt("EnemyDestroyedSmall", ClVec3(81.25f, 0, 100));
    ASSERT_TRUE(cue);
    // The mono cue is panned with equal power: right over left is tan((pan + 1) x 45 degrees).
    const test_support::SHeardPeaks leftOfCentre = heard();
    EXPECT_NEAR(leftOfCentre.right / leftOfCentre.left, std::tan(0.5f * 0.7853982f), 1e-4f);
    panCueByWorldX(cue, ClVec3(325.0f, 0, 0));
    const test_support::SHeardPeaks right = heard();
    EXPECT_LT(right.left, 1e-4f * right.right);
    panCueByWorldX(SCueHandle{}, ClVec3(0, 0, 0));

    // Not held: the engine frees it once it has played (0.1 s).
    for (int i = 0; i < 20; ++i) {
        updateAudioEngine(0.02f);
        getSoundEngineSystem()->advanceNullOutput(960, nullptr);
    }
    EXPECT_EQ(playSoundCueAt("EnemyDestroyedSmall", ClVec3(0, 0, 0)).record, cue.record) << "its record was given back";
}

}  // namespace
