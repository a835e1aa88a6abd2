#include "render/camera.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/transform_stacks.h"
#include "tests/support/vec_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using test_support::vecText;

ClMatrix44 translation(f32 x, f32 y, f32 z) {
    ClMatrix44 m;
    m.setTranslationXYZ(x, y, z);
    return m;
}

// p x m, divided by w.
ClVec3 project(const ClMatrix44& m, f32 x, f32 y, f32 z) {
    const ClVec3 p = m.transformPoint(ClVec3(x, y, z, 1.0f));
    return ClVec3(p.x / p.w, p.y / p.w, p.z / p.w, 1.0f);
}

ClMatrix44 applied(u32 type) {
    ClMatrix44 m;
    getDeviceTransform(type, &m);
    return m;
}

class TransformStacks : public ::testing::Test {
protected:
    void SetUp() override {
        resetTransformStacks();
        setScreenSize(1280.0f, 720.0f);
        setRenderTarget(nullptr);
    }
};

TEST_F(TransformStacks, LaterPushesPutTheChildBeforeItsParentAndTheLastPopAppliesTheIdentity) {
    ClMatrix44 parent;
    parent.setRotationAxisAngle(ClVec3(0.0f, 0.0f, 1.0f), 1.5707964f);
    pushTransform(E_TRANSFORM_WORLD, parent, false);
    EXPECT_EQ(0, std::memcmp(transformStackTop(E_TRANSFORM_WORLD).m, parent.m, sizeof parent.m));

    // Not applied to the device by that push; the child's translation is turned by the parent's
    // rotation.
    const ClVec3 notApplied = applied(E_TRANSFORM_WORLD).transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f));
    pushTransform(E_TRANSFORM_WORLD, translation(1.0f, 0.0f, 0.0f), true);
    const ClVec3 child = applied(E_TRANSFORM_WORLD).transformPoint(ClVec3(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(2u, transformStackDepth(E_TRANSFORM_WORLD));
    popTransform(E_TRANSFORM_WORLD, true);
    const ClVec3 parentAlone = applied(E_TRANSFORM_WORLD).transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f));
    popTransform(E_TRANSFORM_WORLD, true);
    EXPECT_EQ(vecText({notApplied}, 1e-5f), "(1 0 0)");
    EXPECT_EQ(vecText({child}, 1e-5f), "(0 1 0)");
    EXPECT_EQ(vecText({parentAlone}, 1e-5f), "(0 1 0)");
    EXPECT_EQ(0, std::memcmp(applied(E_TRANSFORM_WORLD).m, ClMatrix44().m, sizeof parent.m));
}

TEST(TransformStacksDeathTest, OverflowAndUnderflowStopTheProgram) {
    resetTransformStacks();
    EXPECT_EXIT(for (u32 i = 0; i <= TRANSFORM_STACK_DEPTH; ++i) pushTransform(E_TRANSFORM_WORLD, ClMatrix44(), false),
                ::testing::ExitedWithCode(3), "the world transform stack overflows");
    EXPECT_EXIT(popTransform(E_TRANSFORM_TEXTURE0, true), ::testing::ExitedWithCode(3), "the texture transform stack underflows");
}

TEST_F(TransformStacks, TheOrthoProjectionCoversTheScreenAndTheTwoDimensionalDepthRange) {
    pushTransform(E_TRANSFORM_PROJECTION, translation(100.0f, 0.0f, 0.0f), true);
    pushOrthoProjection(1280.0f, 720.0f);
    const ClMatrix44 projection = applied(E_TRANSFORM_PROJECTION);
    EXPECT_EQ(vecText({project(projection, 0.0f, 0.0f, -4000.0f)}, 1e-5f), "(-1 1 0)") << "top left, nearest";
    EXPECT_EQ(vecText({project(projection, 1280.0f, 720.0f, 4000.0f)}, 1e-5f), "(1 -1 1)") << "bottom right, farthest";
    EXPECT_EQ(vecText({project(projection, 640.0f, 360.0f, 0.0f)}, 1e-5f), "(0 0 0.5)") << "centre";
    EXPECT_EQ(1u, transformStackDepth(E_TRANSFORM_VIEW));
}

TEST_F(TransformStacks, PerspectivesPutNearAtDepthZeroAndFarAtOne) {
    ClMatrix44 perspective;
    buildProjectionMatrix(&perspective, SProjectionParams{90.0f, 1.0f, 100.0f});
    // A 90 degree field of view on a 16:9 target reaches x = 16/9 of the distance.
    EXPECT_EQ(vecText({project(perspective, 0.0f, 1.0f, 1.0f)}, 1e-5f), "(0 1 0)") << "near";
    EXPECT_EQ(vecText({project(perspective, 177.77778f, 0.0f, 100.0f)}, 1e-5f), "(1 0 1)") << "far";

    // The off-centre window is one unit wide, 1/aspect high, shifted by the offsets, in front of
    // a view that looks along -z.
    pushOffCentreProjection(SProjectionParams{0.0f, 2.0f, 50.0f}, 0.25f, 0.1f);
    const ClMatrix44 offCentre = applied(E_TRANSFORM_PROJECTION);
    const f32 top = 0.5f / 1.7777778f - 0.1f;
    EXPECT_EQ(vecText({project(offCentre, -0.75f, top, -2.0f)}, 1e-5f), "(-1 1 0)") << "near top left";
    EXPECT_EQ(vecText({project(offCentre, 0.25f * 25.0f, (-0.5f / 1.7777778f - 0.1f) * 25.0f, -50.0f)}, 1e-5f), "(1 -1 1)")
        << "far bottom right";
}

// The preview pass's view and projection: what lies in front of the preview camera lands inside
// the picture, the right side on the right, and what lies behind it has a negative w.
TEST_F(TransformStacks, ThePreviewProjectionSeesWhatIsInFrontOfItsCamera) {
    ClCamera camera;
    camera.setPositionLookingAt(ClVec3(0.0f, 0.0f, 10.0f), ClVec3(0.0f, 0.0f, 0.0f));
    ClMatrix44 view;
    camera.getViewMatrix(&view);
    const ClMatrix44 viewProjection =
        view.multiply(makeOffCentreProjection(SProjectionParams{0.0f, 1.0f, 100.0f}, 0.0f, 0.0f, 1.0f));

    const ClVec3 centre = viewProjection.transformPoint(ClVec3(0.0f, 0.0f, 0.0f, 1.0f));
    const ClVec3 right = viewProjection.transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f));
    const ClVec3 up = viewProjection.transformPoint(ClVec3(0.0f, 1.0f, 0.0f, 1.0f));
    const ClVec3 behind = viewProjection.transformPoint(ClVec3(0.0f, 0.0f, 20.0f, 1.0f));
    EXPECT_NEAR(centre.w, 10.0f, 1e-4f);
    EXPECT_NEAR(centre.x / centre.w, 0.0f, 1e-5f);
    EXPECT_NEAR(centre.y / centre.w, 0.0f, 1e-5f);
    EXPECT_GT(centre.z / centre.w, 0.0f);
    EXPECT_LT(centre.z / centre.w, 1.0f);
    // Unit window at near 1: one unit aside at distance 10 is a fifth of the half-width out.
    EXPECT_NEAR(right.x / right.w, 0.2f, 1e-5f);
    EXPECT_NEAR(up.y / up.w, 0.2f, 1e-5f);
    EXPECT_LT(behind.w, 0.0f);
}

}  // namespace
