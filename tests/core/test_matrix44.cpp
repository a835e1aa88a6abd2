#include "core/matrix44.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/float_helpers.h"
#include "tests/support/vec_text.h"

namespace {

using test_support::vecText;

void expectIdentity(const ClMatrix44& m, f32 tolerance) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], (i % 5 == 0) ? 1.0f : 0.0f, tolerance) << "element " << i;
}

ClVec3 rowOf(const ClMatrix44& m, int row) { return ClVec3(m.m[4 * row], m.m[4 * row + 1], m.m[4 * row + 2]); }

}  // namespace

// Conventions: row vectors p x M, translation in elements 12 to 14, rotations by the right-hand rule.
TEST(Matrix44, PointsAreRowVectorsTranslatedByTheLastRowAndAQuarterTurnAboutYTakesXToMinusZ) {
    ClMatrix44 m;
    m.setTranslationXYZ(1.0f, 2.0f, 3.0f);
    const ClVec3 p = m.transformPoint(ClVec3(1.0f, 1.0f, 1.0f));
    // The column form reads the same elements the other way round.
    EXPECT_EQ(p.x, 2.0f);
    EXPECT_EQ(p.y, 3.0f);
    EXPECT_EQ(p.z, 4.0f);
    EXPECT_EQ(p.w, 1.0f);
    EXPECT_EQ(m.transformPointColumn(ClVec3(1.0f, 1.0f, 1.0f)).w, 7.0f);

    ClMatrix44 turn, translation;
    turn.setRotationY(MATH_PI / 2.0f);
    translation.setTranslationXYZ(10.0f, 0.0f, 0.0f);
    // The transposed form applies the inverse rotation; a product applies the left matrix first.
    EXPECT_EQ(vecText({turn.transformPoint(ClVec3(1.0f, 0.0f, 0.0f)), turn.transformPoint(ClVec3(0.0f, 0.0f, 1.0f)),
                       turn.transformVectorTransposed(ClVec3(0.0f, 0.0f, -1.0f)),
                       turn.multiply(translation).transformPoint(ClVec3(1.0f, 0.0f, 0.0f))}, 1e-5f),
              "(0 0 -1) (1 0 0) (1 0 0) (10 0 -1)");
}

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

TEST(Matrix44, InverseTimesMatrixIsTheIdentityAlsoFor2x2AndTheSingularCase) {
    ClMatrix44 m;
    m.setRotationAxisAngle(ClVec3(1.0f, 2.0f, 3.0f).normalized(), 0.7f);
    m.m[0] *= 2.0f;
    m.m[5] *= 0.5f;
    m.setTranslationXYZ(4.0f, -5.0f, 6.0f);
    expectIdentity(m.getInverse().multiply(m), 1e-5f);
    expectIdentity(m.multiply(m.getInverse()), 1e-5f);

    const ClMatrix22 m22{2.0f, 1.0f, 1.0f, 1.0f};
    const ClVec2 back = m22.getInverse().transform(m22.transform(ClVec2(3.0f, -4.0f)));
    EXPECT_EQ(vecText({ClVec3(back.x, back.y, 0.0f)}, 1e-5f), "(3 -4 0)");

    // A singular matrix comes back transposed rather than divided by zero.
    const ClMatrix22 t = ClMatrix22{1.0f, 2.0f, 3.0f, 6.0f}.getInverse();
    EXPECT_EQ(t.b, 3.0f);
    EXPECT_EQ(t.c, 2.0f);
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

// Rounding can leave a diagonal element just below -1; the square root must not see it.
TEST(Matrix44, AxisAngleNearAHalfTurnStaysFinite) {
    ClMatrix44 m;
    m.m[0] = -1.0000001f;
    m.m[10] = -1.0000001f;
    ClVec3 axis;
    EXPECT_NEAR(m.toAxisAngle(&axis), MATH_PI, 1e-6f);
    EXPECT_EQ(vecText({axis}, 1e-5f), "(0 1 0)");  // a NaN never reads as a number
}

TEST(Matrix44, OrientationRowsAreAUnitFrameKeepTheTranslationAndFallBackInsteadOfStopping) {
    ClMatrix44 m;
    m.setTranslationXYZ(1.0f, 2.0f, 3.0f);
    m.m[3] = 5.0f;
    m.setOrientation(ClVec3(2.0f, 0.0f, 0.0f), ClVec3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(vecText({rowOf(m, 0), rowOf(m, 2), ClVec3(m.m[3], m.m[13], 0.0f)}, 1e-5f), "(1 0 0) (0 0 1) (0 2 0)");

    // Once a fatal stop: forward and hint along z, or a zero forward, are reachable in play.
    const ClVec3 cases[][2] = {
        {ClVec3(0.0f, 0.0f, 1.0f), ClVec3(0.0f, 0.0f, 1.0f)},
        {ClVec3(0.0f, 0.0f, -3.0f), ClVec3(0.0f, 0.0f, 0.5f)},
        {ClVec3(1.0f, 0.0f, 0.0f), ClVec3()},
    };
    for (const auto& c : cases) {
        ClMatrix44 frame;
        frame.setOrientation(c[0], c[1]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(rowOf(frame, i).length(), 1.0f, 1e-6f);
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(rowOf(frame, i).dot(rowOf(frame, i + 1)), 0.0f, 1e-6f);
        EXPECT_NEAR(rowOf(frame, 0).dot(c[0].normalized()), 1.0f, 1e-6f);
    }
    ClMatrix44 zeroForward;
    zeroForward.setRotationY(1.0f);
    zeroForward.setOrientation(ClVec3(), ClVec3(0.0f, 1.0f, 0.0f));
    expectIdentity(zeroForward, 0.0f);
}

TEST(Matrix44, WorldMatrixAndThreeByThreeHelpers) {
    ClMatrix33 orientation;
    orientation.setColumns(ClVec3(0.0f, 0.0f, -1.0f), ClVec3(0.0f, 1.0f, 0.0f), ClVec3(1.0f, 0.0f, 0.0f));
    const ClMatrix44 world = makeWorldMatrix(ClVec3(5.0f, 6.0f, 7.0f), orientation);
    // The columns become rows: local x goes along the first column.
    const ClVec3 x = world.transformPoint(ClVec3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(x.x, 5.0f);
    EXPECT_EQ(x.y, 6.0f);
    EXPECT_EQ(x.z, 6.0f);

    // An orientation times its own inverse rotation is the identity.
    const ClMatrix33 product = multiplyByInverseRotation(orientation, world.getTransposed());
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(product.at(i / 3, i % 3), i % 4 == 0 ? 1.0f : 0.0f, 1e-6f) << i;
}
