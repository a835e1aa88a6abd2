// What the collision pass hands to the contact handlers: one contact between two atoms within
// the game step, and the impacts the handlers leave for the blast pass.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClAtom;

struct SContact {
    ClVec3 point;
    ClVec3 normal;  // unit length when it could be normalised
    f32 time;       // of impact, 0 to 1 within the step
    ClAtom* first;  // of the entity that stands earlier in the activated list
    ClAtom* second;
};

// A blast at a hit: pushes the debris spawned in the same step.
struct SImpact {
    ClVec3 position;
    ClVec3 direction;  // the velocity the blast lends the debris
    f32 radius;
    f32 strength;
};

using ContactHandler = void (*)(const SContact& contact);
