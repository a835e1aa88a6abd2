// The particle systems that live as long as the front end's particles: the fading mega system
// (EX) and the effect system the world's flashes, trails and explosions go into.
#pragma once

#include "core/types.h"

constexpr f32 FRONT_END_BLAST_UPWARD_BIAS = 0.95f;

// Creates and registers the EX and FX systems (fxParticles() of render/fx_particles.h) and
// fills the particle physics block: gravity as acceleration A, no wind as B (the mirror lake's
// constants rewrite both each frame), and the blasts' upward bias. Nothing when already set up.
void frontEndParticleSetUp();
// Retires both systems (the registry destroys them once their particles are gone) and forgets
// them; nothing when not set up.
void frontEndParticleShutdown();
// The EX system's particles go at once; nothing when not set up.
void releaseFrontEndParticles();
