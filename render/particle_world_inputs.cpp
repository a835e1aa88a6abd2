#include "render/particle_world_inputs.h"

#include <cmath>

namespace {

// Preset 0 of the bar colour scheme: its particle, flash and glow-line colours.
SParticleFxColours g_particleFxColours = {0x501060FFu, 0xFFF0A000u, 0x100000FFu};
f32 g_particleMusicLevel = 0.0f;
SParticlePhysics g_particlePhysics = {ClVec3(0.0f, -20.0f, 0.0f), ClVec3(), 0.95f};

}  // namespace

const SParticleFxColours& particleFxColours() { return g_particleFxColours; }
void setParticleFxColours(const SParticleFxColours& colours) { g_particleFxColours = colours; }
f32 particleMusicLevel() { return g_particleMusicLevel; }
void setParticleMusicLevel(f32 level) { g_particleMusicLevel = level; }
const SParticlePhysics& particlePhysics() { return g_particlePhysics; }
void setParticlePhysics(const SParticlePhysics& physics) { g_particlePhysics = physics; }

void computeBlastPush(const SBlast& blast, const ClVec3& blastVelocity, const ClVec3& particleCentre,
                      ClVec3* particleVelocity) {
    if (!(blast.radius > 0.0f)) return;
    const ClVec3 away = particleCentre - blast.centre;
    const f32 d = away.length();
    if (d == 0.0f || !(d / blast.radius <= 1.0f)) return;
    ClVec3 push = away / d + blastVelocity;
    push.y += g_particlePhysics.blastUpwardBias;
    if (push.dot(push) <= 0.0001f) return;
    push.setLength((0.5f + 0.5f * d / blast.radius) * blast.strength);
    *particleVelocity += push;
}
