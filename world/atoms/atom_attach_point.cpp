#include "world/atoms/atom_attach_point.h"

void ClAtom_InvisibleAttachPt::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_ATTACH_POINT;
}

void ClAtom_InvisibleAttachPt::computeWorldBounds() {
    boundsValid = 1;
    worldBox[0].kind = E_BOUNDS_UNBOUNDED;
    worldBox[1].kind = E_BOUNDS_UNBOUNDED;
}

void ClAtom_InvisibleAttachPt::rebuildCollisionShape() {
    collisionShape.setUnbounded();
    collisionShapeDirty = 0;
}
