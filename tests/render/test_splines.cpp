#include <gtest/gtest.h>

#include <string>

#include "core/name_hash.h"
#include "render/spline.h"
#include "render/spline_points.h"
#include "render/spline_registry.h"
#include "tests/support/fatal_catch.h"

using test_support::fatalReasonOf;

namespace {

void expectNear(const ClVec3& expected, const ClVec3& actual, f32 tolerance = 1e-4f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// A Hermite pair whose tangents are the chord is the straight line at constant speed.
ClSplineHermite straightSpline(f32 length, f32 step) {
    ClSplineHermite spline;
    spline.init(step);
    const ClVec3 chord(length, 0.0f, 0.0f);
    spline.addKey(ClVec3(), chord, ClVec3(0, 1, 0));
    spline.addKey(chord, chord, ClVec3(0, 0, 1));
    spline.buildSegments(-1, -1);
    return spline;
}

ClVec3 hermite(const ClVec3& p0, const ClVec3& t0, const ClVec3& p1, const ClVec3& t1, f32 t) {
    const f32 t2 = t * t, t3 = t2 * t;
    return scaleVec3(p0, 2 * t3 - 3 * t2 + 1) + scaleVec3(t0, t3 - 2 * t2 + t) + scaleVec3(p1, 3 * t2 - 2 * t3) +
           scaleVec3(t1, t3 - t2);
}

TEST(Splines, BakingCutsEachKeyPairIntoStepLongSegments) {
    ClSplineHermite ten = straightSpline(10.0f, 6.0f);
    ASSERT_EQ(1u, ten.segments.count);
    EXPECT_FLOAT_EQ(10.0f, ten.totalLength);
    ClSplineHermite thirteen = straightSpline(13.0f, 6.0f);
    ASSERT_EQ(2u, thirteen.segments.count);
    EXPECT_FLOAT_EQ(6.5f, thirteen.segments[1].startDistance);
    EXPECT_FLOAT_EQ(13.0f, thirteen.totalLength);
    expectNear(ClVec3(6.5f, 0, 0), thirteen.segments[1].positionStart);
    expectNear(ClVec3(1, 0, 0), thirteen.segments[0].directionStart);
    // Up turns linearly from the first key's to the last key's.
    expectNear(ClVec3(0, 0.5f, 0.5f), thirteen.segments[1].upStart);
    expectNear(ClVec3(0, 0, 1), thirteen.segments[1].upStart + thirteen.segments[1].upDelta);
}

TEST(Splines, SegmentsStartOnTheCubicAndJoinEndToEnd) {
    const ClVec3 p0(0, 0, 0), t0(30, 0, 0), p1(20, 0, 20), t1(0, 0, 30);
    ClSplineHermite spline;
    spline.init(2.0f);
    spline.addKey(p0, t0, ClVec3(0, 1, 0));
    spline.addKey(p1, t1, ClVec3(0, 1, 0));
    spline.buildSegments(0, 1);
    const u32 n = spline.segments.count;
    ASSERT_EQ(14u, n);  // the chord is 28.28 long
    f32 distance = 0.0f;
    for (u32 j = 0; j < n; ++j) {
        const SSplineSegment& segment = spline.segments[j];
        expectNear(hermite(p0, t0, p1, t1, f32(j) / f32(n)), segment.positionStart);
        EXPECT_NEAR(distance, segment.startDistance, 1e-4f);
        distance += segment.length;
        const ClVec3 end = segment.positionStart + segment.positionDelta;
        expectNear(j + 1 < n ? spline.segments[j + 1].positionStart : p1, end);
    }
    EXPECT_NEAR(distance, spline.totalLength, 1e-4f);
}

TEST(Splines, CursorWalksByDistance) {
    ClSplineHermite spline = straightSpline(13.0f, 6.0f);
    SSplineCursor cursor;
    splineCursorReset(spline, &cursor);
    splineCursorAdvance(spline, &cursor, 3.25f);
    expectNear(ClVec3(3.25f, 0, 0), cursor.position);
    EXPECT_FLOAT_EQ(0.5f, cursor.t);
    splineCursorAdvance(spline, &cursor, 5.0f);
    EXPECT_EQ(1, cursor.segment);
    expectNear(ClVec3(8.25f, 0, 0), cursor.position);
    splineCursorAdvance(spline, &cursor, 100.0f);
    EXPECT_EQ(1u, cursor.finished);
    EXPECT_EQ(1, cursor.segment);
    EXPECT_FLOAT_EQ(1.0f, cursor.t);
    expectNear(ClVec3(13, 0, 0), cursor.position);
    splineCursorAdvance(spline, &cursor, 1.0f);
    expectNear(ClVec3(13, 0, 0), cursor.position);
}

TEST(Splines, CursorSeeksToAbsoluteDistances) {
    ClSplineHermite spline = straightSpline(30.0f, 6.0f);  // five segments of 6
    SSplineCursor cursor;
    splineCursorReset(spline, &cursor);
    // A fresh cursor seeking to the very start stays there.
    splineCursorSeek(spline, &cursor, 0.0f);
    EXPECT_EQ(0, cursor.segment);
    EXPECT_EQ(0u, cursor.finished);
    expectNear(ClVec3(0, 0, 0), cursor.position);
    splineCursorSeek(spline, &cursor, 15.0f);
    EXPECT_EQ(2, cursor.segment);
    expectNear(ClVec3(15, 0, 0), cursor.position);
    splineCursorSeek(spline, &cursor, 15.0f);
    expectNear(ClVec3(15, 0, 0), cursor.position);
    splineCursorSeek(spline, &cursor, 4.0f);
    EXPECT_EQ(0, cursor.segment);
    expectNear(ClVec3(4, 0, 0), cursor.position);
    // Into the last segment: the cursor finishes at the end at once.
    splineCursorSeek(spline, &cursor, 25.0f);
    EXPECT_EQ(1u, cursor.finished);
    expectNear(ClVec3(30, 0, 0), cursor.position);
}

TEST(Splines, CatmullRomBakesExactlyTheAddedPoints) {
    ClSplineCatmullRom spline;
    spline.init(6.0f);
    for (f32 x : {0.0f, 12.0f, 24.0f}) spline.addPoint(ClVec3(x, 0, 0), ClVec3(0, 1, 0));
    spline.computeTangents();
    ASSERT_EQ(5u, spline.keys.count);
    expectNear(ClVec3(-12, 0, 0), spline.keys[0].position);
    expectNear(ClVec3(36, 0, 0), spline.keys[4].position);
    for (u32 i = 0; i < 5; ++i) expectNear(ClVec3(12, 0, 0), spline.keys[i].tangent);
    spline.buildSegments(-1, -1);
    EXPECT_EQ(4u, spline.segments.count);
    expectNear(ClVec3(0, 0, 0), spline.segments[0].positionStart);
    expectNear(ClVec3(18, 0, 0), spline.segments[3].positionStart);
    EXPECT_FLOAT_EQ(24.0f, spline.totalLength);
}

TEST(SplinePoints, MirrorArcAndBump) {
    ClVec3 mirrored;
    mirrorPlayfieldPoint(&mirrored, ClVec3(0, 7, 0), MIRROR_PLAYFIELD_X | MIRROR_PLAYFIELD_Z);
    expectNear(ClVec3(325, 7, 269.75f), mirrored);

    ClPointList points;
    points.init();
    points.push(ClVec3());
    appendArcPoints(&points, ClVec3(1, 0, 0), 90.0f, 10.0f, false);
    ASSERT_EQ(5u, points.count);
    expectNear(ClVec3(10, 0, 10), points[4]);  // a quarter turn towards direction x up
    const u32 before = points.count;
    appendArcPoints(&points, ClVec3(1, 0, 0), 30.0f, 10.0f, false);
    EXPECT_EQ(before + 2, points.count);

    points.count = 0;
    points.push(ClVec3());
    appendBumpPoints(&points, ClVec3(1, 0, 0), 10.0f, 4.0f, 3.0f, false, 1.0f);
    ASSERT_EQ(5u, points.count);  // the start and 4 steps
    EXPECT_NEAR(0.0f, points[1].z, 1e-5f);
    EXPECT_NEAR(4.0f, points[3].z, 1e-5f);  // halfway: full height towards direction x up
    EXPECT_FLOAT_EQ(10.0f, points[4].x);
    points.release();
}

class SplineRegistry : public test_support::FatalThrowingTest {
protected:
    void TearDown() override {
        shutdownSplineRegistry();
        test_support::FatalThrowingTest::TearDown();
    }
    static ClPointList line(f32 z) {
        ClPointList points;
        points.init();
        for (f32 x : {0.0f, 10.0f, 20.0f, 30.0f}) points.push(ClVec3(x, 0, z));
        return points;
    }
};

TEST_F(SplineRegistry, NamedPairsAreFoundJoinedAndClearedAway) {
    EXPECT_EQ("registerSpline: the spline registry is not set up (\"a\")",
              fatalReasonOf([] { registerSpline(1, nullptr, "a"); }));
    initSplineRegistry();
    ClPointList a = line(0.0f), b = line(50.0f);
    buildNamedSplinePair(a, b, "pathA", "pathB");
    auto* splineA = static_cast<ClSplineCatmullRom*>(getSplineOrDie(crc32TextNoCase("pathA")));
    auto* splineB = static_cast<ClSplineCatmullRom*>(getSplineOrDie(crc32TextNoCase("pathB")));
    // Joined: A's phantom end is B's second point, B's phantom start is A's third-from-last key.
    expectNear(ClVec3(10, 0, 50), splineA->keys[splineA->keys.count - 1].position);
    expectNear(ClVec3(20, 0, 0), splineB->keys[0].position);
    EXPECT_GT(splineA->segments.count, 0u);

    // A name built again finds the new spline; the old one stays owned.
    buildNamedSplinePair(a, b, "pathA", "pathC");
    EXPECT_NE(splineA, findSpline(crc32TextNoCase("pathA")));
    EXPECT_EQ(4u, getSplineCount());
    clearSplineRegistry();
    EXPECT_EQ(0u, getSplineCount());
    EXPECT_EQ(nullptr, findSpline(crc32TextNoCase("pathA")));
    buildNamedSplinePair(a, b, "pathA", "pathB");
    EXPECT_EQ(2u, getSplineCount());
    a.release();
    b.release();
}

TEST_F(SplineRegistry, AFullRegistryIsFatal) {
    initSplineRegistry();
    for (u32 i = 0; i < SPLINE_REGISTRY_CAPACITY; ++i) registerSpline(i + 1, new ClSplineCatmullRom(), "s");
    EXPECT_EQ("registerSpline: the spline registry is full (2048 splines) at \"last\"",
              fatalReasonOf([] { registerSpline(99999, nullptr, "last"); }));
}

}  // namespace
