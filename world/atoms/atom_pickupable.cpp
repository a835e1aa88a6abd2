#include "world/atoms/atom_pickupable.h"

namespace {

ClVec3 groundPosition(const ClMatrix44& matrix) {
    ClVec3 position = matrix.getTranslation();
    position.y = 0.0f;
    return position;
}

}  // namespace

void ClAtom_Pickupable::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_PICKUPABLE;
}

void ClAtom_Pickupable::computeWorldBounds() {
    ClBoundingVolume& box = worldBox[g_uFrameCurrent];
    box.kind = E_BOUNDS_SPHERE;
    box.centre = groundPosition(worldMatrix[g_uFrameCurrent]);
    box.radius = PICKUP_COLLISION_RADIUS;
    if (!boundsValid) {
        ClBoundingVolume& previous = worldBox[g_uFramePrevious];
        previous = box;
        previous.centre = groundPosition(worldMatrix[g_uFramePrevious]);
        boundsValid = 1;
    }
}

void ClAtom_Pickupable::rebuildCollisionShape() {
    collisionShape.setSegment(groundPosition(worldMatrix[g_uFramePrevious]),
                              groundPosition(worldMatrix[g_uFrameCurrent]), PICKUP_COLLISION_RADIUS);
    collisionShapeDirty = 0;
}
