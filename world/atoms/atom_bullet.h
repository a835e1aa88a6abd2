// The ordinary bullet: no mesh, its world position alone places it. So far it has its box and
// its swept collision sphere; its looks are drawn elsewhere.
#pragma once

#include "world/atoms/atom.h"

class alignas(16) ClAtom_Bullet : public ClAtom {
public:
    f32 collisionRadius = 0.0f;  // "BullRad" of the bullet's node, read on the first bounds
    u32 paramsRead = 0;

    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void draw() override {}
    // A sphere of the collision radius at the world position; the first time also the previous
    // box, at the current position.
    void computeWorldBounds() override;
    // One sphere of the collision radius swept from the previous to the current world position.
    void rebuildCollisionShape() override;

private:
    void readParams();
};
