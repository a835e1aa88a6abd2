// An invisible anchor: a named point on a node that follows the node's world frame. Weapon mounts,
// emitter anchors and position-type points are found by name or index; it never draws, never
// collides and stays out of node bounds.
#pragma once

#include "world/atoms/atom.h"

class ClAtom_InvisibleAttachPt final : public ClAtom {
public:
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void draw() override {}
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;
};
