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
