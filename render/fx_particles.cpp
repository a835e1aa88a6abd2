#include "render/fx_particles.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/mega_particles.h"
#include "render/particle_world_inputs.h"
#include "render/render_worker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

ClFXParticleSystem* g_fxParticleSystem = nullptr;

constexpr f32 kTwoPi = 2.0f * std::numbers::pi_v<f32>;
const char* const kAddEffect = "system_add_nobias";
const char* const kExplosionEffect = "game_colorizeRed_addBlue_additiveBlend";

struct SFlashKind {
    f32 size;
    f32 growth;
    f32 duration;
};
const SFlashKind kFlashKinds[3] = {{100.0f, 350.0f, 1.9752f}, {40.0f, 500.0f, 0.005f}, {40.0f, 500.0f, 0.005f}};

SDrawListCounts producerCounts() { return drawListCounts(1 - renderFlipIndex()); }

u32 withAlpha(u32 colour, u32 alpha) { return (colour & 0x00FFFFFFu) | ((alpha & 0xFFu) << 24); }

// Per channel from a to b; b once t reaches 1.
u32 blendColour(u32 a, u32 b, f32 t) {
    if (t >= 1.0f) return b;
    u32 out = 0;
    for (u32 shift = 0; shift < 32; shift += 8) {
        const f32 ca = f32((a >> shift) & 0xFFu);
        const f32 cb = f32((b >> shift) & 0xFFu);
        out |= (u32(s32(ca + (cb - ca) * t)) & 0xFFu) << shift;
    }
    return out;
}

void emitMega(const ClVec3& position, const SMaterial* material, u32 colour, f32 spread, f32 speed, f32 size,
              f32 flicker, f32 sizeVariance, f32 life, f32 lifeVariance, s32 count) {
    if (!megaParticles()) return;
    megaParticles()->emit(0, SMegaEmit{count, material, colour, position, ClVec3(0.0f, 1.0f, 0.0f), spread, speed,
                                            0.4f, 0.0f, size, flicker, sizeVariance, 0.0f, life, lifeVariance, 1.0f});
}

}  // namespace

ClFXParticleSystem::ClFXParticleSystem() : materialLookup(getMaterialForEffectAndTextureName) {
    m_pool.init();
    for (SFxParticle& p : m_pool.records) {
        p.fade.mode = E_TWEEN_NONE;
        p.fade.running = 0;
    }
}

SFxParticle* ClFXParticleSystem::take(u32 kind, const ClVec3& position) {
    SFxParticle* p = m_pool.take();
    if (!p) return nullptr;
    ++p->generation;
    p->kind = kind;
    p->position = position;
    p->linked = nullptr;
    return p;
}

void ClFXParticleSystem::release(SFxParticle* particle) {
    ++particle->generation;
    m_pool.release(particle);
}

void ClFXParticleSystem::releaseAll() {
    for (u32 i = m_pool.used; i-- > 0;) release(m_pool.table[i]);
}

SFxParticle* ClFXParticleSystem::addSprite(const ClVec3& position, f32 lifetime, f32 startSize, f32 endSize,
                                           u32 startColour, u32 endColour, const SMaterial* material,
                                           ClRenderTargetGroup* owner, u32 layerMask) {
    SFxParticle* p = take(E_FX_TRAIL_SPRITE, position);
    if (!p) return nullptr;
    p->lifetime = lifetime;
    p->size = startSize;
    p->endSize = endSize;
    p->colour = startColour;
    p->endColour = endColour;
    p->material = material;
    p->owner = owner;
    p->layerMask = layerMask;
    p->length = p->tailTime = p->headTime = 0.0f;
    p->direction = ClVec3();
    p->steered = 1;
    p->hasDirection = 0;
    return p;
}

void ClFXParticleSystem::steerParticle(SFxParticle* p, const ClVec3& target) {
    if (!p) return;
    p->steered = 1;
    p->hasDirection = 1;
    const ClVec3 move = target - p->position;
    const f32 distance = move.length();
    if (p->length == 0.0f) {
        if (distance < 0.0001f) return;
        p->direction = move / distance;
    }
    const f32 dt = frameTime();
    if (p->headTime < p->lifetime) {
        p->headTime += dt;
        if (p->headTime < p->lifetime) {
            p->length += distance;
        } else {
            p->headTime = p->lifetime;
            p->length = dt > 0.0f ? distance / dt * p->lifetime : p->length + distance;
        }
    }
    p->position = target;
}

void ClFXParticleSystem::addExpandingFlash(u32 kind, const ClVec3& position) {
    if (kind > 2) fatalErrorf("addExpandingFlash: unknown flash kind %u", kind);
    SFxParticle* p = take(E_FX_EXPANDING_FLASH, position);
    if (!p) return;
    const u32 colours[3] = {particleFxColours().firstFlash, particleFxColours().secondFlash, 0xFF302800u};
    p->colour = colours[kind];
    p->size = kFlashKinds[kind].size;
    p->growth = kFlashKinds[kind].growth;
    const f32 alpha = kind == 2 ? 1.0f : f32(p->colour >> 24) / 255.0f;
    p->fade.startFromTo(alpha, 0.0f, kFlashKinds[kind].duration, E_TWEEN_CURVE_LINEAR, 0.0f);
}

void ClFXParticleSystem::addExplosion(const ClVec3& position) {
    SFxParticle* glow = take(E_FX_RISING_GLOW, position);
    if (!glow) return;
    const u32 colour = particleFxColours().explosion;
    glow->linked = addSprite(position, 1.0f, 30.0f, 30.0f, colour, withAlpha(colour, 0),
                             materialLookup(kAddEffect, "Images/Lensflare-glow"), nullptr, FX_SPRITE_LAYER_MASK);
    glow->linkedGeneration = glow->linked ? glow->linked->generation : 0;
    const ClVec3 at = position + ClVec3(randomFloatInRange(-3.0f, 3.0f), 0.0f, 0.0f);
    emitMega(at, materialLookup(kExplosionEffect, "Images/ExplosionRed"), colour, 0.0f, 100.0f, 200.0f, 0.2f, 0.2f,
             0.1f, 0.1f, 3);
}

void ClFXParticleSystem::addExplosionRing(const ClVec3& position, f32 radius, u32 colour) {
    const bool ring = radius > 0.0f && std::isfinite(radius);
    if (ring) {
        const SMaterial* material = materialLookup(kExplosionEffect, "Images/ExplosionRed");
        const f32 step = std::max(kTwoPi / (radius * 0.6f), kTwoPi / f32(FX_RING_STEP_LIMIT));
        u32 steps = 0;
        for (f32 a = 0.0f; a < kTwoPi && steps < FX_RING_STEP_LIMIT; a += step, ++steps) {
            const f32 rho = randomFloatInRange(0.9f * radius, radius);
            emitMega(position + ClVec3(rho * std::cos(a), 0.0f, rho * std::sin(a)), material, colour, 180.0f, 10.0f,
                     125.0f, 1.0f, 0.3f, 0.4f, 0.5f, 1);
        }
    }
    SFxParticle* core = take(E_FX_EXPLOSION_CORE, position);
    if (!core) return;
    core->size = ring ? 2.0f * radius : 0.0f;
    core->growth = 0.0f;
    core->colour = colour;
    core->material = materialLookup(kAddEffect, "Images/Explosion-core");
    core->fade.startFromTo(1.0f, 0.0f, 0.4f, E_TWEEN_CURVE_LINEAR, 0.0f);
}

void ClFXParticleSystem::drawQuad(const SFxParticle& p, const SMaterial* material) {
    // A full quad list would stop the program; a flash is not worth that.
    if (producerCounts().quads >= QUAD_COMMAND_CAPACITY - 1) return;
    appendCentredQuadCommand(p.position, ClVec3(0.0f, 1.0f, 0.0f), ClVec3(1.0f, 0.0f, 0.0f), p.size, p.size,
                             withAlpha(p.colour, u32(s32(p.fade.current * 255.0f))), material, FX_QUAD_LAYER_MASK, 0.0f);
}

void ClFXParticleSystem::drawTrail(SFxParticle& p, f32 dt) {
    if (!p.steered) {
        p.tailTime += dt;
        if (p.tailTime >= p.lifetime) {
            p.lifetime = FX_TRAIL_FINISHED;
            return;
        }
        p.headTime += dt;
        if (p.headTime >= p.lifetime) {
            const f32 span = p.headTime - p.tailTime;
            if (span > 0.0f) p.length *= (p.lifetime - p.tailTime) / span;
            p.headTime = p.lifetime;
        }
    }
    setCurrentDrawOwner(p.owner);
    if (!p.hasDirection) {
        appendSpriteCommand(p.position, 2.0f * p.size, p.colour, p.material, FX_SPRITE_LAYER_MASK, 0.0f);
    } else {
        const f32 tTail = p.lifetime > 0.0f ? p.tailTime / p.lifetime : 1.0f;
        const f32 tHead = p.lifetime > 0.0f ? p.headTime / p.lifetime : 1.0f;
        const ClVec3 tail = p.position - scaleVec3(p.direction, p.length);
        appendGradientLineCommand(p.position, tail, p.size * (1.0f - tTail) + p.endSize * tTail,
                                  p.size * (1.0f - tHead) + p.endSize * tHead, blendColour(p.colour, p.endColour, tTail),
                                  blendColour(p.colour, p.endColour, tHead), p.material, p.layerMask);
    }
    setCurrentDrawOwner(nullptr);
    p.steered = 0;
}

void ClFXParticleSystem::update() {
    const f32 dt = frameTime();
    const SMaterial* shockwave = materialLookup(kAddEffect, "Images/Shockwave");
    for (u32 i = m_pool.used; i-- > 0;) {
        SFxParticle& p = *m_pool.table[i];
        switch (p.kind) {
        case E_FX_EXPANDING_FLASH:
        case E_FX_EXPLOSION_CORE:
            p.fade.advance(dt);
            if (!p.fade.running) {
                release(&p);
                break;
            }
            if (p.kind == E_FX_EXPANDING_FLASH) p.size += p.growth * dt;
            drawQuad(p, p.kind == E_FX_EXPANDING_FLASH ? shockwave : p.material);
            break;
        case E_FX_TRAIL_SPRITE:
            if (p.lifetime == FX_TRAIL_FINISHED) {
                release(&p);
                break;
            }
            drawTrail(p, dt);
            break;
        case E_FX_RISING_GLOW:
            if (!megaParticles()) break;
            p.position.y += dt * FX_GLOW_RISE_SPEED;
            if (p.position.y > FX_GLOW_CEILING) {
                release(&p);
            } else if (fxParticleIsCurrent(p.linked, p.linkedGeneration) && p.linked->kind == E_FX_TRAIL_SPRITE) {
                steerParticle(p.linked, p.position);
            }
            break;
        default:
            fatalErrorf("ClFXParticleSystem::update: unknown particle kind %u", p.kind);
        }
    }
}

bool fxParticleIsCurrent(const SFxParticle* particle, u32 generation) {
    return particle && particle->generation == generation;
}

ClFXParticleSystem* fxParticles() { return g_fxParticleSystem; }
void setFxParticleSystem(ClFXParticleSystem* system) { g_fxParticleSystem = system; }
