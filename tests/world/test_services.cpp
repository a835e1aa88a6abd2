// The world's small services: the play-area tests, cues panned by arena position and the beat
// subscriptions.
#include "world/processors/beat_subscribers.h"
#include "world/services/play_area.h"
#include "world/services/positioned_sound.h"

#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "tests/support/audio_songs.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// ---------------------------------------------------------------------------------------------
// Beat subscriptions

std::vector<std::string> g_aCallOrder;

struct SCallRecorder {
    const char* name = "";
    SBeatSubscriptionHandle toDrop{};
    s32 index = -1;
    f32 beatTime = -1.0f;
};

void recordCall(const SBeat& beat, s32 index, void* user) {
    auto* recorder = static_cast<SCallRecorder*>(user);
    g_aCallOrder.push_back(recorder->name);
    recorder->index = index;
    recorder->beatTime = beat.time;
    if (recorder->toDrop) unsubscribeBeat(std::exchange(recorder->toDrop, {}));
}

class BeatSubscribers : public ::testing::Test {
protected:
    void SetUp() override {
        resetBeatSubscriptions();
        g_aCallOrder.clear();
    }
    void TearDown() override { resetBeatSubscriptions(); }
    static void dispatch(u32 flags, s32 index = 0) { dispatchBeat(SBeat{1.0f, 1.0f, flags, 0, {}}, index); }
};

TEST_F(BeatSubscribers, TheLatestSubscriberComesFirstAndAMaskTakesOnlyTheBeatsItShares) {
    SCallRecorder a{"A"}, b{"B"}, masked{"M"};
    subscribeBeat(recordCall, &a, 0);
    subscribeBeat(recordCall, &b, 0);
    subscribeBeat(recordCall, &masked, 6);
    dispatch(4);
    dispatch(1);
    ASSERT_EQ(g_aCallOrder.size(), 5u);
    EXPECT_EQ(g_aCallOrder[0], "M");
    EXPECT_EQ(g_aCallOrder[1], "B");
    EXPECT_EQ(g_aCallOrder[2], "A");
    EXPECT_EQ(g_aCallOrder[3], "B") << "mask 6 shares no bit with flags 1";
    EXPECT_EQ(g_aCallOrder[4], "A");
}

TEST_F(BeatSubscribers, ASubscriptionDroppedDuringADispatchIsNotCalledAndNoneIsCalledTwice) {
    SCallRecorder first{"first"}, second{"second"}, third{"third"};
    const SBeatSubscriptionHandle firstHandle = subscribeBeat(recordCall, &first, 0);
    subscribeBeat(recordCall, &second, 0);
    subscribeBeat(recordCall, &third, 0);
    // The top subscriber drops the bottom one: the pool moves the top record into the bottom
    // slot, which the walk has yet to visit.
    third.toDrop = firstHandle;
    dispatch(0);
    ASSERT_EQ(g_aCallOrder.size(), 2u);
    EXPECT_EQ(g_aCallOrder[0], "third");
    EXPECT_EQ(g_aCallOrder[1], "second");
}

TEST_F(BeatSubscribers, AStaleHandleDropsNothingAndAFullPoolRefuses) {
    SCallRecorder first{"first"}, second{"second"};
    const SBeatSubscriptionHandle firstHandle = subscribeBeat(recordCall, &first, 0);
    unsubscribeBeat(firstHandle);
    // The freed record is handed out again; the old handle must not drop the new subscriber.
    const SBeatSubscriptionHandle secondHandle = subscribeBeat(recordCall, &second, 0);
    ASSERT_EQ(secondHandle.record, firstHandle.record);
    unsubscribeBeat(firstHandle);
    dispatch(0);
    ASSERT_EQ(g_aCallOrder.size(), 1u);
    EXPECT_EQ(g_aCallOrder[0], "second");

    for (u32 i = 1; i < BEAT_SUBSCRIPTION_CAPACITY; ++i) ASSERT_TRUE(subscribeBeat(recordCall, &first, 0));
    EXPECT_FALSE(subscribeBeat(recordCall, &first, 0));
}

TEST_F(BeatSubscribers, EachSubscriberIsPassedTheBeatAndItsIndex) {
    SCallRecorder recorder{"R"};
    subscribeBeat(recordCall, &recorder, 0);
    dispatchBeat(SBeat{2.5f, 1.0f, 0, 0, {}}, 7);
    EXPECT_EQ(recorder.index, 7);
    EXPECT_EQ(recorder.beatTime, 2.5f);
}

}  // namespace
