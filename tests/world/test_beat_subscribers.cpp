// The behaviours' beat subscriptions: the order of the calls, masks, a subscription dropped during
// a dispatch, stale handles and the full pool.
#include "world/processors/beat_subscribers.h"

#include "core/global_objects.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

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
    static void dispatch(u32 flags) { dispatchBeat(SBeat{1.0f, 1.0f, flags, 0, {}}, 0); }
};

TEST_F(BeatSubscribers, TheLatestSubscriberIsPassedTheBeatFirstAndAMaskTakesOnlyTheBeatsItShares) {
    SCallRecorder a{"A"}, b{"B"}, masked{"M"};
    subscribeBeat(recordCall, &a, 0);
    subscribeBeat(recordCall, &b, 0);
    subscribeBeat(recordCall, &masked, 6);
    dispatch(4);
    dispatchBeat(SBeat{2.5f, 1.0f, 1, 0, {}}, 7);
    // Mask 6 shares no bit with flags 1.
    EXPECT_EQ(g_aCallOrder, (std::vector<std::string>{"M", "B", "A", "B", "A"}));
    // Each is passed the beat and its index.
    EXPECT_EQ(a.index, 7);
    EXPECT_EQ(a.beatTime, 2.5f);
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
    EXPECT_EQ(g_aCallOrder, (std::vector<std::string>{"third", "second"}));
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
    EXPECT_EQ(g_aCallOrder, std::vector<std::string>{"second"});

    for (u32 i = 1; i < BEAT_SUBSCRIPTION_CAPACITY; ++i) ASSERT_TRUE(subscribeBeat(recordCall, &first, 0));
    EXPECT_FALSE(subscribeBeat(recordCall, &first, 0));
}

}  // namespace
