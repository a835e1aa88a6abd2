#include "render/render_worker.h"
#include "render/transform_node.h"
#include "render/transform_stacks.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

// Rows in the row-vector convention: x turns into y.
ClMatrix33 quarterTurnAboutZ() {
    ClMatrix33 m;
    m.setZero();
    for (auto [row, column, value] : {std::tuple{0, 1, 1.0f}, {1, 0, -1.0f}, {2, 2, 1.0f}}) m.set(row, column, value);
    return m;
}

void expectNear(const ClVec3& v, f32 x, f32 y, f32 z) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

void expectIdentity(const ClMatrix33& m) {
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) EXPECT_NEAR(row == column ? 1.0f : 0.0f, m.at(row, column), 1e-6f);
}

TEST(TransformNode, AChildKeepsItsUnturnedOffsetFromARotatedParent) {
    STransformNode parent;
    parent.position = ClVec3(10.0f, 0.0f, 0.0f);
    parent.orientation = quarterTurnAboutZ();
    STransformNode child;
    child.parent = &parent;
    child.setPosition(ClVec3(11.0f, 2.0f, 0.0f));
    expectNear(child.offset, 1.0f, 2.0f, 0.0f);

    parent.position = ClVec3(0.0f, 5.0f, 0.0f);
    child.updateWorld();
    expectNear(child.position, 1.0f, 7.0f, 0.0f);

    child.setOrientation(parent.orientation);
    expectIdentity(child.relativeOrientation);
    parent.orientation = ClMatrix33();
    child.updateWorld();
    expectIdentity(child.orientation);
}

TEST(TransformNode, ARootOnlyResetsItsRelativeBlock) {
    STransformNode root;
    root.position = ClVec3(3.0f, 4.0f, 5.0f);
    root.orientation = quarterTurnAboutZ();
    root.offset = ClVec3(1.0f, 1.0f, 1.0f);
    root.relativeOrientation = quarterTurnAboutZ();
    root.updateWorld();
    expectNear(root.position, 3.0f, 4.0f, 5.0f);
    expectNear(root.orientation.getRow(0), 0.0f, 1.0f, 0.0f);
    expectNear(root.offset, 0.0f, 0.0f, 0.0f);
    expectIdentity(root.relativeOrientation);
}

TEST(TransformNode, TheWorldPushScalesAfterRotatingAndTheTexturePushIsUnscaled) {
    resetTransformStacks();
    STransformNode node;
    node.orientation = quarterTurnAboutZ();
    node.position = ClVec3(100.0f, 0.0f, 0.0f);
    node.scale = ClVec3(2.0f, 3.0f, 1.0f);
    pushNodeWorldTransform(node);
    ClMatrix44 world, texture;
    getDeviceTransform(E_TRANSFORM_WORLD, &world);
    getDeviceTransform(E_TRANSFORM_TEXTURE0, &texture);
    // (1, 0, 0) turns into (0, 1, 0), which the y scale of 3 then stretches.
    expectNear(world.transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f)), 100.0f, 3.0f, 0.0f);
    expectNear(texture.transformPoint(ClVec3(1.0f, 0.0f, 0.0f, 1.0f)), 100.0f, 1.0f, 0.0f);

    popNodeWorldTransform();
    EXPECT_EQ(std::make_pair(0u, 0u), std::make_pair(transformStackDepth(E_TRANSFORM_WORLD), transformStackDepth(E_TRANSFORM_TEXTURE0)));
}

// With flip index 0 the main thread fills half 1 and the worker's scene clears half 0.
TEST(AttachedNodeLists, TheFilledHalfIsUpdatedByMaskAndClearedByHalf) {
    resetRenderFlipIndex();
    initAttachedNodeLists(2);
    STransformNode node;
    node.offset = ClVec3(0.0f, 1.0f, 0.0f);
    node.relativeOrientation = quarterTurnAboutZ();
    STransformNode* nodes[] = {&node};
    SAttachedNodeObject followed;
    std::tie(followed.world.position, followed.world.scale, followed.nodes, followed.nodeCount) =
        std::tuple(ClVec3(5.0f, 0.0f, 0.0f), ClVec3(2.0f, 2.0f, 2.0f), nodes, 1u);
    SAttachedNodeObject ignored = followed;
    ignored.world.position = ClVec3(-50.0f, 0.0f, 0.0f);

    EXPECT_EQ((std::vector<int>{1, 1, 0}), (std::vector<int>{addAttachedNodeObject(&ignored, 4), addAttachedNodeObject(&followed, 2), addAttachedNodeObject(&followed, 2)}));
    EXPECT_EQ(std::make_pair(2u, 0u), std::make_pair(attachedNodeCount(1), attachedNodeCount(0)));

    updateAttachedNodeLists(3);
    expectNear(node.position, 5.0f, 1.0f, 0.0f);
    expectNear(node.orientation.getRow(0), 0.0f, 1.0f, 0.0f);
    expectNear(node.scale, 2.0f, 2.0f, 2.0f);

    clearAttachedNodeList();
    const u32 afterClearingTheWorkersHalf = attachedNodeCount(1);
    clearAttachedNodeListHalf(1);
    EXPECT_EQ(std::make_pair(2u, 0u), std::make_pair(afterClearingTheWorkersHalf, attachedNodeCount(1)));
    releaseAttachedNodeLists();
    EXPECT_EQ(0, addAttachedNodeObject(&followed, 2));
}

}  // namespace
