#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "core/colour.h"
#include "render/tween.h"

namespace {

SFloatTweenDesc animateDesc(s32 curve, f32 from, f32 to, f32 duration, f32 delay = 0.0f, f32 timeOffset = 0.0f) {
    return SFloatTweenDesc{0, E_TWEEN_ANIMATE, curve, from, to, delay, timeOffset, duration, 0};
}

SFloatTween started(const SFloatTweenDesc& desc, std::initializer_list<f32> steps = {}) {
    SFloatTween tween;
    tween.start(desc);
    for (f32 step : steps) tween.advance(step);
    return tween;
}

f32 curveAtHalfway(u32 curve, f32 exponent = 0.0f) {
    SFloatTween tween = started(animateDesc(curve, 0.0f, 1.0f, 1.0f));
    tween.exponent = exponent;
    tween.advance(0.5f);
    return tween.current;
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
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_QUADRATIC_OUT), 0.75f);
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_EIGHTH_POWER_OUT), 0.99609375f);
    EXPECT_EQ(curveAtHalfway(E_TWEEN_CURVE_POWER, 3.0f), 0.125f);
    EXPECT_FLOAT_EQ(curveAtHalfway(E_TWEEN_CURVE_COSINE), 0.5f);
}

TEST(FloatTween, AnimationsEndExactlyAtTheirEndAndStartAtTheirTimeOffset) {
    const struct {
        const char* what;
        SFloatTweenDesc desc;
        std::initializer_list<f32> steps;
        f32 value;
        u32 running;
    } cases[] = {
        {"ends on its end", animateDesc(E_TWEEN_CURVE_COSINE, 2.0f, 6.0f, 1.0f), {0.75f, 0.25f}, 6.0f, 0},
        {"zero duration", animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, 0.0f), {}, 9.0f, 0},
        {"negative duration, not advanced", animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, -1.0f), {}, 1.0f, 1},
        {"negative duration, advanced", animateDesc(E_TWEEN_CURVE_LINEAR, 1.0f, 9.0f, -1.0f), {0.01f}, 9.0f, 0},
        {"time offset", animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 10.0f, 2.0f, 0.0f, 0.5f), {}, 2.5f, 1},
        {"time offset past the end", animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 10.0f, 2.0f, 0.0f, 3.0f), {}, 10.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SFloatTween tween = started(c.desc, c.steps);
        EXPECT_EQ(tween.current, c.value);
        EXPECT_EQ(tween.running, c.running);
    }
    // Finished, not switched to holding.
    EXPECT_EQ(started(cases[0].desc, cases[0].steps).mode, static_cast<u32>(E_TWEEN_ANIMATE));
}

TEST(FloatTween, DelayHoldsKeepCurrentStartsFromTheShownValueAndModeZeroSwitchesOff) {
    SFloatTween tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f, 0.5f));
    tween.current = 7.0f;  // an owner's value shown during the delay
    tween.advance(0.3f);
    EXPECT_EQ(tween.current, 7.0f);
    tween.advance(0.3f);
    EXPECT_FLOAT_EQ(tween.current, 0.3f);

    tween = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 4.0f, 0.0f));
    SFloatTweenDesc desc = animateDesc(E_TWEEN_CURVE_LINEAR, 100.0f, 0.0f, 2.0f);
    desc.keepCurrent = 1;
    tween.start(desc);
    tween.advance(1.0f);
    EXPECT_EQ(tween.current, 2.0f);  // halfway from 4 to 0

    tween.startFromTo(10.0f, 20.0f, 4.0f, E_TWEEN_CURVE_LINEAR, 1.0f);
    tween.advance(0.5f);
    EXPECT_EQ(tween.current, 10.0f);
    tween.advance(1.5f);  // the delay ends inside this step, which counts whole
    EXPECT_EQ(tween.current, 13.75f);
    tween.advance(2.5f);
    EXPECT_EQ(tween.current, 20.0f);

    // A description of mode 0 only switches the tween off.
    SFloatTween switched = started(animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f), {0.5f});
    SFloatTweenDesc off = animateDesc(E_TWEEN_CURVE_LINEAR, 5.0f, 6.0f, 1.0f);
    off.mode = E_TWEEN_NONE;
    switched.start(off);
    EXPECT_EQ(switched.mode, static_cast<u32>(E_TWEEN_NONE));
    switched.advance(0.25f);
    EXPECT_EQ(switched.current, 0.5f);
}

TEST(FloatTween, OscillationBeginsAtStartAndReachesEndAfterHalfAPeriod) {
    SFloatTween tween = started({0, E_TWEEN_OSCILLATE, E_TWEEN_CURVE_COSINE, 2.0f, 6.0f, 0.0f, 0.0f, 2.0f, 0});
    tween.evaluate();
    EXPECT_EQ(tween.current, 2.0f);
    tween.advance(1.0f);
    EXPECT_EQ(tween.current, 6.0f);
    for (int i = 0; i < 50; ++i) tween.advance(0.5f);
    EXPECT_EQ(tween.running, 1u);
    tween.stop = 1;
    tween.advance(0.5f);
    EXPECT_EQ(tween.current, 2.0f);
    EXPECT_EQ(tween.running, 0u);
}

TEST(TweenDeathTest, UnsupportedModesAndCurvesStopTheProgramOnceEvaluated) {
    SFloatTweenDesc mode3 = animateDesc(E_TWEEN_CURVE_LINEAR, 0.0f, 1.0f, 1.0f), linearOscillation = mode3;
    mode3.mode = 3;
    linearOscillation.mode = E_TWEEN_OSCILLATE;
    const std::pair<SFloatTweenDesc, const char*> cases[] = {{mode3, "invalid mode 3"},
                                                             {animateDesc(6, 0.0f, 1.0f, 1.0f), "invalid curve 6"},
                                                             {linearOscillation, "invalid oscillation curve 1"}};
    for (const auto& [desc, message] : cases) {
        SFloatTween tween = started(desc);
        EXPECT_EXIT(tween.advance(0.1f), ::testing::ExitedWithCode(3), message);
    }
    SIntTween integer;
    integer.startFromTo(0, 1, 1.0f, 0, 0.0f);
    EXPECT_EXIT(integer.advance(0.1f), ::testing::ExitedWithCode(3), "int tween: invalid curve 0");
}

// --- Colour packing ----------------------------------------------------------------------

TEST(ColourPacking, ChannelsPackIntoArgbOrderSaturateWithoutTouchingNeighboursAndUnpack) {
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    EXPECT_EQ(pack(1.0f, 0.0f, 0.0f, 1.0f), 0xFFFF0000u) << "red";
    EXPECT_EQ(pack(0.0f, 0.0f, 1.0f, 0.5f), 0x7F0000FFu) << "half alpha truncates";
    EXPECT_EQ(pack(2.0f, -1.0f, 0.5f, 1.5f), 0xFFFF007Fu) << "above one and below zero saturate";
    EXPECT_EQ(pack(-0.5f, 1.0f, -3.0f, -1.0f), 0x0000FF00u) << "negatives stay out of their neighbours";
    EXPECT_EQ(pack(nan, 1.0f, nan, 1.0f), 0xFF00FF00u) << "not a number packs as zero";
    EXPECT_EQ(unpackColourARGB(0x80FF3300u).g, 51.0f / 255.0f);
    // Every byte survives unpack and pack.
    for (u32 byte = 0; byte < 256; ++byte) {
        const u32 colour = byte << 24 | (255 - byte) << 16 | byte << 8 | (byte ^ 0x5A);
        u32 packed = 0;
        packColourARGB(&packed, unpackColourARGB(colour));
        ASSERT_EQ(packed, colour) << "byte " << byte;
    }
}
