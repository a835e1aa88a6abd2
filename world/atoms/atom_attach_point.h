// The invisible anchor point of a node: found by name or index, follows its node's world frame,
// never drawn, never in node bounds and never colliding.
#pragma once

#include "world/atoms/atom.h"

class alignas(16) ClAtom_InvisibleAttachPt : public ClAtom {
public:
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void draw() override {}
    // Both boxes unbounded, which node bounds leave out and which never overlap.
    void computeWorldBounds() override;
    void rebuildCollisionShape() override;
};
