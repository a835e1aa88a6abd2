#include "render/transform_node.h"

#include "core/matrix44.h"
#include "render/render_worker.h"
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

struct SAttachedNodeRecord {
    SAttachedNodeObject* object;
    u32 flagMask;
};

struct SAttachedNodeList {
    SAttachedNodeRecord* records = nullptr;
    u32 count = 0;
};

struct SAttachedNodeLists {
    bool initialised = false;
    u32 capacity = 0;
    SAttachedNodeList halves[2];
};

SAttachedNodeLists g_AttachedNodeLists;

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
    pushTransform(E_TRANSFORM_WORLD, worldMatrixOf(node.orientation, node.position, node.scale), true);
    pushTransform(E_TRANSFORM_TEXTURE0, worldMatrixOf(node.orientation, node.position, ClVec3(1.0f, 1.0f, 1.0f)), true);
}

void popNodeWorldTransform() {
    popTransform(E_TRANSFORM_WORLD, true);
    popTransform(E_TRANSFORM_TEXTURE0, true);
}

void updateAttachedNodes(SAttachedNodeObject* object) {
    const STransformNode& world = object->world;
    for (u32 i = 0; i < object->nodeCount; ++i) {
        STransformNode* node = object->nodes[i];
        node->setPosition(world.position + node->offset);
        node->setOrientation(node->relativeOrientation.multiply(world.orientation));
        node->scale = world.scale;
    }
}

void initAttachedNodeLists(u32 capacity) {
    SAttachedNodeLists& lists = g_AttachedNodeLists;
    if (lists.initialised) return;
    lists.capacity = capacity;
    for (SAttachedNodeList& list : lists.halves) {
        list.records = new SAttachedNodeRecord[capacity];
        list.count = 0;
    }
    lists.initialised = true;
}

void releaseAttachedNodeLists() {
    SAttachedNodeLists& lists = g_AttachedNodeLists;
    if (!lists.initialised) return;
    lists.initialised = false;
    for (SAttachedNodeList& list : lists.halves) {
        delete[] list.records;
        list.records = nullptr;
        list.count = 0;
    }
    lists.capacity = 0;
}

s32 addAttachedNodeObject(SAttachedNodeObject* object, u32 flagMask) {
    SAttachedNodeLists& lists = g_AttachedNodeLists;
    if (!lists.initialised) return 0;
    SAttachedNodeList& list = lists.halves[1u - renderFlipIndex()];
    if (list.count == lists.capacity) return 0;
    list.records[list.count++] = SAttachedNodeRecord{object, flagMask};
    return 1;
}

void clearAttachedNodeList() {
    if (g_AttachedNodeLists.initialised) g_AttachedNodeLists.halves[renderFlipIndex()].count = 0;
}

void clearAttachedNodeListHalf(u32 half) {
    if (g_AttachedNodeLists.initialised) g_AttachedNodeLists.halves[half & 1u].count = 0;
}

void updateAttachedNodeLists(u32 mask) {
    if (!g_AttachedNodeLists.initialised) return;
    const SAttachedNodeList& list = g_AttachedNodeLists.halves[1u - renderFlipIndex()];
    for (u32 i = 0; i < list.count; ++i)
        if (list.records[i].flagMask & mask) updateAttachedNodes(list.records[i].object);
}

u32 attachedNodeCount(u32 half) {
    return g_AttachedNodeLists.initialised ? g_AttachedNodeLists.halves[half & 1u].count : 0u;
}
