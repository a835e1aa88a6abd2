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

TEST(Vec3, ThreeComponentOperationsLeaveTheFourthFloat) {
    ClVec3 v(1.0f, 2.0f, 3.0f, 9.0f);
    const ClVec3 other(4.0f, 5.0f, 6.0f, -1.0f);
    v += other;
    v *= 2.0f;
    const ClVec3 z = ClVec3(1.0f, 0.0f, 0.0f).cross(ClVec3(0.0f, 1.0f, 0.0f));  // right-hand rule
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    EXPECT_EQ(v.x, 10.0f);
    EXPECT_EQ(v.w, 9.0f);
    EXPECT_EQ(v.cross(other).w, 9.0f);
    EXPECT_EQ(scaleVec3(v, 3.0f).w, 9.0f);
    v.normalize();
    EXPECT_EQ(v.w, 9.0f);
    EXPECT_EQ(ClVec3(0.0f, 0.0f, 0.0f, 9.0f).normalized().w, 0.0f);
}

// Straight down used to give (0, 1, 0) x v = 0, and long vectors slipped past the vertical test.
TEST(Vec3, PerpendicularIsUnitForEveryDirectionIncludingStraightDown) {
    for (const ClVec3& v : {ClVec3(0.0f, -1.0f, 0.0f), ClVec3(0.0f, -40.0f, 0.0f), ClVec3(0.2f, -0.98f, 0.0f),
                            ClVec3(0.3f, 0.5f, -0.8f)}) {
        const ClVec3 p = v.perpendicular();
        EXPECT_NEAR(p.length(), 1.0f, 1e-6f) << v.x << " " << v.y << " " << v.z;
        EXPECT_NEAR(p.dot(v) / v.length(), 0.0f, 1e-6f) << v.x << " " << v.y << " " << v.z;
    }
    EXPECT_EQ(ClVec3().perpendicular().length(), 0.0f);
}
