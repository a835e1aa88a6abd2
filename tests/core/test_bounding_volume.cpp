#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/bounding_volume.h"

namespace {

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

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 m;
    m.setTranslationXYZ(x, y, z);
    return m;
}

bool same(f32 a, f32 b) { return ::testing::Matches(::testing::FloatEq(b))(a); }
bool same(const ClVec3& a, const ClVec3& b) { return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z); }
std::string text(const ClVec3& v) {
    return "(" + std::to_string(v.x) + ", " + std::to_string(v.y) + ", " + std::to_string(v.z) + ")";
}

// Centre and radius count only for a sphere.
::testing::AssertionResult isVolume(const ClBoundingVolume& v, u32 kind, const ClVec3& centre = {}, f32 radius = 0) {
    if (v.kind == kind && (kind != E_BOUNDS_SPHERE || (same(v.centre, centre) && same(v.radius, radius)))) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "kind " << v.kind << ", centre " << text(v.centre) << ", radius "
                                         << v.radius;
}

::testing::AssertionResult isEntry(const SCollisionSphere& s, u32 kind, f32 radius, const ClVec3& start,
                                   const ClVec3& end) {
    if (s.kind == kind && same(s.radius, radius) && same(s.start, start) && same(s.end, end)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "kind " << s.kind << ", radius " << s.radius << ", from "
                                         << text(s.start) << " to " << text(s.end);
}

}  // namespace

TEST(BoundingVolume, SphereFromPointsCentresOnTheBoxAndReachesItsMinimumCorner) {
    // Box (-4, -3, 1) to (6, 3, 1): centre (1, 0, 1), radius |(5, 3, 0)|.
    const ClVec3 points[] = {ClVec3(-4, 0, 1), ClVec3(6, 3, 1), ClVec3(0, -3, 1)};
    ClBoundingVolume v;
    v.setSphereFromPoints(3, points);
    EXPECT_TRUE(isVolume(v, E_BOUNDS_SPHERE, ClVec3(1, 0, 1), std::sqrt(34.0f)));
    v.setSphereFromPoints(0, points);
    EXPECT_TRUE(isVolume(v, E_BOUNDS_EMPTY));
}

TEST(BoundingVolume, OnlySpheresStrictlyCloserThanTheirRadiiOverlap) {
    const ClBoundingVolume a = sphere(0, 0, 0, 1);
    EXPECT_TRUE(a.overlaps(sphere(1.9f, 0, 0, 1)));
    EXPECT_FALSE(a.overlaps(sphere(2, 0, 0, 1)));  // touching
    EXPECT_FALSE(a.overlaps(ofKind(E_BOUNDS_UNBOUNDED)));
}

TEST(BoundingVolume, MergeAndUnionCoverBothVolumes) {
    const struct {
        ClBoundingVolume into, other;
        u32 kind;
        ClVec3 centre;
        f32 radius;
    } cases[] = {
        {sphere(0, 0, 0, 1), sphere(4, 0, 0, 1), E_BOUNDS_SPHERE, ClVec3(2, 0, 0), 3.0f},
        {sphere(0, 0, 0, 1), sphere(0.00005f, 0, 0, 3), E_BOUNDS_SPHERE, ClVec3(0, 0, 0), 3.0f},  // concentric
        {ofKind(E_BOUNDS_EMPTY), sphere(1, 2, 3, 4), E_BOUNDS_SPHERE, ClVec3(1, 2, 3), 4.0f},
        {sphere(1, 0, 0, 2), ofKind(E_BOUNDS_UNBOUNDED), E_BOUNDS_SPHERE, ClVec3(1, 0, 0), 2.0f},
        {ofKind(E_BOUNDS_UNBOUNDED), sphere(0, 0, 0, 1), E_BOUNDS_UNBOUNDED, ClVec3(), 0.0f},
    };
    for (const auto& c : cases) {
        ClBoundingVolume v = c.into;
        v.merge(c.other);
        EXPECT_TRUE(isVolume(v, c.kind, c.centre, c.radius)) << "case " << &c - cases;
    }
    ClBoundingVolume a = sphere(0, 0, 0, 1);
    a.unionOf(sphere(0, 0, 4, 1), a);  // b aliasing this
    EXPECT_TRUE(isVolume(a, E_BOUNDS_SPHERE, ClVec3(0, 0, 2), 3.0f));
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

TEST(BoundingVolumeList, SweepSpheresRunsEachLocalSphereFromPreviousToCurrent) {
    const ClVec3 points[] = {ClVec3(-1, 0, 0), ClVec3(1, 0, 0)};
    ClBoundingVolumeList local;
    local.reset();
    local.addSphereFromPoints(2, points);
    local.push(SCollisionSphere{E_BOUNDS_SPHERE, 0.5f, ClVec3(5, 0, 0), ClVec3(5, 0, 0)});
    ASSERT_EQ(local.count(), 2u);
    EXPECT_TRUE(isEntry(local[0], E_BOUNDS_SPHERE, 1.0f, ClVec3(0, 0, 0), ClVec3(0, 0, 0)));

    ClBoundingVolumeList world;
    world.sweepSpheres(local, translation(0, 0, 0), translation(0, 0, 10));
    world.sweepSpheres(local, translation(0, 0, 0), translation(0, 0, 10));  // refills, no growth
    ASSERT_EQ(world.count(), 2u);
    EXPECT_TRUE(isEntry(world[1], E_BOUNDS_SWEPT_SPHERE, 0.5f, ClVec3(5, 0, 0), ClVec3(5, 0, 10)));

    local.release();
    world.release();
}

TEST(BoundingVolumeList, CoverSegmentLaysSpheresOneDiameterApart) {
    ClBoundingVolumeList list;
    // Length 10, radius 2: 1 + floor(10 / 4) = 3 spheres at 2, 6, 10, then one on the end (odd).
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0, 9), ClVec3(10, 0, 0, 9), 2.0f);
    ASSERT_EQ(list.count(), 4u);
    const f32 expected[] = {2.0f, 6.0f, 10.0f, 10.0f};
    for (u32 i = 0; i < 4; ++i) {
        const ClVec3 centre(expected[i], 0, 0);
        EXPECT_TRUE(isEntry(list[i], E_BOUNDS_SPHERE, 2.0f, centre, centre)) << "sphere " << i;
        EXPECT_EQ(list[i].start.w, 0.0f);
    }
    // Length 8, radius 2.5: 1 + floor(8 / 5) = 2 spheres, even, so nothing on the end.
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(0, 0, 8), 2.5f);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_FLOAT_EQ(list[0].start.z, 2.5f);
    EXPECT_FLOAT_EQ(list[1].start.z, 7.5f);
    // A radius of 0 gives the two ends.
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(3, 0, 0), 0.0f);
    ASSERT_EQ(list.count(), 2u);
    list.release();
}
