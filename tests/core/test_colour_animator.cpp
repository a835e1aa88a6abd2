#include "core/colour_animator.h"

#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

using namespace test_support;

namespace {

constexpr u32 BLACK = 0xFF000000u;
constexpr u32 WHITE = 0xFFFFFFFFu;

SColourAnimatorStart fadeRecord(u32 easing, u32 from, u32 to, f32 duration) {
    return SColourAnimatorStart{0, E_COLOURANIM_FADE, easing, from, to, 0.0f, 0.0f, duration, 0};
}

SColourAnimatorStart pulseRecord(u32 from, u32 to, f32 period) {
    return SColourAnimatorStart{0, E_COLOURANIM_PULSE, E_COLOURANIM_PULSE_SINE, from, to, 0.0f, 0.0f, period, 0};
}

u32 colourAtHalfway(u32 easing) {
    SColourAnimator animator;
    animator.start(fadeRecord(easing, BLACK, WHITE, 1.0f));
    animator.advance(0.5f);
    return animator.current;
}

using ColourAnimatorFatal = FatalThrowingTest;

}  // namespace

TEST(ColourAnimator, LinearFadeTruncatesHalfwayStopsAtItsEndAndEasingsPassTheirFractions) {
    EXPECT_EQ(colourAtHalfway(E_COLOURANIM_EASE_LINEAR), 0xFF7F7F7Fu);  // 127.5 truncated
    SColourAnimator animator;
    animator.start(fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, WHITE, 1.0f));
    animator.advance(0.5f);
    animator.advance(0.5f);
    EXPECT_EQ(std::pair(animator.current, animator.active), std::pair(WHITE, 0u));

    EXPECT_EQ(colourAtHalfway(E_COLOURANIM_EASE_QUADRATIC_OUT), 0xFFBFBFBFu);  // 0.75
    EXPECT_EQ(colourAtHalfway(E_COLOURANIM_EASE_QUARTIC_OUT), 0xFFEFEFEFu);    // 0.9375
}

TEST(ColourAnimator, PulseSwingsToColourBAndBackOverOnePeriodAndOnlyABoundedOneEnds) {
    SColourAnimator animator;
    animator.start(pulseRecord(BLACK, WHITE, 2.0f));
    animator.advance(1.0f);
    EXPECT_EQ(animator.current, WHITE);
    for (int i = 0; i < 100; ++i) animator.advance(0.25f);
    EXPECT_EQ(animator.active, 1u);

    // A bounded pulse ends at colourA once past its duration.
    SColourAnimator bounded;
    bounded.start(pulseRecord(BLACK, WHITE, 2.0f));
    bounded.bounded = 1;
    bounded.advance(2.0f);  // elapsed 1.5
    EXPECT_EQ(bounded.active, 1u);
    bounded.advance(1.0f);  // elapsed 2.5
    EXPECT_EQ(std::pair(bounded.current, bounded.active), std::pair(BLACK, 0u));
}

TEST(ColourAnimator, ZeroDurationSetsColourBAtOnceAndAModeZeroRecordOnlySwitchesOff) {
    SColourAnimator animator;
    animator.start(fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, 0x80112233u, 0.0f));
    EXPECT_EQ(std::pair(animator.current, animator.active), std::pair(0x80112233u, 0u));

    animator.start(fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, WHITE, 1.0f));
    animator.advance(0.5f);
    const u32 before = animator.current;

    SColourAnimatorStart off = fadeRecord(E_COLOURANIM_EASE_LINEAR, 0x11111111u, 0x22222222u, 3.0f);
    off.mode = E_COLOURANIM_OFF;
    animator.start(off);
    EXPECT_EQ(animator.colourB, WHITE);
    animator.advance(0.5f);
    EXPECT_EQ(animator.current, before);
}

TEST(ColourAnimator, DelayHoldsTheColourThenCountsTheWholeStep) {
    SColourAnimator animator;
    SColourAnimatorStart record = fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, WHITE, 100.0f);
    record.delay = 0.3f;
    animator.start(record);

    animator.advance(0.2f);
    EXPECT_EQ(animator.elapsed, 0.0f);
    animator.advance(0.2f);
    EXPECT_FLOAT_EQ(animator.elapsed, 0.2f);
    animator.advance(49.8f);
    EXPECT_EQ(animator.current, 0xFF7F7F7Fu);
}

TEST(ColourAnimator, FadeFromCurrentStartsAtTheShownColourAndInitialElapsedAppliesAtOnce) {
    SColourAnimator animator;
    animator.setConstant(0xFF00FF00u);
    animator.fadeFromCurrent(0xFF0000FFu, 1.0f, E_COLOURANIM_EASE_LINEAR, 0.0f);
    animator.advance(0.5f);
    EXPECT_EQ(animator.current, 0xFF007F7Fu);

    animator = SColourAnimator();
    animator.fadeFromCurrentDelayed(WHITE, 1.0f, E_COLOURANIM_EASE_LINEAR, 0.0f, 0.5f);
    EXPECT_EQ(animator.current, 0x7F7F7F7Fu);  // from transparent black

    // Past the end it finishes at once.
    SColourAnimatorStart record = fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, WHITE, 1.0f);
    record.initialElapsed = 2.0f;
    animator.start(record);
    EXPECT_EQ(std::pair(animator.current, animator.active), std::pair(WHITE, 0u));
}

TEST(ColourAnimator, QueuedFadesRunOneAfterAnotherEachAfterItsDelayAndAFullQueueDropsOne) {
    SColourAnimator animator;
    animator.setConstant(0);
    animator.queueFade(BLACK, 0.5f, 0.0f);      // runs at once
    animator.queueFade(WHITE, 1.0f, 0.25f);     // waits, then its delay
    animator.queueFade(0xFF0000FFu, 1.0f, 0.0f);
    animator.queueFade(0xFF00FF00u, 1.0f, 0.0f);  // the queue is full
    EXPECT_EQ(std::pair(animator.active, animator.queuedCount), std::pair(1u, 2u));
    animator.advanceQueued(0.5f);
    EXPECT_EQ(std::pair(animator.current, animator.queuedCount), std::pair(BLACK, 1u)) << "the delay ran with the first fade";
    animator.advanceQueued(0.5f);
    EXPECT_EQ(animator.current, 0xFF7F7F7Fu);
    animator.advanceQueued(0.5f);
    EXPECT_EQ(std::pair(animator.current, animator.queuedCount), std::pair(WHITE, 0u));
    animator.advanceQueued(1.0f);
    EXPECT_EQ(std::pair(animator.current, animator.active), std::pair(0xFF0000FFu, 0u));
}

TEST_F(ColourAnimatorFatal, InvalidModeOrEasingStopsTheProgramWhenApplied) {
    SColourAnimator animator;
    SColourAnimatorStart record = fadeRecord(E_COLOURANIM_EASE_LINEAR, BLACK, WHITE, 1.0f);
    record.mode = 3;
    animator.start(record);
    EXPECT_THROW(animator.advance(0.1f), SFatal);

    SColourAnimator pulse;
    record = pulseRecord(BLACK, WHITE, 1.0f);
    record.easing = E_COLOURANIM_EASE_LINEAR;
    pulse.start(record);
    EXPECT_THROW(pulse.advance(0.1f), SFatal);
}
