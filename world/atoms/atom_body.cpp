#include "world/atoms/atom_body.h"

#include "render/geometry_mesh.h"

void ClAtom_Body::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BODY;
    colourPulse = 0;
}

void ClAtom_Body::computeWorldBounds() {
    const u32 current = g_uFrameCurrent;
    const u32 previous = g_uFramePrevious;
    if (!geometry || geometry->boundingSphere.kind != E_BOUNDS_SPHERE) {
        worldBox[current].clear();
        if (!boundsValid) worldBox[previous].clear();
        boundsValid = 1;
        return;
    }
    worldBox[current] = geometry->boundingSphere;
    worldBox[current].transformSphere(worldMatrix[current]);
    if (!boundsValid) {
        worldBox[previous] = geometry->boundingSphere;
        worldBox[previous].transformSphere(worldMatrix[previous]);
        boundsValid = 1;
    }
}

void ClAtom_Body::rebuildCollisionShape() {
    if (geometry)
        collisionShape.sweepSpheres(geometry->boundingVolumes, worldMatrix[g_uFramePrevious],
                                    worldMatrix[g_uFrameCurrent]);
    else
        collisionShape.reset();
    collisionShapeDirty = 0;
}
