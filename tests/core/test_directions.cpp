#include "core/directions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/float_helpers.h"
#include "core/random.h"

namespace {

void expectVec3Near(const ClVec3& v, const ClVec3& expected, f32 tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, expected.x, tolerance);
    EXPECT_NEAR(v.y, expected.y, tolerance);
    EXPECT_NEAR(v.z, expected.z, tolerance);
}

void expectUnitFrame(const ClMatrix33& m) {
    const ClVec3 c0 = m.getColumn(0);
    const ClVec3 c1 = m.getColumn(1);
    const ClVec3 c2 = m.getColumn(2);
    EXPECT_NEAR(c0.length(), 1.0f, 1e-6f);
    EXPECT_NEAR(c1.length(), 1.0f, 1e-6f);
    EXPECT_NEAR(c2.length(), 1.0f, 1e-6f);
    EXPECT_NEAR(c0.dot(c1), 0.0f, 1e-6f);
    EXPECT_NEAR(c1.dot(c2), 0.0f, 1e-6f);
    EXPECT_NEAR(c0.dot(c2), 0.0f, 1e-6f);
}

}  // namespace

TEST(LookRotation, ColumnsAreRightUpAndBackwardAndParallelUpVectorsFallBack) {
    ClMatrix33 m;
    makeLookRotation(ClVec3(0.0f, 0.0f, -2.0f), &m, ClVec3(0.0f, 1.0f, 0.0f));
    expectVec3Near(m.getColumn(0), ClVec3(1.0f, 0.0f, 0.0f));
    expectVec3Near(m.getColumn(1), ClVec3(0.0f, 1.0f, 0.0f));
    expectVec3Near(m.getColumn(2), ClVec3(0.0f, 0.0f, 1.0f));

    // Forward along the up vector once used (0, 0, 1) and, along z too, stopped the program.
    makeLookRotation(ClVec3(0.0f, 1.0f, 0.0f), &m, ClVec3(0.0f, 1.0f, 0.0f));
    expectUnitFrame(m);
    expectVec3Near(m.getColumn(1), ClVec3(0.0f, 0.0f, 1.0f));

    makeLookRotation(ClVec3(0.0f, 0.0f, 1.0f), &m, ClVec3(0.0f, 0.0f, 1.0f));
    expectUnitFrame(m);
    expectVec3Near(m.getColumn(2), ClVec3(0.0f, 0.0f, -1.0f));

    makeLookRotation(ClVec3(), &m, ClVec3(0.0f, 1.0f, 0.0f));
    expectVec3Near(m.getColumn(0), ClVec3(1.0f, 0.0f, 0.0f), 0.0f);
    expectVec3Near(m.getColumn(2), ClVec3(0.0f, 0.0f, 1.0f), 0.0f);
}

TEST(RotationBetweenDirections, CarriesTheFirstOntoTheSecondAndTurnsAFacingTowardTheTarget) {
    const ClVec3 a = ClVec3(1.0f, 0.0f, 0.0f);
    const ClVec3 b = ClVec3(0.0f, 0.3f, 0.8f).normalized();
    expectVec3Near(rotationBetweenDirections(a, b).transformPoint(a), b);

    // Parallel: identity; opposite: a half turn.
    expectVec3Near(rotationBetweenDirections(a, scaleVec3(a, 3.0f)).transformPoint(b), b);
    const ClMatrix44 reverse = rotationBetweenDirections(a, a.negated());
    expectVec3Near(reverse.transformPoint(a), a.negated());
    EXPECT_NEAR(reverse.transformPoint(b).length(), 1.0f, 1e-6f);

    // A station whose branch axis A should come to face the ship along U: its facing F must turn
    // the same way as A does.
    const f32 yaw = 0.4f;
    ClMatrix44 entity;
    entity.setRotationY(yaw);
    const ClVec3 facing = entity.transformPoint(ClVec3(1.0f, 0.0f, 0.0f));
    // The branch points a quarter turn left of the facing in the entity's frame.
    const ClVec3 branch = entity.transformPoint(ClVec3(0.0f, 0.0f, -1.0f));
    const ClVec3 target = ClVec3(-0.6f, 0.0f, 0.8f).normalized();

    const ClMatrix44 turn = rotationBetweenDirections(branch, target);
    const ClVec3 newFacing = turn.transformPoint(facing);
    // Rebuild the entity's frame from the new facing and check where the branch now points.
    const f32 newYaw = std::atan2(-newFacing.z, newFacing.x);
    ClMatrix44 turned;
    turned.setRotationY(newYaw);
    expectVec3Near(turned.transformPoint(ClVec3(0.0f, 0.0f, -1.0f)), target);
}

TEST(ClampDirectionToCone, InsideIsUnchangedOutsideLandsOnTheEdgeAlsoInThePlaneNormalForm) {
    const ClVec3 axis(1.0f, 0.0f, 0.0f);
    const ClVec3 inside = ClVec3(1.0f, 0.5f, 0.0f).normalized();
    const ClVec3 kept = clampDirectionToCone(inside, axis, MATH_PI / 4.0f);
    expectVec3Near(kept, inside, 0.0f);

    const ClVec3 outside = ClVec3(0.2f, 0.0f, -1.0f).normalized();
    const ClVec3 clamped = clampDirectionToCone(outside, axis, MATH_PI / 4.0f);
    const f32 h = std::sqrt(0.5f);
    expectVec3Near(clamped, ClVec3(h, 0.0f, -h));

    // Exactly opposite: still on the edge, still a unit vector.
    const ClVec3 opposite = clampDirectionToCone(axis.negated(), axis, 0.5f);
    EXPECT_NEAR(opposite.dot(axis), std::cos(0.5f), 1e-6f);
    EXPECT_NEAR(opposite.length(), 1.0f, 1e-6f);

    // The arm's call: plane normal N = normalise(A x L); cos(limit) A + or - sqrt(1 - cos^2) P with
    // P = A x N and the side chosen by the sign of D . P.
    const ClVec3 towardShip(-0.3f, 0.4f, 0.9f);
    const ClVec3 d = towardShip.normalized();
    const ClVec3 n = axis.cross(towardShip).normalized();
    const f32 limit = 0.7853982f;

    const ClVec3 p = axis.cross(n);
    const f32 c = std::cos(limit);
    const f32 s = std::sqrt(1.0f - c * c);
    const ClVec3 expected = d.dot(p) >= 0.0f ? scaleVec3(axis, c) + scaleVec3(p, s) : scaleVec3(axis, c) - scaleVec3(p, s);

    ClVec3 result;
    clampDirectionToCone(&result, d, axis, limit, n);
    expectVec3Near(result, expected);
}

TEST(RandomDirections, UnitVectorsAndConesHoldTheirBounds) {
    sfmtInitGenRand(1234);
    for (int i = 0; i < 200; ++i) ASSERT_NEAR(randomUnitVector3().length(), 1.0f, 1e-6f);

    const ClVec3 axis = ClVec3(0.3f, -0.2f, 0.9f).normalized();
    expectVec3Near(randomDirectionInCone(axis, 0.0f), axis, 0.0f);
    // 60 degrees is the widest cone drawn by rejection, where eight misses happen most often.
    for (f32 halfAngle : {5.0f, 60.0f, 150.0f}) {
        const f32 cosHalfAngle = std::cos(halfAngle * MATH_DEGREES_TO_RADIANS);
        for (int i = 0; i < 2000; ++i) {
            const ClVec3 v = randomDirectionInCone(axis, halfAngle);
            ASSERT_NEAR(v.length(), 1.0f, 1e-5f);
            ASSERT_GE(v.dot(axis), cosHalfAngle - 1e-5f) << halfAngle;
        }
    }
}
