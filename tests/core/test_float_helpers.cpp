#include "core/float_helpers.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(FloatHelpers, WrappedAnglesStayInsideHalfOpenRangeAndUnwrapShiftsOneTurnAtMost) {
    EXPECT_FLOAT_EQ(wrapAngle2Pi(-MATH_PI / 2.0f), 3.0f * MATH_PI / 2.0f);
    // -1e-9 + 2 pi rounds to 2 pi, which is outside the range.
    EXPECT_EQ(wrapAngle2Pi(MATH_TWO_PI), 0.0f);
    EXPECT_EQ(wrapAngle2Pi(-1e-9f), 0.0f);
    for (f32 a = -40.0f; a < 40.0f; a += 0.37f) {
        EXPECT_GE(wrapAngle2Pi(a), 0.0f) << a;
        EXPECT_LT(wrapAngle2Pi(a), MATH_TWO_PI) << a;
    }

    EXPECT_FLOAT_EQ(unwrapAngleNear(6.0f, 0.5f), 0.5f + MATH_TWO_PI);
    EXPECT_EQ(unwrapAngleNear(1.0f, 3.0f), 3.0f);
    EXPECT_FLOAT_EQ(unwrapAngleNear(0.0f, 20.0f), 20.0f - MATH_TWO_PI);
}

TEST(FloatHelpers, AngleFromCosineCoversTheFullCircle) {
    EXPECT_FLOAT_EQ(angleFromCosine(0.0f, -1.0f), 3.0f * MATH_PI / 2.0f);
    // A freshly normalised x can come out a rounding step above 1.
    EXPECT_FLOAT_EQ(angleFromCosine(-1.0000001f, 0.0f), MATH_PI);
    EXPECT_EQ(angleFromCosine(1.0000001f, 0.0f), 0.0f);
}

TEST(FloatHelpers, ApproachAcceleratesWithinItsLimitAndSettlesOnTheTarget) {
    f32 velocity = 0.0f;
    f32 position = 0.0f;
    const f32 dt = 1.0f / 60.0f;
    f32 furthest = 0.0f;
    for (int frame = 0; frame < 600; ++frame) {
        stepTowardTarget(&velocity, &position, 3.0f, 0.05f, dt, 5.0f, 4.0f);
        EXPECT_LE(std::fabs(velocity), 4.0f + 5.0f * dt);
        furthest = std::fmax(furthest, position);
    }
    EXPECT_LE(std::fabs(position - 3.0f), 0.05f) << position << " " << velocity << " " << furthest;
    EXPECT_LE(std::fabs(velocity), 1e-6f) << position << " " << velocity << " " << furthest;
    EXPECT_LT(furthest, 3.1f) << position << " " << velocity << " " << furthest;

    // Moving away from the target, the velocity turns round by at most acceleration x dt.
    f32 outVelocity = 0.0f, outPosition = 0.0f;
    approachTarget(&outVelocity, &outPosition, 0.0f, 2.0f, -10.0f, 0.05f, 0.1f, 5.0f, 4.0f);
    EXPECT_FLOAT_EQ(outVelocity, 1.5f);
    EXPECT_FLOAT_EQ(outPosition, 0.15f);
}

TEST(FloatHelpers, ClampsToTheUnitRangeAndAtZeroTakeNaNAsZero) {
    EXPECT_EQ(clamp01(-0.5f), 0.0f);
    EXPECT_EQ(clamp01(0.25f), 0.25f);
    EXPECT_EQ(clamp01(7.0f), 1.0f);
    EXPECT_EQ(clamp01(std::nanf("")), 0.0f);
    EXPECT_EQ(clampNonNegative(-3.0f), 0.0f);
    EXPECT_EQ(clampNonNegative(300.0f), 300.0f);
    EXPECT_EQ(clampNonNegative(std::nanf("")), 0.0f);
}
