// The particle-system family and the registry that updates every live system once per frame.
// A system its owner no longer needs is retired: it keeps updating until its particles have run
// out and is destroyed on the first frame it reports empty.
#pragma once

#include "core/global_objects.h"
#include "core/random.h"
#include "core/types.h"

struct STransformNode;

class alignas(16) ClParticleSystem {
public:
    // Places the system in the world; read only when a system that owns its node is retired.
    STransformNode* anchor = nullptr;
    // Set: at retirement the system gets a node of its own from the effect-node pool, placed
    // where the anchor is.
    u32 ownsNode = 0;

    virtual ~ClParticleSystem() = default;
    // Moves, retires and draws the live particles.
    virtual void update() {}
    virtual void hook() = 0;
    virtual bool isEmpty() const = 0;
    virtual void onRetire() = 0;
    virtual void onRelease() {}
};

// A null system, or a 257th, is ignored. Registration order is update order.
void registerParticleSystem(ClParticleSystem* system);
// A system that is not registered is ignored.
void unregisterParticleSystem(ClParticleSystem* system);
// Hands the system over for destruction once it is empty. With 256 systems already retiring, or
// when it owns its node and no effect node is free, it is unregistered and destroyed at once.
void retireParticleSystem(ClParticleSystem* system);
// Updates every registered system, then destroys the retired systems that are empty.
void updateParticleSystems();
// Destroys every retired system at once, live particles and all.
void destroyRetiredParticleSystems();
u32 registeredParticleSystemCount();
u32 retiringParticleSystemCount();

// Uniform in [base - base x variance, base + base x variance] by a word of the generator.
inline f32 withVarianceOfDraw(f32 base, f32 variance, u32 draw) {
    const f32 lo = base - base * variance;
    const f32 hi = base + base * variance;
    return lo + (hi - lo) * unitFloatOfDraw(draw);
}
// The same with the next word of the global generator.
inline f32 randomWithVariance(f32 base, f32 variance) { return withVarianceOfDraw(base, variance, sfmtGenRand32()); }
