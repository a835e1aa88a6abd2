#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/bounding_volume.h"
#include "tests/support/vec_text.h"

namespace {

using test_support::vecText;

ClBoundingVolume sphere(f32 x, f32 y, f32 z, f32 radius) {
    ClBoundingVolume v;
    v.centre = ClVec3(x, y, z, 0.0f);
    v.radius = radius;
    v.kind = E_BOUNDS_SPHERE;
    return v;
}

ClBoundingVolume ofKind(u32 kind) {
    ClBoundingVolume v;
    v.kind = kind;
    return v;
}

// Kind, then for a sphere its centre and radius; entries add the start's w (always 0) and the end.
std::string text(const ClBoundingVolume& v) {
    return std::to_string(v.kind) + (v.kind == E_BOUNDS_SPHERE ? " " + vecText({v.centre, ClVec3(v.radius, 0, 0)}, 1e-6f) : "");
}
std::string text(const SCollisionSphere& s) {
    return std::to_string(s.kind) + " " + vecText({ClVec3(s.radius, s.start.w, 0), s.start, s.end}, 1e-6f);
}
std::string text(const ClBoundingVolumeList& list) {
    std::string out;
    for (u32 i = 0; i < list.count(); ++i) out += (i ? ", " : "") + text(list[i]);
    return out;
}

}  // namespace

TEST(BoundingVolume, SphereFromPointsCentresOnTheBoxAndReachesItsMinimumCorner) {
    // Box (-4, -3, 1) to (6, 3, 1): centre (1, 0, 1), radius |(5, 3, 0)|.
    const ClVec3 points[] = {ClVec3(-4, 0, 1), ClVec3(6, 3, 1), ClVec3(0, -3, 1)};
    ClBoundingVolume v;
    v.setSphereFromPoints(3, points);
    EXPECT_EQ(text(v), text(sphere(1, 0, 1, std::sqrt(34.0f))));
    v.setSphereFromPoints(0, points);
    EXPECT_EQ(text(v), text(ofKind(E_BOUNDS_EMPTY)));
}

TEST(BoundingVolume, OnlySpheresStrictlyCloserThanTheirRadiiOverlap) {
    const ClBoundingVolume a = sphere(0, 0, 0, 1);
    EXPECT_TRUE(a.overlaps(sphere(1.9f, 0, 0, 1)));
    EXPECT_FALSE(a.overlaps(sphere(2, 0, 0, 1))) << "touching does not overlap";
    EXPECT_FALSE(a.overlaps(ofKind(E_BOUNDS_UNBOUNDED)));
}

TEST(BoundingVolumeDeathTest, NonSpheresAreRefusedWhereASphereIsRequired) {
    ClBoundingVolume empty = ofKind(E_BOUNDS_EMPTY);
    EXPECT_EXIT(empty.transformSphere(ClMatrix44()), ::testing::ExitedWithCode(3), "transformSphere on a volume of kind");
    ClBoundingVolume odd = ofKind(7);
    EXPECT_EXIT(odd.merge(sphere(0, 0, 0, 1)), ::testing::ExitedWithCode(3), "merge of kinds 7 and");
    ClBoundingVolumeList local;
    local.reset();
    local.setUnbounded();
    ClBoundingVolumeList world;
    EXPECT_EXIT(world.sweepSpheres(local, ClMatrix44(), ClMatrix44()), ::testing::ExitedWithCode(3),
                "local entry 0 is of kind");
    local.release();
}

TEST(BoundingVolumeList, CoverSegmentLaysSpheresOneDiameterApart) {
    ClBoundingVolumeList list;
    const std::string at = std::to_string(E_BOUNDS_SPHERE) + " ";
    // Length 10, radius 2: 1 + floor(10 / 4) = 3 spheres at 2, 6, 10, then one on the end (odd).
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0, 9), ClVec3(10, 0, 0, 9), 2.0f);
    EXPECT_EQ(text(list), at + "(2 0 0) (2 0 0) (2 0 0), " + at + "(2 0 0) (6 0 0) (6 0 0), " + at + "(2 0 0) (10 0 0) (10 0 0), " +
                              at + "(2 0 0) (10 0 0) (10 0 0)");
    // Length 8, radius 2.5: 1 + floor(8 / 5) = 2 spheres, even, so nothing on the end; a radius of
    // 0 gives the two ends.
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(0, 0, 8), 2.5f);
    EXPECT_EQ(text(list), at + "(2.5 0 0) (0 0 2.5) (0 0 2.5), " + at + "(2.5 0 0) (0 0 7.5) (0 0 7.5)");
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(3, 0, 0), 0.0f);
    EXPECT_EQ(list.count(), 2u);
    list.release();
}
