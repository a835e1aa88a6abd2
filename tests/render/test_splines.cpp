#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/name_hash.h"
#include "render/spline.h"
#include "render/spline_points.h"
#include "render/spline_registry.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/vec_text.h"

using test_support::fatalReasonOf;
using test_support::vecText;

namespace {

// Segment, finished flag, parameter and position of a cursor.
std::string cursorText(const SSplineCursor& cursor) {
    char text[48];
    std::snprintf(text, sizeof text, "%d %u %g ", int(cursor.segment), u32(cursor.finished), double(cursor.t));
    return text + vecText({cursor.position});
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

TEST(Splines, BakingCutsEachKeyPairIntoStepLongSegments) {
    ClSplineHermite ten = straightSpline(10.0f, 6.0f), thirteen = straightSpline(13.0f, 6.0f);
    ASSERT_EQ(1u, ten.segments.count);
    ASSERT_EQ(10.0f, ten.totalLength);
    ASSERT_EQ(2u, thirteen.segments.count);
    ASSERT_EQ(13.0f, thirteen.totalLength);
    const SSplineSegment& second = thirteen.segments[1];
    EXPECT_FLOAT_EQ(6.5f, second.startDistance);
    // Up turns linearly from the first key's to the last key's.
    EXPECT_EQ("(6.5 0 0) (1 0 0) (0 0.5 0.5) (0 0 1)",
              vecText({second.positionStart, thirteen.segments[0].directionStart, second.upStart,
                       second.upStart + second.upDelta}));
}

TEST(Splines, SegmentsFollowTheCurveAndJoinEndToEnd) {
    const ClVec3 p0(0, 0, 0), p1(20, 0, 20);
    ClSplineHermite spline;
    spline.init(2.0f);
    spline.addKey(p0, ClVec3(30, 0, 0), ClVec3(0, 1, 0));
    spline.addKey(p1, ClVec3(0, 0, 30), ClVec3(0, 1, 0));
    spline.buildSegments(0, 1);
    const u32 n = spline.segments.count;
    ASSERT_EQ(14u, n);  // the chord is 28.28 long
    EXPECT_EQ(vecText({spline.segments[0].positionStart}), vecText({p0}));
    // Halfway: the middle of the chord plus an eighth of the first tangent less the second.
    EXPECT_EQ(vecText({spline.segments[7].positionStart}), "(13.75 0 6.25)");
    f32 distance = 0.0f;
    for (u32 j = 0; j < n; ++j) {
        const SSplineSegment& segment = spline.segments[j];
        const ClVec3 next = j + 1 < n ? spline.segments[j + 1].positionStart : p1;
        EXPECT_EQ(vecText({next}), vecText({segment.positionStart + segment.positionDelta})) << j;
        EXPECT_NEAR(distance, segment.startDistance, 1e-4f) << j;
        distance += segment.length;
    }
    EXPECT_NEAR(distance, spline.totalLength, 1e-4f);
}

// A fresh cursor on a straight spline of the given length, after each move by `move`.
std::vector<std::string> cursorStates(f32 length, void (*move)(const ClSplineHermite&, SSplineCursor*, f32),
                                      std::initializer_list<f32> amounts) {
    const ClSplineHermite spline = straightSpline(length, 6.0f);
    SSplineCursor cursor;
    splineCursorReset(spline, &cursor);
    std::vector<std::string> states;
    for (f32 amount : amounts) move(spline, &cursor, amount), states.push_back(cursorText(cursor));
    return states;
}

TEST(Splines, CursorWalksByDistanceAndSeeksToAbsoluteDistances) {
    EXPECT_EQ(cursorStates(13.0f, splineCursorAdvance, {3.25f, 5.0f, 100.0f, 1.0f}),
              (std::vector<std::string>{"0 0 0.5 (3.25 0 0)", "1 0 0.269231 (8.25 0 0)", "1 1 1 (13 0 0)", "1 1 1 (13 0 0)"}));
    // Five segments of 6. A fresh cursor seeking to the very start stays there; into the last
    // segment, the cursor finishes at the end at once.
    EXPECT_EQ(cursorStates(30.0f, splineCursorSeek, {0.0f, 15.0f, 15.0f, 4.0f, 25.0f}),
              (std::vector<std::string>{"0 0 0 (0 0 0)", "2 0 0.5 (15 0 0)", "2 0 0.5 (15 0 0)", "0 0 0.666667 (4 0 0)",
                                        "4 1 1 (30 0 0)"}));
}

TEST(Splines, CatmullRomBakesExactlyTheAddedPoints) {
    ClSplineCatmullRom spline;
    spline.init(6.0f);
    for (f32 x : {0.0f, 12.0f, 24.0f}) spline.addPoint(ClVec3(x, 0, 0), ClVec3(0, 1, 0));
    spline.computeTangents();
    ASSERT_EQ(5u, spline.keys.count);
    std::string keys;
    for (u32 i = 0; i < 5; ++i) keys += vecText({spline.keys[i].position, spline.keys[i].tangent}) + " ";
    EXPECT_EQ(keys, "(-12 0 0) (12 0 0) (0 0 0) (12 0 0) (12 0 0) (12 0 0) (24 0 0) (12 0 0) (36 0 0) (12 0 0) ");
    spline.buildSegments(-1, -1);
    ASSERT_EQ(4u, spline.segments.count);
    EXPECT_EQ(vecText({spline.segments[0].positionStart, spline.segments[3].positionStart}), "(0 0 0) (18 0 0)");
    EXPECT_FLOAT_EQ(24.0f, spline.totalLength);
}

TEST(SplinePoints, MirrorArcAndBump) {
    ClVec3 mirrored;
    mirrorPlayfieldPoint(&mirrored, ClVec3(0, 7, 0), MIRROR_PLAYFIELD_X | MIRROR_PLAYFIELD_Z);
    EXPECT_EQ(vecText({mirrored}), "(325 7 269.75)");

    ClPointList points;
    points.init();
    points.push(ClVec3());
    appendArcPoints(&points, ClVec3(1, 0, 0), 90.0f, 10.0f, false);
    ASSERT_EQ(5u, points.count);
    EXPECT_EQ(vecText({points[4]}), "(10 0 10)");  // a quarter turn towards direction x up
    const u32 before = points.count;
    appendArcPoints(&points, ClVec3(1, 0, 0), 30.0f, 10.0f, false);
    EXPECT_EQ(before + 2, points.count);

    points.count = 0;
    points.push(ClVec3());
    appendBumpPoints(&points, ClVec3(1, 0, 0), 10.0f, 4.0f, 3.0f, false, 1.0f);
    ASSERT_EQ(5u, points.count);  // the start and 4 steps
    // Halfway: full height towards direction x up.
    EXPECT_EQ(vecText({ClVec3(0, 0, points[1].z), ClVec3(0, 0, points[3].z)}, 1e-5f), "(0 0 0) (0 0 4)");
    EXPECT_EQ(points[4].x, 10.0f);
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
    EXPECT_EQ(vecText({splineA->keys[splineA->keys.count - 1].position, splineB->keys[0].position}), "(10 0 50) (20 0 0)");
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
