// Short-lived effects: expanding flashes, sprites with trails that their callers steer towards
// targets, rising explosion glows and explosion cores. Callers that keep a particle between
// frames keep its generation with it and check fxParticleIsCurrent before touching it: a record
// is handed out again once its particle is gone.
#pragma once

#include "core/fixed_pool.h"
#include "core/vec.h"
#include "render/tween.h"
#include "render/particle_system.h"

struct SMaterial;
class ClRenderTargetGroup;

constexpr u32 FX_PARTICLE_CAPACITY = 512;
constexpr u32 FX_QUAD_LAYER_MASK = 52;
constexpr u32 FX_SPRITE_LAYER_MASK = 44;
constexpr f32 FX_GLOW_RISE_SPEED = 300.0f;  // units per second
constexpr f32 FX_GLOW_CEILING = 150.0f;
// Mega particles one explosion ring emits at most, whatever its radius.
constexpr u32 FX_RING_STEP_LIMIT = 512;

enum EFxKind : u32 {
    E_FX_EXPANDING_FLASH = 0,
    E_FX_TRAIL_SPRITE = 1,
    E_FX_RISING_GLOW = 2,
    E_FX_EXPLOSION_CORE = 3,
};

struct SFxParticle {
    u32 kind;
    ClVec3 position;  // the head of the trail for a trail sprite
    u32 colour;       // packed ARGB; the start colour of a trail sprite
    SFloatTween fade;  // alpha 0..1 of flashes and cores
    f32 size;          // current size, or a trail sprite's start size
    f32 growth;        // size per second (flashes)
    u32 layerMask;
    ClVec3 direction;  // unit direction of travel (trail sprites)
    f32 endSize;
    u32 endColour;
    const SMaterial* material;
    ClRenderTargetGroup* owner;
    f32 length;  // of the trail
    f32 tailTime;
    f32 headTime;
    f32 lifetime;  // seconds; FX_TRAIL_FINISHED once a trail sprite has run out
    u32 steered;   // steered this frame
    u32 hasDirection;
    SFxParticle* linked;  // a rising glow's trail sprite, or null
    u32 linkedGeneration;
    u32 generation;  // changes whenever the record is taken or released
    u32 poolIndex;
};

constexpr f32 FX_TRAIL_FINISHED = -1.0f;

// Looks a material up by effect and texture name; tests install their own.
using FxMaterialLookup = SMaterial* (*)(const char* effectName, const char* textureName);

// Moves on the gameplay clock. Draws a full draw list refuses are dropped and counted.
class ClFXParticleSystem : public ClParticleSystem {
public:
    ClFXParticleSystem();
    ~ClFXParticleSystem() override { releaseAll(); }
    void update() override;
    void hook() override {}
    bool isEmpty() const override { return m_pool.used == 0; }
    void onRetire() override {}

    // A trail sprite that draws as a sprite of twice startSize until steered. Null when the pool
    // is full.
    SFxParticle* addSprite(const ClVec3& position, f32 lifetime, f32 startSize, f32 endSize, u32 startColour,
                           u32 endColour, const SMaterial* material, ClRenderTargetGroup* owner, u32 layerMask);
    // Moves a trail sprite's head to target, growing its trail.
    void steerParticle(SFxParticle* particle, const ClVec3& target);
    // Kinds 0, 1 and 2; any other is fatal. Nothing when the pool is full.
    void addExpandingFlash(u32 kind, const ClVec3& position);
    // A rising glow carrying a glow sprite, and a burst of the shared mega system.
    void addExplosion(const ClVec3& position);
    // Mega particles round a circle of radius and an explosion core; a radius that is not
    // positive and finite gives the core alone.
    void addExplosionRing(const ClVec3& position, f32 radius, u32 colour);

    void releaseAll();
    u32 liveCount() const { return m_pool.used; }
    SFxParticle* live(u32 i) { return m_pool.table[i]; }
    FxMaterialLookup materialLookup;

private:
    SFxParticle* take(u32 kind, const ClVec3& position);
    void release(SFxParticle* particle);
    void drawQuad(const SFxParticle& p, const SMaterial* material);
    void drawTrail(SFxParticle& p, f32 dt);

    ClFixedPool<SFxParticle, FX_PARTICLE_CAPACITY> m_pool;
};

// True while particle is the live record it was when generation was read from it.
bool fxParticleIsCurrent(const SFxParticle* particle, u32 generation);

// The shared system the world's atoms and contact handlers add to (null until start-up creates it).
// Whoever creates it installs and removes it through setFxParticleSystem.
ClFXParticleSystem* fxParticles();
void setFxParticleSystem(ClFXParticleSystem* system);
