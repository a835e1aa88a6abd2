// The general spark, smoke and explosion particles: bursts of sprites or streaks that fly in a
// cone, fall under their own gravity, drift along z with the music and die after their life.
// Particles move on the gameplay clock, so they stand still while the game is paused.
#pragma once

#include "core/fixed_pool.h"
#include "core/vec.h"
#include "render/particle_system.h"

struct SMaterial;

constexpr u32 MEGA_PARTICLE_CAPACITY = 4096;
constexpr f32 MEGA_PARTICLE_FLOOR = -8.0f;
constexpr f32 MEGA_PARTICLE_EX_FLOOR = 0.0f;
constexpr u32 MEGA_SPRITE_LAYER_MASK = 44;
constexpr u32 MEGA_STREAK_LAYER_MASK = 108;

struct SMegaParticle {
    ClVec3 position;
    ClVec3 velocity;  // units per second
    const SMaterial* material;
    f32 gravity;  // added to velocity y each second
    u32 colour;   // packed ARGB
    f32 streak;   // 0: a sprite; else a line trailing this many seconds of motion
    f32 initialLife;
    f32 life;
    f32 size;
    f32 flicker;  // variance of the drawn size, per frame
    f32 drift;    // factor on the music drift
    u32 poolIndex;
};

struct SMegaEmit {
    s32 count;
    const SMaterial* material;
    u32 colour;
    ClVec3 position;
    ClVec3 direction;  // the cone's axis
    f32 spread;        // half-angle in degrees; 0 or less emits along the axis
    f32 speed;
    f32 speedVariance;
    f32 streak;
    f32 size;
    f32 flicker;
    f32 sizeVariance;
    f32 gravity;
    f32 life;
    f32 lifeVariance;
    f32 drift;
};

class ClMegaParticleSystem : public ClParticleSystem {
public:
    ClMegaParticleSystem() { m_pool.init(); }
    ~ClMegaParticleSystem() override { releaseAll(); }

    void update() override;
    void hook() override {}
    bool isEmpty() const override { return m_pool.used == 0; }
    void onRetire() override {}
    // space must be 0 (world coordinates). Nothing at a frame time of 0; a full pool drops the
    // rest of the burst.
    void emit(u32 space, const SMegaEmit& request);

    void releaseAll() { m_pool.releaseAll(); }
    u32 liveCount() const { return m_pool.used; }
    SMegaParticle* live(u32 i) { return m_pool.table[i]; }

protected:
    ClFixedPool<SMegaParticle, MEGA_PARTICLE_CAPACITY> m_pool;
};

// Fades from the emission alpha to 0 over the life; no flicker, no drift factor, floor 0.
class ClMegaParticleSystemEX : public ClMegaParticleSystem {
public:
    void update() override;
};

// The shared system every world caller emits into (null until start-up creates it).
// Start-up installs it and shut-down removes it through setMegaParticleSystem.
ClMegaParticleSystem* megaParticles();
void setMegaParticleSystem(ClMegaParticleSystem* system);
