#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>

#include "core/colour.h"
#include "render/colour_tween.h"
#include "render/float_tween.h"

namespace {

SFloatTweenDesc animateDesc(u32 curve, f32 from, f32 to, f32 duration, f32 delay = 0.0f, f32 timeOffset = 0.0f) {
    return SFloatTweenDesc{0, E_TWEEN_ANIMATE, curve, from, to, delay, timeOffset, duration, 0};
}

SFloatTween started(const SFloatTweenDesc& desc) {
    SFloatTween tween;
    startFloatTween(&tween, desc);
    return tween;
}

f32 curveAtHalfway(u32 curve, f32 exponent = 0.0f) {
    SFloatTween tween = started(animateDesc(curve, 0.0f, 1.0f, 1.0f));
    tween.exponent = exponent;
    advanceFloatTween(&tween, 0.5f);
    return tween.value;
}

u32 pack(f32 r, f32 g, f32 b, f32 a) {
    u32 packed = 0;
    packColourARGB(&packed, SColourRGBA{r, g, b, a});
    return packed;
}

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
    SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_COSINE, 2.0f, 6.0f, 1.0f));
    advanceFloatTween(&tween, 0.75f);
    advanceFloatTween(&tween, 0.25f);
    EXPECT_EQ(tween.value, 6.0f);
    EXPECT_EQ(tween.running, 0u);
    EXPECT_EQ(tween.mode, static_cast<u32>(E_TWEEN_ANIMATE));  // finished, not switched to holding
}

TEST(FloatTween, ZeroDurationEndsAtOnceAndNegativeShowsStartUntilTheFirstAdvance) {
    const SFloatTween zero = started(animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, 0.0f));
    EXPECT_EQ(zero.value, 9.0f);
    EXPECT_EQ(zero.running, 0u);
    SFloatTween negative = started(animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, -1.0f));
    EXPECT_EQ(negative.value, 1.0f);
    advanceFloatTween(&negative, 0.01f);
    EXPECT_EQ(negative.value, 9.0f);
}

TEST(FloatTween, DelayHoldsThenMovesByTheWholeFrameStep) {
    SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f, 0.5f));
    tween.value = 7.0f;  // an owner's value shown during the delay
    advanceFloatTween(&tween, 0.3f);
    EXPECT_EQ(tween.value, 7.0f);
    advanceFloatTween(&tween, 0.3f);
    EXPECT_FLOAT_EQ(tween.value, 0.3f);
}

TEST(FloatTween, KeepCurrentStartsFromTheShownValue) {
    SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 4.0f, 0.0f));
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 100.0f, 0.0f, 2.0f);
    desc.keepCurrent = 1;
    startFloatTween(&tween, desc);
    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 2.0f);  // halfway from 4 to 0
}

TEST(FloatTween, TimeOffsetEvaluatesAtOnceAndPastTheEndFinishes) {
    for (auto [offset, value, running] : {std::tuple{0.5f, 2.5f, 1u}, std::tuple{3.0f, 10.0f, 0u}}) {
        const SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 10.0f, 2.0f, 0.0f, offset));
        EXPECT_EQ(tween.value, value) << "offset " << offset;
        EXPECT_EQ(tween.running, running) << "offset " << offset;
    }
}

TEST(FloatTween, OscillationBeginsAtStartAndReachesEndAfterHalfAPeriod) {
    SFloatTween tween = started({0, E_TWEEN_OSCILLATE, E_TWEEN_CURVE_COSINE, 2.0f, 6.0f, 0.0f, 0.0f, 2.0f, 0});
    evaluateFloatTween(&tween);
    EXPECT_EQ(tween.value, 2.0f);
    advanceFloatTween(&tween, 1.0f);
    EXPECT_EQ(tween.value, 6.0f);
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
    SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f));
    advanceFloatTween(&tween, 0.5f);
    SFloatTweenDesc off = animateDesc(E_TWEEN_CURVE_LINEAR, 5.0f, 6.0f, 1.0f);
    off.mode = E_TWEEN_NONE;
    startFloatTween(&tween, off);
    EXPECT_EQ(tween.mode, static_cast<u32>(E_TWEEN_NONE));
    advanceFloatTween(&tween, 0.25f);
    EXPECT_EQ(tween.value, 0.5f);
}

TEST(TweenDeathTest, UnsupportedModesAndCurvesStopTheProgramOnceEvaluated) {
    SFloatTweenDesc mode3 = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f);
    mode3.mode = 3;
    SFloatTweenDesc linearOscillation = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f);
    linearOscillation.mode = E_TWEEN_OSCILLATE;
    const std::pair<SFloatTweenDesc, const char*> cases[] = {
        {mode3, "invalid mode 3"},
        {animateDesc(6, 0.0f, 1.0f, 1.0f), "invalid curve 6"},
        {linearOscillation, "invalid oscillation curve 1"}};
    for (const auto& [desc, message] : cases) {
        SFloatTween tween = started(desc);
        EXPECT_EXIT(advanceFloatTween(&tween, 0.1f), ::testing::ExitedWithCode(3), message);
    }
    SColourTween colour;
    colour.curve = 2;
    startColourTween(&colour, 0xFF000000u, 0xFFFFFFFFu, 1.0f, 0.0f);
    EXPECT_EXIT(advanceColourTween(&colour, 0.1f), ::testing::ExitedWithCode(3), "colour tween: invalid curve 2");
}

// --- Colour packing ----------------------------------------------------------------------

TEST(ColourPacking, ChannelsPackIntoArgbOrderAndUnpackFromIt) {
    EXPECT_EQ(pack(1.0f, 0.0f, 0.0f, 1.0f), 0xFFFF0000u);
    EXPECT_EQ(pack(0.0f, 0.0f, 1.0f, 0.5f), 0x7F0000FFu);
    EXPECT_EQ(unpackColourARGB(0x80FF3300u).g, 51.0f / 255.0f);
    // Every byte survives unpack and pack.
    for (u32 byte = 0; byte < 256; ++byte) {
        const u32 colour = byte << 24 | (255 - byte) << 16 | byte << 8 | (byte ^ 0x5A);
        u32 packed = 0;
        packColourARGB(&packed, unpackColourARGB(colour));
        ASSERT_EQ(packed, colour) << "byte " << byte;
    }
}

TEST(ColourPacking, OutOfRangeChannelsSaturateWithoutTouchingNeighbours) {
    EXPECT_EQ(pack(2.0f, -1.0f, 0.5f, 1.5f), 0xFFFF007Fu);
    EXPECT_EQ(pack(-0.5f, 1.0f, -3.0f, -1.0f), 0x0000FF00u);
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    EXPECT_EQ(pack(nan, 1.0f, nan, 1.0f), 0xFF00FF00u);
}

TEST(ColourPacking, SetColourAlphaReplacesOnlyTheTopByte) {
    EXPECT_EQ(setColourAlpha(0x00123456u, 0.5f), 0x7F123456u);
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
    advanceColourTween(&tween, 1.5f);
    EXPECT_EQ(tween.current, 0xFFFFFFFFu);
}

TEST(ColourTween, CosineBlendIsSlowAtTheStartAndApplyNowAdvancesAtOnce) {
    SColourTween tween;
    tween.curve = E_COLOURTWEEN_COSINE;
    startColourTween(&tween, 0x00000000u, 0xFF000000u, 1.0f, 0.25f);
    // (cos(0.75 pi) + 1) / 2 = 0.1464..., of 255 truncated
    EXPECT_EQ(tween.current, 0x25000000u);
    SColourTween linear;
    startColourTween(&linear, 0xFF000000u, 0xFF0000FFu, 1.0f, 0.5f);
    EXPECT_EQ(linear.current, 0xFF00007Fu);
}

TEST(ColourTween, ZeroDurationSetsTheEndColourAtOnce) {
    SColourTween tween;
    startColourTween(&tween, 0xFF000000u, 0x40302010u, 0.0f, 0.0f);
    EXPECT_EQ(tween.current, 0x40302010u);
    advanceColourTween(&tween, 1.0f);
    EXPECT_EQ(tween.current, 0x40302010u);
}
