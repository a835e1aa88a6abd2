#include "frontend/presentation/front_end_particles.h"

#include "frontend/presentation/mirror_lake.h"
#include "render/fx_particles.h"
#include "render/mega_particles.h"
#include "render/particle_world_inputs.h"

namespace {

// Null until frontEndParticleSetUp.
ClMegaParticleSystemEX* g_megaParticleSystemEX = nullptr;

}  // namespace

void frontEndParticleSetUp() {
    if (g_megaParticleSystemEX || fxParticles()) return;
    g_megaParticleSystemEX = new ClMegaParticleSystemEX();
    registerParticleSystem(g_megaParticleSystemEX);
    setFxParticleSystem(new ClFXParticleSystem());
    registerParticleSystem(fxParticles());
    setParticlePhysics(SParticlePhysics{ClVec3(0.0f, MIRROR_LAKE_GRAVITY, 0.0f), ClVec3(), FRONT_END_BLAST_UPWARD_BIAS});
}

void frontEndParticleShutdown() {
    retireParticleSystem(g_megaParticleSystemEX);
    g_megaParticleSystemEX = nullptr;
    retireParticleSystem(fxParticles());
    setFxParticleSystem(nullptr);
}

void releaseFrontEndParticles() {
    if (g_megaParticleSystemEX) g_megaParticleSystemEX->releaseAll();
}
