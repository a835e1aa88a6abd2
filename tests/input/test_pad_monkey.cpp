// The random input tester: deterministic from the seed, one-frame clicks, and its pointer cycle
// with a fake region provider.
#include "core/config.h"
#include "core/random.h"
#include "input/input_devices.h"
#include "input/input_imports.h"
#include "input/pad_monkey.h"
#include "input/input_records.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Pointer x, left and right button of record 0, frame by frame.
std::vector<f32> run(int frames) {
    std::vector<f32> trace;
    for (int i = 0; i < frames; ++i) {
        for (f32* record : g_aRawPadRecords) std::fill(record, record + RAW_PAD_FIELD_COUNT, 0.0f);
        updatePadMonkey(1.0f / 60.0f);
        trace.insert(trace.end(), {g_aRawPadRecords[0][E_RAW_POINTER_X], g_aRawPadRecords[0][E_RAW_MOUSE_LEFT],
                                   g_aRawPadRecords[0][E_RAW_MOUSE_RIGHT]});
        for (int f : {E_RAW_POINTER_X, E_RAW_POINTER_Y, E_RAW_POINTER_PRESENT, E_RAW_MOUSE_LEFT, E_RAW_MOUSE_RIGHT}) g_aRawPadRecords[0][f] = 0.0f;
        EXPECT_EQ(std::vector<f32>(g_aRawPadRecords[0], g_aRawPadRecords[0] + RAW_PAD_FIELD_COUNT), std::vector<f32>(RAW_PAD_FIELD_COUNT, 0.0f))
            << "only the pointer and the buttons";
    }
    return trace;
}

class PadMonkey : public ::testing::Test {
protected:
    void SetUp() override { configClear(); }
    void TearDown() override {
        setInputImports(nullptr);
        configClear();
    }
};

TEST_F(PadMonkey, TheSameSeedGivesTheSameRunOfOneFrameClicksInsideTheWindow) {
    auto seeded = [] {
        sfmtInitGenRand(7);
        initPadMonkey();
        return run(300);
    };
    const std::vector<f32> first = seeded();
    EXPECT_EQ(seeded(), first);
    EXPECT_EQ(g_aPadConnected[0], 1u);
    EXPECT_EQ(g_aPadConnected[1], 0u);
    EXPECT_EQ(g_aPadConnected[3], 0u);
    int clicks = 0;
    for (size_t i = 0; i < first.size(); i += 3) {
        EXPECT_GE(first[i], 0.0f);
        EXPECT_LE(first[i], 1.0f);
        if (first[i + 1] + first[i + 2] > 0.0f) {
            ++clicks;
            ASSERT_LT(i + 5, first.size());
            EXPECT_EQ(first[i + 4] + first[i + 5], 0.0f) << "a click lasts one frame";
        }
    }
    EXPECT_GT(clicks, 10);
}

TEST_F(PadMonkey, PointerJumpsToRegionCentresNineteenStepsOfThirtyAndRandomIntBelowNothingIsZero) {
    SInputImports imports;
    imports.pointerRegionCentre = [](f32* x, f32* y) {
        *x = 0.5f;
        *y = 0.25f;
        return true;
    };
    setInputImports(&imports);
    sfmtInitGenRand(3);
    initPadMonkey();
    int jumps = 0;
    for (int step = 0; step < 30; ++step) {
        updatePadMonkey(0.05f);
        if (g_aRawPadRecords[0][E_RAW_POINTER_X] == 0.5f && g_aRawPadRecords[0][E_RAW_POINTER_Y] == 0.25f) ++jumps;
    }
    EXPECT_EQ(jumps, 19);

    EXPECT_EQ(randomIntBelow(0), 0);
    EXPECT_EQ(randomIntBelow(-3), 0);
    EXPECT_EQ(randomIntBelow(1), 0);
}

}  // namespace
