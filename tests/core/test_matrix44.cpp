#include "core/matrix44.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/float_helpers.h"
#include "tests/support/vec_text.h"

using test_support::vecText;

// Row i of the product adds the other rows times zero: a -0 element of the result needs every
// element of its column to carry the sign, so a plain copy would differ.
TEST(Matrix44, IdentityTimesGivesTheProductsBitsAndOnlyTheExactIdentityTakesIt) {
    ClMatrix44 other;
    other.setRotationY(0.3f);
    other.m[1] = -0.0f;
    other.m[13] = -3.0f;
    other.m[3] = other.m[7] = other.m[11] = -0.0f;
    other.m[15] = -1.0f;
    const ClMatrix44 full = ClMatrix44().multiply(other);
    const ClMatrix44 shortcut = ClMatrix44::identityTimes(other);
    EXPECT_FALSE(std::signbit(full.m[1]));
    EXPECT_EQ(std::memcmp(shortcut.m, full.m, sizeof full.m), 0);

    EXPECT_TRUE(ClMatrix44().isExactIdentity());
    ClMatrix44 signedZero;
    signedZero.m[4] = -0.0f;
    EXPECT_FALSE(signedZero.isExactIdentity());
}

// The array form moves each point to the bits the single-point form gives, -0 and rounding alike.
TEST(Matrix44, APointArrayMovesToTheBitsOfEachPointMovedAlone) {
    ClMatrix44 m;
    m.setRotationY(0.7f);
    m.m[3] = 0.25f;
    m.m[13] = -0.0f;
    m.m[14] = 1.0f / 3.0f;
    const ClVec3 points[3] = {ClVec3(1.5f, -2.0f, 0.1f), ClVec3(0.0f, 0.0f, 0.0f), ClVec3(-1e-3f, 7.0f, 3.3f)};
    ClVec3 moved[3];
    m.transformPointArray(points, 3, moved);
    for (int i = 0; i < 3; ++i) {
        const ClVec3 alone = m.transformPoint(points[i]);
        EXPECT_EQ(std::memcmp(&moved[i], &alone, sizeof alone), 0) << "point " << i;
    }
}

TEST(Matrix44, AxisAngleOfIdentityHalfTurnsAndOtherAnglesRoundTrips) {
    ClVec3 axis;
    EXPECT_EQ(ClMatrix44().toAxisAngle(&axis), 0.0f);
    EXPECT_EQ(axis.x, 1.0f);
    EXPECT_EQ(axis.y, 0.0f);
    EXPECT_EQ(axis.z, 0.0f);

    ClMatrix44 halfTurn;
    halfTurn.setRotationY(MATH_PI);
    EXPECT_NEAR(halfTurn.toAxisAngle(&axis), MATH_PI, 1e-6f);
    EXPECT_NEAR(std::fabs(axis.y), 1.0f, 1e-6f);

    // Any other angle round-trips; a half turn about a diagonal keeps the axis.
    const ClVec3 axisIn = ClVec3(1.0f, -2.0f, 3.0f).normalized();
    ClMatrix44 m;
    m.setRotationAxisAngle(axisIn, 1.2f);
    EXPECT_NEAR(m.toAxisAngle(&axis), 1.2f, 1e-5f);
    EXPECT_EQ(vecText({axis}, 1e-5f), vecText({axisIn}, 1e-5f));

    const ClVec3 diagonal = ClVec3(1.0f, -1.0f, 0.0f).normalized();
    m.setRotationAxisAngle(diagonal, MATH_PI);
    m.toAxisAngle(&axis);
    EXPECT_NEAR(std::fabs(axis.dot(diagonal)), 1.0f, 1e-5f);
}
