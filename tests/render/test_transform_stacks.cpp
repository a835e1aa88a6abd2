#include "render/camera.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/transform_stacks.h"
#include "tests/support/vec_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using test_support::vecText;

class TransformStacks : public ::testing::Test {
protected:
    void SetUp() override {
        resetTransformStacks();
        setScreenSize(1280.0f, 720.0f);
        setRenderTarget(nullptr);
    }
};

TEST_F(TransformStacks, LaterPushesPutTheChildBeforeItsParentAndTheLastPopLeavesTheIdentity) {
    ClMatrix44 parent;
    parent.setRotationAxisAngle(ClVec3(0.0f, 0.0f, 1.0f), 1.5707964f);
    pushTransform(E_TRANSFORM_WORLD, parent);
    EXPECT_EQ(0, std::memcmp(transformStackTop(E_TRANSFORM_WORLD).m, parent.m, sizeof parent.m));

    // The child's translation is turned by the parent's rotation.
    ClMatrix44 offset;
    offset.setTranslationXYZ(1.0f, 0.0f, 0.0f);
    pushTransform(E_TRANSFORM_WORLD, offset);
    const ClVec3 child = transformStackTop(E_TRANSFORM_WORLD).transformPoint(ClVec3(0.0f, 0.0f, 0.0f, 1.0f));
    popTransform(E_TRANSFORM_WORLD);
    const ClVec3 parentAlone = transformStackTop(E_TRANSFORM_WORLD).transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f));
    popTransform(E_TRANSFORM_WORLD);
    EXPECT_EQ(vecText({child}, 1e-5f), "(0 1 0)");
    EXPECT_EQ(vecText({parentAlone}, 1e-5f), "(0 1 0)");
    EXPECT_EQ(0, std::memcmp(transformStackTop(E_TRANSFORM_WORLD).m, ClMatrix44().m, sizeof parent.m));
}

TEST(TransformStacksDeathTest, OverflowAndUnderflowStopTheProgram) {
    resetTransformStacks();
    EXPECT_EXIT(for (u32 i = 0; i <= TRANSFORM_STACK_DEPTH; ++i) pushTransform(E_TRANSFORM_WORLD, ClMatrix44()),
                ::testing::ExitedWithCode(3), "the world transform stack overflows");
    EXPECT_EXIT(popTransform(E_TRANSFORM_TEXTURE0), ::testing::ExitedWithCode(3), "the texture transform stack underflows");
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
