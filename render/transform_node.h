// Placement records of things that move in 3D (cameras, particle anchors, lent effect nodes) and the
// push of a node's world matrix on the transform stacks.
#pragma once

#include "core/matrix33.h"
#include "core/types.h"
#include "core/vec.h"

struct STransformNode {
    // World block. Orientation rows in the row-vector convention: a direction d in the node's
    // frame is d x orientation in the world.
    ClMatrix33 orientation;
    ClVec3 position;
    ClVec3 scale = ClVec3(1.0f, 1.0f, 1.0f);
    // Relative block, used only with a parent.
    ClMatrix33 relativeOrientation;
    ClVec3 offset;
    STransformNode* parent = nullptr;

    // With a parent, the offset becomes position - parent position, then the world block is
    // recomputed.
    void setPosition(const ClVec3& worldPosition);
    // With a parent, the relative orientation becomes worldOrientation x the parent's inverse.
    void setOrientation(const ClMatrix33& worldOrientation);
    // With a parent: position = parent position + offset (the offset is not turned by the
    // parent), orientation = relative x parent orientation. Without one the relative block
    // returns to identity and zero.
    void updateWorld();
};

// Pushes orientation x diag(scale) with the position as translation on the world stack (so a
// point is rotated, then scaled), and the unscaled orientation and position on the texture stack.
void pushNodeWorldTransform(const STransformNode& node);
// Pops both stacks again.
void popNodeWorldTransform();
