// The vector and int tweens: the worked values of their modes, delays and offsets, and
// the invalid modes and curves that stop the program.
#include "world/play/tween.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const ClVec3 kFrom(0.0f, 10.0f, -4.0f, 1.0f);
const ClVec3 kTo(8.0f, 20.0f, 4.0f, 3.0f);

SVectorTweenDesc vectorDesc(s32 mode, s32 curve, f32 duration, f32 delay = 0.0f, f32 timeOffset = 0.0f) {
    return SVectorTweenDesc{0, mode, curve, 0, kFrom, kTo, delay, timeOffset, duration, 0};
}

void expectVec(const ClVec3& got, const ClVec3& want, f32 tolerance = 0.0f) {
    EXPECT_LE(std::max({std::fabs(got.x - want.x), std::fabs(got.y - want.y), std::fabs(got.z - want.z),
                        std::fabs(got.w - want.w)}),
              tolerance)
        << got.x << " " << got.y << " " << got.z << " " << got.w;
}

TEST(VectorTween, ZeroDurationJumpsToTheEndAndATinyOneAnimatesForOneFrame) {
    SVectorTween tween;
    tween.running = 1;
    tween.start(vectorDesc(E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 0.0f));
    expectVec(tween.getValue(), kTo);
    EXPECT_EQ(std::pair(tween.mode, tween.running), std::pair(s32(E_TWEEN_HOLD), 0u));

    tween.start(vectorDesc(E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 1e-6f));
    EXPECT_EQ(tween.running, 1u);
    expectVec(tween.getValue(), kFrom);
    tween.advance(1.0f / 60.0f);
    expectVec(tween.getValue(), kTo);
    EXPECT_EQ(std::pair(tween.mode, tween.running), std::pair(s32(E_TWEEN_ANIMATE), 0u)) << "finished, still mode 2";
}

TEST(VectorTween, ADelayHoldsTheStartThenTheWholeStepCounts) {
    SVectorTween tween;
    tween.start(vectorDesc(E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 2.0f, 0.5f));
    tween.advance(0.4f);
    expectVec(tween.getValue(), kFrom);
    EXPECT_EQ(tween.time, 0.0f);
    tween.advance(0.4f);
    EXPECT_EQ(tween.time, 0.4f) << "the overshoot of the delay is not carried";
    expectVec(tween.getValue(), ClVec3(1.6f, 12.0f, -2.4f, 1.4f), 1e-6f);
}

TEST(VectorTween, OscillationSwingsFromStartToEndAndBackOverItsPeriod) {
    SVectorTween tween;
    tween.start(vectorDesc(E_TWEEN_OSCILLATE, E_TWEEN_CURVE_COSINE, 2.0f));
    EXPECT_EQ(tween.duration, 1.5f);
    tween.evaluate();
    expectVec(tween.getValue(), kFrom, 1e-5f);
    tween.advance(1.0f);
    expectVec(tween.getValue(), kTo, 1e-5f);
    tween.advance(1.0f);
    expectVec(tween.getValue(), kFrom, 1e-5f);
    tween.advance(7.25f);
    EXPECT_EQ(tween.running, 1u) << "an oscillation never finishes";
    tween.stop = 1;
    tween.advance(0.1f);
    expectVec(tween.getValue(), kFrom);
    EXPECT_EQ(tween.running, 0u);
}

TEST(VectorTween, OffsetsAndKeepCurrent) {
    SVectorTween tween;
    tween.start(vectorDesc(E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 2.0f, 0.0f, 1.0f));
    expectVec(tween.getValue(), ClVec3(4.0f, 15.0f, 0.0f, 2.0f));
    EXPECT_EQ(tween.running, 1u);

    SVectorTweenDesc keep = vectorDesc(E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 1.0f);
    keep.keepCurrent = 1;
    tween.start(keep);
    expectVec(tween.from, ClVec3(4.0f, 15.0f, 0.0f, 2.0f));
    tween.setValue(kFrom);
    EXPECT_EQ(std::pair(tween.mode, tween.running), std::pair(s32(E_TWEEN_HOLD), 1u)) << "setValue leaves running alone";
    tween.advance(0.1f);
    expectVec(tween.getValue(), kFrom);
    EXPECT_EQ(tween.running, 0u);
}

TEST(IntTween, TruncatesTheMovedAmountAndHoldsAtZeroDuration) {
    SIntTween tween;
    tween.startFromTo(0, 255, 2.0f, E_TWEEN_CURVE_LINEAR, 0.0f);
    tween.advance(1.0f);
    EXPECT_EQ(tween.current, 127);
    tween.startFromTo(10, -10, 1.0f, E_TWEEN_CURVE_LINEAR, 0.0f);
    tween.advance(0.55f);
    EXPECT_EQ(tween.current, -1) << "10 + trunc(-11)";
    tween.advance(0.45f);
    EXPECT_EQ(std::pair(tween.current, tween.running), std::pair(-10, 0u));

    const SIntTweenDesc instant = {0, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 0, 3, 42, 0.0f, 0.0f, 0.0f, 0};
    tween.start(instant);
    EXPECT_EQ(std::pair(tween.current, tween.mode), std::pair(42, s32(E_TWEEN_HOLD)));
    const SIntTweenDesc swing = {0, E_TWEEN_OSCILLATE, E_TWEEN_CURVE_COSINE, 0, 0, 100, 0.0f, 0.0f, 4.0f, 1};
    tween.start(swing);
    EXPECT_EQ(tween.from, 42) << "keep current";
    tween.advance(2.0f);
    EXPECT_EQ(tween.current, 100);
}

TEST(TweenDeathTest, UnsupportedModesAndCurvesStopOnceEvaluated) {
    SVectorTween vector;
    vector.start(vectorDesc(3, E_TWEEN_CURVE_LINEAR, 1.0f));
    EXPECT_EXIT(vector.advance(0.1f), ::testing::ExitedWithCode(3), "vector tween: invalid mode 3");
    vector.start(vectorDesc(E_TWEEN_ANIMATE, 6, 1.0f));
    EXPECT_EXIT(vector.advance(0.1f), ::testing::ExitedWithCode(3), "vector tween: invalid curve 6");
    vector.start(vectorDesc(E_TWEEN_OSCILLATE, E_TWEEN_CURVE_LINEAR, 1.0f));
    EXPECT_EXIT(vector.advance(0.1f), ::testing::ExitedWithCode(3), "invalid oscillation curve 1");
    SIntTween integer;
    integer.startFromTo(0, 1, 1.0f, 0, 0.0f);
    EXPECT_EXIT(integer.advance(0.1f), ::testing::ExitedWithCode(3), "int tween: invalid curve 0");
}

}  // namespace
