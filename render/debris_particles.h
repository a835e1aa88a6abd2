// Debris of destroyed geometry: line pieces and flat textured shards that fly apart, spin, fall
// and vanish below the floor (they never die of age). Every piece spawned is put on the new-debris
// list, so that the blasts of the frame can push it once (runBlastPass).
#pragma once

#include "core/fixed_pool.h"
#include "core/matrix44.h"
#include "core/vec.h"
#include "render/particle_system.h"
#include "render/particle_world_inputs.h"

struct SMaterial;

constexpr u32 DEBRIS_PARTICLE_CAPACITY = 1024;
constexpr f32 DEBRIS_FLOOR = -8.0f;
constexpr u32 DEBRIS_LINE_LAYER_MASK = 236;
constexpr u32 DEBRIS_SHARD_LAYER_MASK = 52;
// Both pools can be spawned whole in one frame.
constexpr u32 NEW_DEBRIS_CAPACITY = 2 * DEBRIS_PARTICLE_CAPACITY;
constexpr u32 BLAST_LIST_CAPACITY = 64;

// The part of every debris record that a blast pushes.
struct SDebrisBody {
    ClVec3 centre;
    ClVec3 velocity;  // units per second
};

struct SDebrisLine : SDebrisBody {
    ClVec3 halfA;  // from the centre to each end
    ClVec3 halfB;
    ClMatrix44 spin;  // applied once per frame
    const SMaterial* material;
    f32 width;
    u32 colour;
    u32 poolIndex;
};

struct SDebrisShard : SDebrisBody {
    ClVec3 corners[4];  // relative to the centre
    ClMatrix44 spin;
    const SMaterial* material;  // the batched object's material; its effect is the material's
    u32 colour;                 // the alpha flickers at random each frame
    u32 poolIndex;
};

// Moves on the gameplay clock; every piece spins each frame.
class ClDebrisLineParticleSystem : public ClParticleSystem {
public:
    ClDebrisLineParticleSystem() { m_pool.init(); }
    ~ClDebrisLineParticleSystem() override { releaseAll(); }
    void update() override;
    void hook() override {}
    bool isEmpty() const override { return m_pool.used == 0; }
    void onRetire() override {}
    void onRelease() override { releaseAll(); }

    // Nothing when the pool is full.
    void addLine(const ClVec3& endA, const ClVec3& endB, const ClMatrix44& spin, f32 width, u32 colour,
                 const SMaterial* material, const ClVec3& velocity);
    // Also empties the new-debris list, which may point into this pool (the destructor runs it).
    void releaseAll();
    u32 liveCount() const { return m_pool.used; }
    SDebrisLine* live(u32 i) { return m_pool.table[i]; }

private:
    ClFixedPool<SDebrisLine, DEBRIS_PARTICLE_CAPACITY> m_pool;
};

// Moves on the gameplay clock; the shards stop spinning while the game step is paused.
class ClDebrisTriParticleSystem : public ClParticleSystem {
public:
    ClDebrisTriParticleSystem() { m_pool.init(); }
    ~ClDebrisTriParticleSystem() override { releaseAll(); }
    void update() override;
    void hook() override {}
    bool isEmpty() const override { return m_pool.used == 0; }
    void onRetire() override {}
    void onRelease() override { releaseAll(); }

    // A 20-unit square at position flying away from origin (lifted a little) at about 50 units
    // per second. Nothing when the pool is full.
    void addTriangle(const ClVec3& position, const ClMatrix44& spin, u32 colour, const SMaterial* material,
                     const ClVec3& origin);
    void releaseAll();
    u32 liveCount() const { return m_pool.used; }
    SDebrisShard* live(u32 i) { return m_pool.table[i]; }

private:
    ClFixedPool<SDebrisShard, DEBRIS_PARTICLE_CAPACITY> m_pool;
};

// The action mode's fixed game step, written from above; at 0.0001 or less shards stop spinning.
extern f32 g_particleGameStep;

// The shared systems the world's atoms throw their debris into (null until start-up creates them).
// The action mode installs and removes them through the setters.
ClDebrisLineParticleSystem* debrisLineParticles();
ClDebrisTriParticleSystem* debrisTriParticles();
void setDebrisLineSystem(ClDebrisLineParticleSystem* system);
void setDebrisTriSystem(ClDebrisTriParticleSystem* system);

// A blast of the frame (its centre, radius and strength) with the velocity of what exploded. A
// blast beyond BLAST_LIST_CAPACITY in one frame is dropped.
void recordBlast(const SBlast& blast, const ClVec3& velocity);
// Pushes every piece of the new-debris list by every recorded blast, then empties both lists.
void runBlastPass();
void clearNewDebrisList();
