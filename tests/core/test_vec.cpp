#include "core/vec.h"

#include <gtest/gtest.h>


TEST(Vec, ZeroLengthGuardsLeaveTheVectorAloneAndDivisionByZeroClearsIt) {
    ClVec3 zero(0.0f, 0.0f, 0.0f, 5.0f), tiny(1e-8f, 0.0f, 0.0f);
    ClVec2 zero2;
    tiny.setLength(10.0f);
    EXPECT_EQ(zero.normalize(), 0.0f);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.w, 5.0f);
    EXPECT_EQ(tiny.x, 1e-8f);
    EXPECT_EQ(zero2.normalize(), 0.0f);
    EXPECT_EQ(zero2.x, 0.0f);
    EXPECT_EQ(zero2.y, 0.0f);
    const ClVec3 q = ClVec3(1.0f, 2.0f, 3.0f, 7.0f) / 0.0f;
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.y, 0.0f);
    EXPECT_EQ(q.z, 0.0f);
    EXPECT_EQ(q.w, 0.0f);
}
