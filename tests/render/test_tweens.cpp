#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/colour.h"
#include "core/fatal_error.h"
#include "render/colour_tween.h"
#include "render/float_tween.h"

namespace {

SFloatTweenDesc animateDesc(u32 curve, f32 from, f32 to, f32 duration) {
    return SFloatTweenDesc{0, E_TWEEN_ANIMATE, curve, from, to, 0.0f, 0.0f, duration, 0};
}

f32 curveAtHalfway(u32 curve, f32 exponent = 0.0f) {
    SFloatTween tween;
    tween.exponent = exponent;
    startFloatTween(&tween, animateDesc(curve, 0.0f, 1.0f, 1.0f));
    advanceFloatTween(&tween, 0.5f);
    return tween.value;
}

u32 pack(f32 r, f32 g, f32 b, f32 a) {
    u32 packed = 0;
    packColourARGB(&packed, SColourRGBA{r, g, b, a});
    return packed;
}

[[noreturn]] void throwingHook(const char* reason) { throw std::runtime_error(reason); }

class TweenFatal : public ::testing::Test {
protected:
    void SetUp() override { setFatalErrorHook(throwingHook); }
    void TearDown() override { setFatalErrorHook(nullptr); }
};

}  // namespace

// --- Float tween -------------------------------------------------------------------------

TEST(FloatTween, CurvesGiveTheirWorkedValuesAtHalfway) {
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_LINEAR), 0.5f);
    EXPECT_FLOAT_EQ(curveAtHalfway(E_TWEEN_CURVE_COSINE), 0.5f);
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_QUADRATIC_OUT), 0.75f);
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_EIGHTH_POWER_OUT), 0.99609375f);
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_POWER, 3.0f), 0.125f);
}

TEST(FloatTween, AnimationEndsExactlyAtEndAndStopsRunning) {
    SFloatTween tween;
    startFloatTween(&tween, animateDesc(E_TWEEN_CURVE_COSINE, 2.0f, 6.0f, 1.0f));
    EXPECT_EQ(tween.value, 2.0f);
    EXPECT_EQ(tween.running, 1u);
    advanceFloatTween(&tween, 0.75f);
    EXPECT_EQ(tween.running, 1u);
    advanceFloatTween(&tween, 0.25f);
    EXPECT_EQ(tween.value, 6.0f);
    EXPECT_EQ(tween.running, 0u);
    EXPECT_EQ(tween.mode, static_cast<u32>(E_TWEEN_ANIMATE));

    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 6.0f);
}

TEST(FloatTween, ZeroDurationHoldsTheEndValueAtOnce) {
    SFloatTween tween;
    startFloatTween(&tween, animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, 0.0f));
    EXPECT_EQ(tween.mode, static_cast<u32>(E_TWEEN_HOLD));
    EXPECT_EQ(tween.value, 9.0f);
    EXPECT_EQ(tween.end, 9.0f);
    EXPECT_EQ(tween.running, 0u);
    EXPECT_EQ(tween.step, 0.0f);
}

TEST(FloatTween, NegativeDurationShowsStartUntilTheFirstAdvance) {
    SFloatTween tween;
    startFloatTween(&tween, animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, -1.0f));
    EXPECT_EQ(tween.value, 1.0f);
    EXPECT_EQ(tween.running, 1u);
    advanceFloatTween(&tween, 0.01f);
    EXPECT_EQ(tween.value, 9.0f);
    EXPECT_EQ(tween.running, 0u);
}

TEST(FloatTween, DelayHoldsThenMovesByTheWholeFrameStep) {
    SFloatTween tween;
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f);
    desc.delay = 0.5f;
    startFloatTween(&tween, desc);
    tween.value = 7.0f;  // an owner's value shown during the delay

    advanceFloatTween(&tween, 0.3f);
    EXPECT_EQ(tween.value, 7.0f);
    EXPECT_EQ(tween.time, 0.0f);

    advanceFloatTween(&tween, 0.3f);
    EXPECT_FLOAT_EQ(tween.time, 0.3f);
    EXPECT_FLOAT_EQ(tween.value, 0.3f);
}

TEST(FloatTween, KeepCurrentStartsFromTheShownValue) {
    SFloatTween tween;
    startFloatTween(&tween, animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 4.0f, 0.0f));
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 100.0f, 0.0f, 2.0f);
    desc.keepCurrent = 1;
    startFloatTween(&tween, desc);
    EXPECT_EQ(tween.start, 4.0f);
    EXPECT_EQ(tween.range, -4.0f);
    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 2.0f);
}

TEST(FloatTween, TimeOffsetEvaluatesAtOnce) {
    SFloatTween tween;
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 10.0f, 2.0f);
    desc.timeOffset = 0.5f;
    startFloatTween(&tween, desc);
    EXPECT_EQ(tween.value, 2.5f);
    EXPECT_EQ(tween.running, 1u);
}

TEST(FloatTween, TimeOffsetPastTheEndFinishesAtOnce) {
    SFloatTween tween;
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 10.0f, 2.0f);
    desc.timeOffset = 3.0f;
    startFloatTween(&tween, desc);
    EXPECT_EQ(tween.value, 10.0f);
    EXPECT_EQ(tween.running, 0u);
}

TEST(FloatTween, OscillationBeginsAtStartAndReachesEndAfterHalfAPeriod) {
    SFloatTween tween;
    const SFloatTweenDesc desc = {0, E_TWEEN_OSCILLATE, E_TWEEN_CURVE_COSINE, 2.0f, 6.0f,
                                  0.0f, 0.0f, 2.0f, 0};
    startFloatTween(&tween, desc);
    evaluateFloatTween(&tween);
    EXPECT_EQ(tween.value, 2.0f);

    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 6.0f);
    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 2.0f);
    for (int i = 0; i < 50; ++i) advanceFloatTween(&tween, 0.5f);
    EXPECT_EQ(tween.running, 1u);

    tween.stop = 1;
    advanceFloatTween(&tween, 0.5f);
    EXPECT_EQ(tween.value, 2.0f);
    EXPECT_EQ(tween.running, 0u);
}

TEST(FloatTween, FromToAnimatesBetweenTheTwoValues) {
    SFloatTween tween;
    startFloatTweenFromTo(&tween, 10.0f, 20.0f, 4.0f, E_TWEEN_CURVE_LINEAR, 1.0f);
    advanceFloatTween(&tween, 0.5f);
    EXPECT_EQ(tween.value, 10.0f);
    advanceFloatTween(&tween, 1.5f);  // the delay ends inside this step, which counts whole
    EXPECT_EQ(tween.value, 13.75f);
    advanceFloatTween(&tween, 2.5f);
    EXPECT_EQ(tween.value, 20.0f);
}

TEST(FloatTween, ModeZeroDescriptionOnlySwitchesTheTweenOff) {
    SFloatTween tween;
    startFloatTween(&tween, animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f));
    advanceFloatTween(&tween, 0.5f);
    SFloatTweenDesc off = animateDesc(E_TWEEN_CURVE_LINEAR, 5.0f, 6.0f, 1.0f);
    off.mode = E_TWEEN_NONE;
    startFloatTween(&tween, off);
    EXPECT_EQ(tween.mode, static_cast<u32>(E_TWEEN_NONE));
    EXPECT_EQ(tween.value, 0.5f);
    advanceFloatTween(&tween, 0.25f);
    EXPECT_EQ(tween.value, 0.5f);
}

TEST_F(TweenFatal, UnsupportedModesAndCurvesStopTheProgram) {
    SFloatTween mode3;
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f);
    desc.mode = 3;
    startFloatTween(&mode3, desc);
    EXPECT_THROW(advanceFloatTween(&mode3, 0.1f), std::runtime_error);

    SFloatTween badCurve;
    startFloatTween(&badCurve, animateDesc(6, 0.0f, 1.0f, 1.0f));
    EXPECT_THROW(advanceFloatTween(&badCurve, 0.1f), std::runtime_error);

    SFloatTween linearOscillation;
    desc = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f);
    desc.mode = E_TWEEN_OSCILLATE;
    startFloatTween(&linearOscillation, desc);
    EXPECT_THROW(advanceFloatTween(&linearOscillation, 0.1f), std::runtime_error);
}

// --- Colour packing ----------------------------------------------------------------------

TEST(ColourPacking, ChannelsPackIntoArgbOrder) {
    EXPECT_EQ(pack(1.0f, 0.0f, 0.0f, 1.0f), 0xFFFF0000u);
    EXPECT_EQ(pack(0.0f, 1.0f, 0.0f, 0.0f), 0x0000FF00u);
    EXPECT_EQ(pack(0.0f, 0.0f, 1.0f, 0.5f), 0x7F0000FFu);
}

TEST(ColourPacking, EveryByteSurvivesUnpackAndPack) {
    for (u32 byte = 0; byte < 256; ++byte) {
        const u32 colour = byte << 24 | (255 - byte) << 16 | byte << 8 | (byte ^ 0x5A);
        u32 packed = 0;
        packColourARGB(&packed, unpackColourARGB(colour));
        ASSERT_EQ(packed, colour) << "byte " << byte;
    }
}

TEST(ColourPacking, UnpackReadsRedGreenBlueAlphaFromTheirBits) {
    const SColourRGBA c = unpackColourARGB(0x80FF3300u);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 51.0f / 255.0f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(c.a, 128.0f / 255.0f);
}

TEST(ColourPacking, OutOfRangeChannelsSaturateWithoutTouchingNeighbours) {
    EXPECT_EQ(pack(2.0f, -1.0f, 0.5f, 1.5f), 0xFFFF007Fu);
    EXPECT_EQ(pack(-0.5f, 1.0f, -3.0f, -1.0f), 0x0000FF00u);
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    EXPECT_EQ(pack(nan, 1.0f, nan, 1.0f), 0xFF00FF00u);
}

TEST(ColourPacking, SetColourAlphaReplacesOnlyTheTopByte) {
    EXPECT_EQ(setColourAlpha(0x00123456u, 0.5f), 0x7F123456u);
    EXPECT_EQ(setColourAlpha(0xFF123456u, 0.0f), 0x00123456u);
    EXPECT_EQ(setColourAlpha(0x00ABCDEFu, 1.0f), 0xFFABCDEFu);
    EXPECT_EQ(setColourAlpha(0x00ABCDEFu, 1.7f), 0xFFABCDEFu);
    EXPECT_EQ(setColourAlpha(0x80ABCDEFu, -0.2f), 0x00ABCDEFu);
}

// --- Colour tween ------------------------------------------------------------------------

TEST(ColourTween, LinearBlendTruncatesAndFinishesAtTheEndColour) {
    SColourTween tween;
    startColourTween(&tween, 0xFF000000u, 0xFFFFFFFFu, 2.0f, 0.0f);
    EXPECT_EQ(tween.current, 0xFF000000u);
    advanceColourTween(&tween, 1.0f);
    EXPECT_EQ(tween.current, 0xFF7F7F7Fu);
    EXPECT_EQ(tween.duration, 2.0f);
    advanceColourTween(&tween, 1.0f);
    EXPECT_EQ(tween.current, 0xFFFFFFFFu);
    EXPECT_EQ(tween.duration, 0.0f);

    advanceColourTween(&tween, 1.0f);
    EXPECT_EQ(tween.current, 0xFFFFFFFFu);
}

TEST(ColourTween, CosineBlendIsSlowAtTheStart) {
    SColourTween tween;
    tween.curve = E_COLOURTWEEN_COSINE;
    startColourTween(&tween, 0x00000000u, 0xFF000000u, 1.0f, 0.25f);
    // (cos(0.75 pi) + 1) / 2 = 0.1464..., of 255 truncated
    EXPECT_EQ(tween.current, 0x25000000u);
}

TEST(ColourTween, ZeroDurationSetsTheEndColourAtOnce) {
    SColourTween tween;
    startColourTween(&tween, 0xFF000000u, 0x40302010u, 0.0f, 0.0f);
    EXPECT_EQ(tween.current, 0x40302010u);
    EXPECT_EQ(tween.duration, 0.0f);
    advanceColourTween(&tween, 1.0f);
    EXPECT_EQ(tween.current, 0x40302010u);
}

TEST(ColourTween, ApplyNowAdvancesAtOnce) {
    SColourTween tween;
    startColourTween(&tween, 0xFF000000u, 0xFF0000FFu, 1.0f, 0.5f);
    EXPECT_EQ(tween.current, 0xFF00007Fu);
    EXPECT_EQ(tween.time, 0.5f);
}

TEST_F(TweenFatal, ColourTweenWithAnUnknownCurveStopsTheProgram) {
    SColourTween tween;
    tween.curve = 2;
    startColourTween(&tween, 0xFF000000u, 0xFFFFFFFFu, 1.0f, 0.0f);
    EXPECT_THROW(advanceColourTween(&tween, 0.1f), std::runtime_error);
}
