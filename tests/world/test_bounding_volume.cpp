#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "core/fatal_error.h"
#include "world/bounding_volume.h"

namespace {

struct FatalThrown : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void throwOnFatal(const char* reason) { throw FatalThrown(reason); }

class BoundingVolumeFatal : public ::testing::Test {
protected:
    void SetUp() override { setFatalErrorHook(throwOnFatal); }
    void TearDown() override { setFatalErrorHook(nullptr); }
};

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

}  // namespace

TEST(BoundingVolume, SphereFromPointsCentresOnTheBoxAndReachesItsMinimumCorner) {
    // Box (-4, -3, 1) to (6, 3, 1): centre (1, 0, 1), radius |(5, 3, 0)|.
    const ClVec3 points[] = {ClVec3(-4, 0, 1), ClVec3(6, 3, 1), ClVec3(0, -3, 1)};
    ClBoundingVolume v;
    v.setSphereFromPoints(3, points);
    EXPECT_EQ(v.kind, E_BOUNDS_SPHERE);
    EXPECT_FLOAT_EQ(v.centre.x, 1.0f);
    EXPECT_FLOAT_EQ(v.centre.y, 0.0f);
    EXPECT_FLOAT_EQ(v.centre.z, 1.0f);
    EXPECT_FLOAT_EQ(v.radius, std::sqrt(34.0f));
    v.setSphereFromPoints(0, points);
    EXPECT_EQ(v.kind, E_BOUNDS_EMPTY);
}

TEST(BoundingVolume, OnlySpheresStrictlyCloserThanTheirRadiiOverlap) {
    const ClBoundingVolume a = sphere(0, 0, 0, 1);
    EXPECT_TRUE(a.overlaps(sphere(1.9f, 0, 0, 1)));
    EXPECT_FALSE(a.overlaps(sphere(2, 0, 0, 1)));  // touching
    EXPECT_FALSE(a.overlaps(ofKind(E_BOUNDS_UNBOUNDED)));
    EXPECT_FALSE(ofKind(E_BOUNDS_UNBOUNDED).overlaps(ofKind(E_BOUNDS_UNBOUNDED)));
    EXPECT_FALSE(a.overlaps(ofKind(E_BOUNDS_EMPTY)));
}

TEST(BoundingVolume, MergeCoversBothSpheres) {
    ClBoundingVolume v = sphere(0, 0, 0, 1);
    v.merge(sphere(4, 0, 0, 1));
    EXPECT_FLOAT_EQ(v.centre.x, 2.0f);
    EXPECT_FLOAT_EQ(v.radius, 3.0f);

    ClBoundingVolume inner = sphere(0, 0, 0, 5);
    inner.merge(sphere(1, 0, 0, 1));  // already inside: unchanged
    EXPECT_FLOAT_EQ(inner.centre.x, 0.0f);
    EXPECT_FLOAT_EQ(inner.radius, 5.0f);

    ClBoundingVolume concentric = sphere(0, 0, 0, 1);
    concentric.merge(sphere(0.00005f, 0, 0, 3));
    EXPECT_FLOAT_EQ(concentric.centre.x, 0.0f);
    EXPECT_FLOAT_EQ(concentric.radius, 3.0f);
}

TEST(BoundingVolume, MergeWithEmptyAndUnboundedVolumes) {
    ClBoundingVolume empty;
    empty.merge(sphere(1, 2, 3, 4));
    EXPECT_EQ(empty.kind, E_BOUNDS_SPHERE);
    EXPECT_FLOAT_EQ(empty.radius, 4.0f);

    ClBoundingVolume s = sphere(1, 0, 0, 2);
    s.merge(ofKind(E_BOUNDS_UNBOUNDED));
    s.merge(ofKind(E_BOUNDS_EMPTY));
    EXPECT_EQ(s.kind, E_BOUNDS_SPHERE);
    EXPECT_FLOAT_EQ(s.radius, 2.0f);

    ClBoundingVolume all = ofKind(E_BOUNDS_UNBOUNDED);
    all.merge(sphere(0, 0, 0, 1));
    EXPECT_EQ(all.kind, E_BOUNDS_UNBOUNDED);

    ClBoundingVolume u;
    u.unionOf(sphere(0, 0, 0, 1), ofKind(E_BOUNDS_UNBOUNDED));
    EXPECT_EQ(u.kind, E_BOUNDS_UNBOUNDED);
    ClBoundingVolume a = sphere(0, 0, 0, 1);
    a.unionOf(sphere(0, 0, 4, 1), a);  // b aliasing this
    EXPECT_FLOAT_EQ(a.centre.z, 2.0f);
    EXPECT_FLOAT_EQ(a.radius, 3.0f);
}

TEST_F(BoundingVolumeFatal, NonSpheresAreRefusedWhereASphereIsRequired) {
    ClBoundingVolume v = ofKind(E_BOUNDS_EMPTY);
    EXPECT_THROW(v.transformSphere(ClMatrix44()), FatalThrown);
    ClBoundingVolume odd = ofKind(7);
    EXPECT_THROW(odd.merge(sphere(0, 0, 0, 1)), FatalThrown);

    ClBoundingVolumeList local;
    local.reset();
    local.setUnbounded();
    ClBoundingVolumeList world;
    EXPECT_THROW(world.sweepSpheres(local, ClMatrix44(), ClMatrix44()), FatalThrown);
    local.release();
    world.release();
}

TEST(BoundingVolume, TransformSphereMovesTheCentreOnly) {
    ClBoundingVolume v = sphere(1, 2, 3, 4);
    v.transformSphere(translation(10, 20, 30));
    EXPECT_FLOAT_EQ(v.centre.x, 11.0f);
    EXPECT_FLOAT_EQ(v.centre.y, 22.0f);
    EXPECT_FLOAT_EQ(v.centre.z, 33.0f);
    EXPECT_FLOAT_EQ(v.radius, 4.0f);
}

TEST(BoundingVolumeList, SweepSpheresRunsEachLocalSphereFromPreviousToCurrent) {
    const ClVec3 points[] = {ClVec3(-1, 0, 0), ClVec3(1, 0, 0)};
    ClBoundingVolumeList local;
    local.reset();
    local.addSphereFromPoints(2, points);
    local.push(SCollisionSphere{E_BOUNDS_SPHERE, 0.5f, ClVec3(5, 0, 0), ClVec3(5, 0, 0)});
    ASSERT_EQ(local.count(), 2u);
    EXPECT_EQ(local[0].kind, E_BOUNDS_SPHERE);
    EXPECT_FLOAT_EQ(local[0].radius, 1.0f);

    ClBoundingVolumeList world;
    world.sweepSpheres(local, translation(0, 0, 0), translation(0, 0, 10));
    world.sweepSpheres(local, translation(0, 0, 0), translation(0, 0, 10));  // refills, no growth
    ASSERT_EQ(world.count(), 2u);
    EXPECT_EQ(world[1].kind, E_BOUNDS_SWEPT_SPHERE);
    EXPECT_FLOAT_EQ(world[1].radius, 0.5f);
    EXPECT_FLOAT_EQ(world[1].start.x, 5.0f);
    EXPECT_FLOAT_EQ(world[1].start.z, 0.0f);
    EXPECT_FLOAT_EQ(world[1].end.x, 5.0f);
    EXPECT_FLOAT_EQ(world[1].end.z, 10.0f);

    world.setSegment(ClVec3(1, 0, 0), ClVec3(2, 0, 0), 3.0f);
    ASSERT_EQ(world.count(), 1u);
    EXPECT_EQ(world[0].kind, E_BOUNDS_SWEPT_SPHERE);
    EXPECT_FLOAT_EQ(world[0].end.x, 2.0f);
    world.setUnbounded();
    ASSERT_EQ(world.count(), 1u);
    EXPECT_EQ(world[0].kind, E_BOUNDS_UNBOUNDED);
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
        EXPECT_EQ(list[i].kind, E_BOUNDS_SPHERE);
        EXPECT_FLOAT_EQ(list[i].start.x, expected[i]);
        EXPECT_FLOAT_EQ(list[i].end.x, expected[i]);
        EXPECT_EQ(list[i].start.w, 0.0f);
    }
    // Length 8, radius 2.5: 1 + floor(8 / 5) = 2 spheres, even, so nothing on the end.
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(0, 0, 8), 2.5f);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_FLOAT_EQ(list[0].start.z, 2.5f);
    EXPECT_FLOAT_EQ(list[1].start.z, 7.5f);
    // A segment no longer than a diameter, and a radius of 0, give the two ends.
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(3, 0, 0), 2.0f);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_FLOAT_EQ(list[1].start.x, 3.0f);
    list.coverSegmentWithSpheres(ClVec3(0, 0, 0), ClVec3(3, 0, 0), 0.0f);
    ASSERT_EQ(list.count(), 2u);
    list.release();
}

TEST(BoundingVolumeList, PushGrowsPastItsFirstRoom) {
    ClBoundingVolumeList list;
    list.reset();
    for (u32 i = 0; i < 20; ++i)
        list.push(SCollisionSphere{E_BOUNDS_SPHERE, f32(i), ClVec3(f32(i), 0, 0), ClVec3(f32(i), 0, 0)});
    ASSERT_EQ(list.count(), 20u);
    for (u32 i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(list[i].radius, f32(i));
    list.reset();
    EXPECT_EQ(list.count(), 0u);
    list.release();
}
