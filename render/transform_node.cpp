#include "render/transform_node.h"

#include "core/matrix44.h"
#include "render/transform_stacks.h"

namespace {

ClMatrix33 transposed(const ClMatrix33& m) {
    ClMatrix33 t;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) t.set(row, column, m.at(column, row));
    return t;
}

ClMatrix44 worldMatrixOf(const ClMatrix33& orientation, const ClVec3& position, const ClVec3& scale) {
    const f32 scales[3] = {scale.x, scale.y, scale.z};
    ClMatrix44 m;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) m.m[4 * row + column] = orientation.at(row, column) * scales[column];
        m.m[4 * row + 3] = 0.0f;
    }
    m.setTranslationXYZ(position.x, position.y, position.z);
    m.m[15] = 1.0f;
    return m;
}

}  // namespace

void STransformNode::setPosition(const ClVec3& worldPosition) {
    if (!parent) {
        position = worldPosition;
        return;
    }
    offset = worldPosition - parent->position;
    updateWorld();
}

void STransformNode::setOrientation(const ClMatrix33& worldOrientation) {
    if (!parent) {
        orientation = worldOrientation;
        return;
    }
    relativeOrientation = worldOrientation.multiply(transposed(parent->orientation));
    updateWorld();
}

void STransformNode::updateWorld() {
    if (!parent) {
        relativeOrientation = ClMatrix33();
        offset = ClVec3();
        return;
    }
    position = parent->position + offset;
    orientation = relativeOrientation.multiply(parent->orientation);
}

void pushNodeWorldTransform(const STransformNode& node) {
    pushTransform(E_TRANSFORM_WORLD, worldMatrixOf(node.orientation, node.position, node.scale));
    pushTransform(E_TRANSFORM_TEXTURE0, worldMatrixOf(node.orientation, node.position, ClVec3(1.0f, 1.0f, 1.0f)));
}

void popNodeWorldTransform() {
    popTransform(E_TRANSFORM_WORLD);
    popTransform(E_TRANSFORM_TEXTURE0);
}
