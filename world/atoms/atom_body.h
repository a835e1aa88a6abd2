// The mesh body of ships, enemies and bosses. So far it places its mesh's sphere and collision
// spheres in the world and carries what the timed effects act on; its looks are drawn elsewhere.
#pragma once

#include "core/colour_animator.h"
#include "world/atoms/atom.h"

class alignas(16) ClAtom_Body : public ClAtom {
public:
    u32 colourPulse = 0;  // set while a colour-fade effect runs
    SColourAnimator colourAnimator;
    const SColourAnimator* triangleColour = nullptr;  // an entry of the bar colour scheme

    void init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) override;
    void draw() override {}
    // The mesh's sphere moved by the world matrix; without a mesh (or an empty
    // one) the box stays empty.
    void computeWorldBounds() override;
    // The mesh's collision spheres swept from the previous to the current world matrix.
    void rebuildCollisionShape() override;
};
