// The collectible the player's ship picks up. So far it has its box and collision sphere, both
// at height 0; its looks are drawn elsewhere.
#pragma once

#include "world/atoms/atom.h"

constexpr f32 PICKUP_COLLISION_RADIUS = 15.0f;

class alignas(16) ClAtom_Pickupable : public ClAtom {
public:
    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void draw() override {}
    // A sphere of radius 15 at the world position with y = 0; the first time also the previous
    // box.
    void computeWorldBounds() override;
    // One sphere of radius 15 swept from the previous to the current world position, both at
    // y = 0.
    void rebuildCollisionShape() override;
};
