#include <gtest/gtest.h>

#include "world/collision/swept_contact.h"

namespace {

SCollisionSphere swept(ClVec3 start, ClVec3 end, f32 radius) {
    return SCollisionSphere{E_BOUNDS_SWEPT_SPHERE, radius, start, end};
}

}  // namespace

TEST(SweptContact, FastSphereHitsAtItsEntryTimeNotAtTheEndOfTheStep) {
    const SCollisionSphere bullet = swept(ClVec3(-100, 0, 0), ClVec3(100, 0, 0), 1.0f);
    const SCollisionSphere target = swept(ClVec3(0, 0, 0), ClVec3(0, 0, 0), 2.0f);
    SSweptContact contact{};
    ASSERT_TRUE(findSweptContact(bullet, target, &contact));
    EXPECT_FLOAT_EQ(contact.time, 97.0f / 200.0f);
    EXPECT_FLOAT_EQ(contact.point.x, -2.0f);  // the bullet's front, facing the target
    EXPECT_FLOAT_EQ(contact.normal.x, 1.0f);
    EXPECT_FALSE(findSweptContact(swept(ClVec3(-100, 3, 0), ClVec3(100, 3, 0), 1.0f), target, &contact))
        << "a pass at exactly the sum of the radii only touches";
}

TEST(SweptContact, SpheresWithoutRelativeMotionMeetOnlyWhenStrictlyOverlapping) {
    const SCollisionSphere still = swept(ClVec3(10, 0, 0), ClVec3(10, 0, 0), 1.0f);
    SSweptContact contact{};
    ASSERT_TRUE(findSweptContact(still, swept(ClVec3(12, 0, 0), ClVec3(12, 0, 0), 1.5f), &contact));
    EXPECT_EQ(contact.time, 1.0f);
    EXPECT_EQ(contact.point.x, 11.0f);
    EXPECT_EQ(contact.normal.x, 1.0f);
    EXPECT_FALSE(findSweptContact(still, swept(ClVec3(12, 0, 0), ClVec3(12, 0, 0), 1.0f), &contact));
    // Moving side by side counts as still.
    EXPECT_TRUE(findSweptContact(swept(ClVec3(0, 0, 0), ClVec3(5, 0, 0), 1.0f),
                                 swept(ClVec3(1, 0, 0), ClVec3(6, 0, 0), 1.0f), &contact));
}

TEST(SweptContact, OverlapFromBeforeTheStepCountsOnlyWhileItLastsAndLateEntryNotAtAll) {
    const SCollisionSphere target = swept(ClVec3(0, 0, 0), ClVec3(0, 0, 0), 1.0f);
    SSweptContact contact{};
    EXPECT_TRUE(findSweptContact(swept(ClVec3(1, 0, 0), ClVec3(1.5f, 0, 0), 1.0f), target, &contact));
    EXPECT_EQ(contact.time, 1.0f);
    EXPECT_FALSE(findSweptContact(swept(ClVec3(1, 0, 0), ClVec3(3, 0, 0), 1.0f), target, &contact));
    EXPECT_FALSE(findSweptContact(swept(ClVec3(10, 0, 0), ClVec3(5, 0, 0), 1.0f), target, &contact))
        << "it would enter after the end of the step";
}
