#include "core/directions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/float_helpers.h"
#include "tests/support/vec_text.h"

namespace {

using test_support::vecText;

void expectUnitFrame(const ClMatrix33& m) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(m.getColumn(i).length(), 1.0f, 1e-6f) << i;
        EXPECT_NEAR(m.getColumn(i).dot(m.getColumn((i + 1) % 3)), 0.0f, 1e-6f) << i;
    }
}

}  // namespace

TEST(LookRotation, ColumnsAreRightUpAndBackwardAndParallelUpVectorsFallBack) {
    ClMatrix33 m;
    makeLookRotation(ClVec3(0.0f, 0.0f, -2.0f), &m, ClVec3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(vecText({m.getColumn(0)}, 1e-5f), "(1 0 0)") << "right";
    EXPECT_EQ(vecText({m.getColumn(1)}, 1e-5f), "(0 1 0)") << "up";
    EXPECT_EQ(vecText({m.getColumn(2)}, 1e-5f), "(0 0 1)") << "backward";

    // Forward along the up vector once used (0, 0, 1) and, along z too, stopped the program.
    makeLookRotation(ClVec3(0.0f, 1.0f, 0.0f), &m, ClVec3(0.0f, 1.0f, 0.0f));
    expectUnitFrame(m);
    const ClVec3 up = m.getColumn(1);
    makeLookRotation(ClVec3(0.0f, 0.0f, 1.0f), &m, ClVec3(0.0f, 0.0f, 1.0f));
    expectUnitFrame(m);
    EXPECT_EQ(vecText({up}, 1e-5f), "(0 0 1)");
    EXPECT_EQ(vecText({m.getColumn(2)}, 1e-5f), "(0 0 -1)");

    makeLookRotation(ClVec3(), &m, ClVec3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(vecText({m.getColumn(0)}, 1e-6f), "(1 0 0)") << "a zero forward keeps the identity";
    EXPECT_EQ(vecText({m.getColumn(2)}, 1e-6f), "(0 0 1)");
}

TEST(RotationBetweenDirections, CarriesTheFirstOntoTheSecond) {
    const ClVec3 a = ClVec3(1.0f, 0.0f, 0.0f);
    const ClVec3 b = ClVec3(0.0f, 0.3f, 0.8f).normalized();
    // Parallel: identity; opposite: a half turn.
    const ClMatrix44 reverse = rotationBetweenDirections(a, a.negated());
    EXPECT_EQ(vecText({rotationBetweenDirections(a, b).transformPoint(a)}, 1e-5f), vecText({b}, 1e-5f));
    EXPECT_EQ(vecText({rotationBetweenDirections(a, scaleVec3(a, 3.0f)).transformPoint(b)}, 1e-5f), vecText({b}, 1e-5f));
    EXPECT_EQ(vecText({reverse.transformPoint(a)}, 1e-5f), vecText({a.negated()}, 1e-5f));
    EXPECT_NEAR(reverse.transformPoint(b).length(), 1.0f, 1e-6f);
}

TEST(ClampDirectionToCone, InsideIsUnchangedOutsideLandsOnTheEdgeAlsoInThePlaneNormalForm) {
    const ClVec3 axis(1.0f, 0.0f, 0.0f);
    const ClVec3 inside = ClVec3(1.0f, 0.5f, 0.0f).normalized();
    const ClVec3 same = clampDirectionToCone(inside, axis, MATH_PI / 4.0f);
    EXPECT_EQ(vecText({same}, 1e-6f), vecText({inside}, 1e-6f));

    const ClVec3 outside = ClVec3(0.2f, 0.0f, -1.0f).normalized();
    const f32 h = std::sqrt(0.5f);
    EXPECT_EQ(vecText({clampDirectionToCone(outside, axis, MATH_PI / 4.0f)}, 1e-5f), vecText({ClVec3(h, 0.0f, -h)}, 1e-5f));

    // Exactly opposite: still on the edge, still a unit vector.
    const ClVec3 opposite = clampDirectionToCone(axis.negated(), axis, 0.5f);
    EXPECT_NEAR(opposite.dot(axis), std::cos(0.5f), 1e-6f);
    EXPECT_NEAR(opposite.length(), 1.0f, 1e-6f);

    // The arm's call, given the plane normal N = normalise(A x L): the edge of the cone on L's side.
    const ClVec3 towardShip(-0.3f, 0.4f, 0.9f), side = ClVec3(0.0f, 0.4f, 0.9f).normalized();
    ClVec3 result;
    clampDirectionToCone(&result, towardShip.normalized(), axis, MATH_PI / 4.0f, axis.cross(towardShip).normalized());
    EXPECT_EQ(vecText({result}, 1e-5f), vecText({scaleVec3(axis, h) + scaleVec3(side, h)}, 1e-5f));
}
