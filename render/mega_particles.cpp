#include "render/mega_particles.h"

#include "core/directions.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/particle_world_inputs.h"

namespace {

ClMegaParticleSystem* g_megaParticleSystem = nullptr;

void drawParticle(const SMegaParticle& p, f32 spriteSize, u32 colour) {
    if (p.streak == 0.0f) {
        appendSpriteCommand(p.position, spriteSize, colour, p.material, MEGA_SPRITE_LAYER_MASK, 0.0f);
    } else {
        appendLineCommand(p.position - scaleVec3(p.velocity, p.streak), p.position, randomWithVariance(0.5f * p.size, 1.0f),
                          colour, p.material, 0.0f, 1, MEGA_STREAK_LAYER_MASK);
    }
}

// Ages, accelerates and moves the particle; false when it died of age.
bool advance(SMegaParticle& p, f32 dt, f32 driftPerSecond) {
    p.life -= dt;
    if (p.life < 0.0f) return false;
    p.velocity.y += p.gravity * dt;
    p.velocity.z += driftPerSecond * dt;
    p.position += scaleVec3(p.velocity, dt);
    return true;
}

}  // namespace

void ClMegaParticleSystem::emit(u32 space, const SMegaEmit& r) {
    if (space != 0) fatalErrorf("ClMegaParticleSystem::emit: space %u is not supported", space);
    if (frameTime() == 0.0f) return;
    for (s32 i = 0; i < r.count; ++i) {
        SMegaParticle* p = m_pool.take();
        if (!p) return;
        p->position = r.position;
        const f32 speed = randomWithVariance(r.speed, r.speedVariance);
        p->velocity = scaleVec3(randomDirectionInCone(r.direction, r.spread), speed);
        p->material = r.material;
        p->colour = r.colour;
        p->streak = r.streak;
        p->gravity = r.gravity;
        p->flicker = r.flicker;
        p->drift = r.drift;
        p->size = randomWithVariance(r.size, r.sizeVariance);
        p->life = p->initialLife = randomWithVariance(r.life, r.lifeVariance);
    }
}

void ClMegaParticleSystem::update() {
    const f32 dt = frameTime();
    const f32 drift = particleMusicLevel() * 0.25f;
    for (u32 i = m_pool.used; i-- > 0;) {
        SMegaParticle& p = *m_pool.table[i];
        if (!advance(p, dt, drift * p.drift) || p.position.y < MEGA_PARTICLE_FLOOR) {
            m_pool.release(&p);
            continue;
        }
        drawParticle(p, randomWithVariance(0.5f * p.size, p.flicker), p.colour);
    }
}

void ClMegaParticleSystemEX::update() {
    const f32 dt = frameTime();
    const f32 drift = particleMusicLevel() * 0.25f;
    for (u32 i = m_pool.used; i-- > 0;) {
        SMegaParticle& p = *m_pool.table[i];
        if (!advance(p, dt, drift) || p.position.y < MEGA_PARTICLE_EX_FLOOR) {
            m_pool.release(&p);
            continue;
        }
        const u32 alpha = p.initialLife > 0.0f ? u32(p.life * 255.0f / p.initialLife) : 0u;
        drawParticle(p, p.size, (p.colour & 0x00FFFFFFu) | ((alpha & 0xFFu) << 24));
    }
}

ClMegaParticleSystem* megaParticles() { return g_megaParticleSystem; }
void setMegaParticleSystem(ClMegaParticleSystem* system) { g_megaParticleSystem = system; }
