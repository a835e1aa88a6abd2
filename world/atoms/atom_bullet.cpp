#include "world/atoms/atom_bullet.h"

#include "world/entity/entity_node.h"

void ClAtom_Bullet::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    paramsRead = 0;
    collisionRadius = 0.0f;
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BULLET;
}

void ClAtom_Bullet::readParams() {
    paramsRead = 1;
    const SParamValue* radius = node ? node->params.find("BullRad") : nullptr;
    collisionRadius = radius && radius->type == E_PARAM_FLOAT ? radius->real : 0.0f;
}

void ClAtom_Bullet::computeWorldBounds() {
    if (!paramsRead) readParams();
    ClBoundingVolume& box = worldBox[g_uFrameCurrent];
    box.kind = E_BOUNDS_SPHERE;
    box.centre = worldMatrix[g_uFrameCurrent].getTranslation();
    box.radius = collisionRadius;
    if (!boundsValid) {
        worldBox[g_uFramePrevious] = box;
        boundsValid = 1;
    }
}

void ClAtom_Bullet::rebuildCollisionShape() {
    if (!paramsRead) readParams();
    collisionShape.setSegment(worldMatrix[g_uFramePrevious].getTranslation(),
                              worldMatrix[g_uFrameCurrent].getTranslation(), collisionRadius);
    collisionShapeDirty = 0;
}
