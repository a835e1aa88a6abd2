// What the particle systems read of the game world, kept here with defaults and set from above
// through the setters: the world sets the FX colours and the smoothed music level each frame,
// and the front end's particle set-up and mirror lake set the physics block.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// Packed ARGB colours of the current colour scheme that the FX explosions and flashes use.
struct SParticleFxColours {
    u32 explosion;
    u32 firstFlash;
    u32 secondFlash;
};

// Accelerations A and B (added together; their sum points down) and the upward bias of blasts.
struct SParticlePhysics {
    ClVec3 accelerationA;
    ClVec3 accelerationB;
    f32 blastUpwardBias;
};

// Colour-scheme preset 0's values until the world sets the current scheme's.
const SParticleFxColours& particleFxColours();
void setParticleFxColours(const SParticleFxColours& colours);
// The in-game overlay's smoothed music level; particles drift along z with it. 0 until set.
f32 particleMusicLevel();
void setParticleMusicLevel(f32 level);
// Gravity as A, no wind as B and a bias of 0.95 until set.
const SParticlePhysics& particlePhysics();
void setParticlePhysics(const SParticlePhysics& physics);

// An explosion that pushes freshly spawned debris away from its centre.
struct SBlast {
    ClVec3 centre;
    f32 radius;
    f32 strength;
};

// The push a blast gives a particle at particleCentre, added to its velocity. Only within the
// radius: the direction away from the centre plus the blast's velocity, lifted by the upward
// bias, rescaled to (0.5 + 0.5 d / radius) x strength. No push at the centre, for a radius of 0
// or less, or when the direction nearly vanishes.
void computeBlastPush(const SBlast& blast, const ClVec3& blastVelocity, const ClVec3& particleCentre,
                      ClVec3* particleVelocity);
