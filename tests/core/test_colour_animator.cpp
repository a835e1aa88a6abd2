#include "core/colour_animator.h"

#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

using namespace test_support;

namespace {

constexpr u32 BLACK = 0xFF000000u;
constexpr u32 WHITE = 0xFFFFFFFFu;

SColourAnimatorStart fadeRecord(f32 duration = 1.0f, u32 easing = E_COLOURANIM_EASE_LINEAR, u32 to = WHITE) {
    return SColourAnimatorStart{0, E_COLOURANIM_FADE, easing, BLACK, to, 0.0f, 0.0f, duration, 0};
}

SColourAnimatorStart pulseRecord(f32 period) {
    return SColourAnimatorStart{0, E_COLOURANIM_PULSE, E_COLOURANIM_PULSE_SINE, BLACK, WHITE, 0.0f, 0.0f, period, 0};
}

using ColourAnimatorFatal = FatalThrowingTest;

}  // namespace

TEST(ColourAnimator, LinearFadeTruncatesHalfwayStopsAtItsEndAndEasingsPassTheirFractions) {
    // 127.5 truncated, then the eased fractions 0.75 and 0.9375.
    const struct {
        const char* name;
        u32 easing, halfway;
    } rows[] = {{"linear", E_COLOURANIM_EASE_LINEAR, 0xFF7F7F7Fu},
                {"quadratic", E_COLOURANIM_EASE_QUADRATIC_OUT, 0xFFBFBFBFu},
                {"quartic", E_COLOURANIM_EASE_QUARTIC_OUT, 0xFFEFEFEFu}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SColourAnimator animator;
        animator.start(fadeRecord(1.0f, row.easing));
        animator.advance(0.5f);
        EXPECT_EQ(animator.current, row.halfway);
        animator.advance(0.5f);
        EXPECT_EQ(animator.current, WHITE);
        EXPECT_EQ(animator.active, 0u);
    }
}

TEST(ColourAnimator, PulseSwingsToColourBAndBackOverOnePeriodAndOnlyABoundedOneEnds) {
    SColourAnimator animator, bounded;
    animator.start(pulseRecord(2.0f));
    animator.advance(1.0f);
    EXPECT_EQ(animator.current, WHITE);
    for (int i = 0; i < 100; ++i) animator.advance(0.25f);
    EXPECT_EQ(animator.active, 1u);

    // A bounded pulse ends at colourA once past its duration.
    bounded.start(pulseRecord(2.0f));
    bounded.bounded = 1;
    bounded.advance(2.0f);  // elapsed 1.5
    EXPECT_EQ(bounded.active, 1u);
    bounded.advance(1.0f);  // elapsed 2.5
    EXPECT_EQ(bounded.current, BLACK);
    EXPECT_EQ(bounded.active, 0u);
}

TEST(ColourAnimator, ZeroDurationSetsColourBAtOnceAndAModeZeroRecordOnlySwitchesOff) {
    SColourAnimator animator;
    animator.start(fadeRecord(0.0f, E_COLOURANIM_EASE_LINEAR, 0x80112233u));
    EXPECT_EQ(animator.current, 0x80112233u);
    EXPECT_EQ(animator.active, 0u);

    animator.start(fadeRecord());
    animator.advance(0.5f);
    const u32 before = animator.current;
    SColourAnimatorStart off = fadeRecord(3.0f, E_COLOURANIM_EASE_LINEAR, 0x22222222u);
    off.mode = E_COLOURANIM_OFF;
    animator.start(off);
    animator.advance(0.5f);
    EXPECT_EQ(animator.colourB, WHITE);
    EXPECT_EQ(animator.current, before);
}

TEST(ColourAnimator, FadeFromCurrentStartsAtTheShownColourInitialElapsedAppliesAtOnceAndADelayHolds) {
    SColourAnimator animator;
    animator.setConstant(0xFF00FF00u);
    animator.fadeFromCurrent(0xFF0000FFu, 1.0f, E_COLOURANIM_EASE_LINEAR, 0.0f);
    animator.advance(0.5f);
    EXPECT_EQ(animator.current, 0xFF007F7Fu);

    animator = SColourAnimator();
    animator.fadeFromCurrentDelayed(WHITE, 1.0f, E_COLOURANIM_EASE_LINEAR, 0.0f, 0.5f);
    EXPECT_EQ(animator.current, 0x7F7F7F7Fu);  // from transparent black

    // Past the end it finishes at once.
    SColourAnimatorStart record = fadeRecord();
    record.initialElapsed = 2.0f;
    animator.start(record);
    EXPECT_EQ(animator.current, WHITE);
    EXPECT_EQ(animator.active, 0u);

    // A delay holds the colour, then counts the whole step.
    animator = SColourAnimator();
    record = fadeRecord(100.0f);
    record.delay = 0.3f;
    animator.start(record);
    animator.advance(0.2f);
    EXPECT_EQ(animator.elapsed, 0.0f);
    animator.advance(0.2f);
    EXPECT_FLOAT_EQ(animator.elapsed, 0.2f);
    animator.advance(49.8f);
    EXPECT_EQ(animator.current, 0xFF7F7F7Fu);
}

TEST(ColourAnimator, QueuedFadesRunOneAfterAnotherEachAfterItsDelayAndAFullQueueDropsOne) {
    SColourAnimator animator;
    animator.setConstant(0);
    animator.queueFade(BLACK, 0.5f, 0.0f);      // runs at once
    animator.queueFade(WHITE, 1.0f, 0.25f);     // waits, then its delay
    animator.queueFade(0xFF0000FFu, 1.0f, 0.0f);
    animator.queueFade(0xFF00FF00u, 1.0f, 0.0f);  // the queue is full
    EXPECT_EQ(animator.active, 1u);
    EXPECT_EQ(animator.queuedCount, 2u);
    animator.advanceQueued(0.5f);
    EXPECT_EQ(animator.current, BLACK) << "the delay ran with the first fade";
    EXPECT_EQ(animator.queuedCount, 1u) << "the delay ran with the first fade";
    animator.advanceQueued(0.5f);
    EXPECT_EQ(animator.current, 0xFF7F7F7Fu);
    animator.advanceQueued(0.5f);
    EXPECT_EQ(animator.current, WHITE);
    EXPECT_EQ(animator.queuedCount, 0u);
    animator.advanceQueued(1.0f);
    EXPECT_EQ(animator.current, 0xFF0000FFu);
    EXPECT_EQ(animator.active, 0u);
}

TEST_F(ColourAnimatorFatal, InvalidModeOrEasingStopsTheProgramWhenApplied) {
    SColourAnimatorStart badMode = fadeRecord(), linearPulse = pulseRecord(1.0f);
    badMode.mode = 3;
    linearPulse.easing = E_COLOURANIM_EASE_LINEAR;
    for (const SColourAnimatorStart& record : {badMode, linearPulse}) {
        SColourAnimator animator;
        animator.start(record);
        EXPECT_THROW(animator.advance(0.1f), SFatal);
    }
}
