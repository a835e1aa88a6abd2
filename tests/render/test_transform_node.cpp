#include "render/transform_node.h"
#include "render/transform_stacks.h"
#include "tests/support/vec_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using test_support::vecText;

// Rows in the row-vector convention: x turns into y.
ClMatrix33 quarterTurnAboutZ() {
    ClMatrix33 m;
    m.setColumns(ClVec3(0.0f, -1.0f, 0.0f), ClVec3(1.0f, 0.0f, 0.0f), ClVec3(0.0f, 0.0f, 1.0f));
    return m;
}

ClVec3 rowOf(const ClMatrix33& m, int row) { return ClVec3(m.at(row, 0), m.at(row, 1), m.at(row, 2), 0.0f); }

// The rows of a 3x3 matrix.
std::string rows(const ClMatrix33& m) { return vecText({rowOf(m, 0), rowOf(m, 1), rowOf(m, 2)}, 1e-6f); }
const std::string kIdentityRows = "(1 0 0) (0 1 0) (0 0 1)";

TEST(TransformNode, AChildKeepsItsUnturnedOffsetFromARotatedParent) {
    STransformNode parent;
    parent.position = ClVec3(10.0f, 0.0f, 0.0f);
    parent.orientation = quarterTurnAboutZ();
    STransformNode child;
    child.parent = &parent;
    child.setPosition(ClVec3(11.0f, 2.0f, 0.0f));
    const ClVec3 offset = child.offset;
    parent.position = ClVec3(0.0f, 5.0f, 0.0f);
    child.updateWorld();
    EXPECT_EQ(vecText({offset}, 1e-5f), "(1 2 0)");
    EXPECT_EQ(vecText({child.position}, 1e-5f), "(1 7 0)");

    child.setOrientation(parent.orientation);
    const std::string relative = rows(child.relativeOrientation);
    parent.orientation = ClMatrix33();
    child.updateWorld();
    EXPECT_EQ(relative, kIdentityRows);
    EXPECT_EQ(rows(child.orientation), kIdentityRows);
}

TEST(TransformNode, ARootOnlyResetsItsRelativeBlock) {
    STransformNode root;
    root.position = ClVec3(3.0f, 4.0f, 5.0f);
    root.orientation = quarterTurnAboutZ();
    root.offset = ClVec3(1.0f, 1.0f, 1.0f);
    root.relativeOrientation = quarterTurnAboutZ();
    root.updateWorld();
    EXPECT_EQ(vecText({root.position}, 1e-5f), "(3 4 5)");
    EXPECT_EQ(vecText({rowOf(root.orientation, 0)}, 1e-5f), "(0 1 0)");
    EXPECT_EQ(vecText({root.offset}, 1e-5f), "(0 0 0)");
    EXPECT_EQ(rows(root.relativeOrientation), kIdentityRows);
}

TEST(TransformNode, TheWorldPushScalesAfterRotatingAndTheTexturePushIsUnscaled) {
    resetTransformStacks();
    STransformNode node;
    node.orientation = quarterTurnAboutZ();
    node.position = ClVec3(100.0f, 0.0f, 0.0f);
    node.scale = ClVec3(2.0f, 3.0f, 1.0f);
    pushNodeWorldTransform(node);
    const ClMatrix44 world = transformStackTop(E_TRANSFORM_WORLD);
    const ClMatrix44 texture = transformStackTop(E_TRANSFORM_TEXTURE0);
    // (1, 0, 0) turns into (0, 1, 0), which the y scale of 3 then stretches.
    const ClVec3 x(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(vecText({world.transformPoint(x)}, 1e-5f), "(100 3 0)");
    EXPECT_EQ(vecText({texture.transformPoint(x)}, 1e-5f), "(100 1 0)");

    popNodeWorldTransform();
    EXPECT_EQ(0, std::memcmp(transformStackTop(E_TRANSFORM_WORLD).m, ClMatrix44().m, sizeof world.m));
    EXPECT_EQ(0, std::memcmp(transformStackTop(E_TRANSFORM_TEXTURE0).m, ClMatrix44().m, sizeof world.m));
}

}  // namespace
