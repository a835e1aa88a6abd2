#include "render/particle_system.h"

#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "core/random.h"
#include "render/transform_node.h"

namespace {

struct SSystemSlot {
    ClParticleSystem* system;
    u32 poolIndex;
};

struct SEffectNode {
    STransformNode node;
    u32 poolIndex;
};

struct SParticleRegistry {
    ClFixedPool<SSystemSlot, PARTICLE_SYSTEM_SLOT_CAPACITY> registered;
    ClFixedPool<SSystemSlot, PARTICLE_SYSTEM_SLOT_CAPACITY> retiring;
    ClFixedPool<SEffectNode, EFFECT_TRANSFORM_NODE_CAPACITY> effectNodes;

    SParticleRegistry() {
        registered.init();
        retiring.init();
        effectNodes.init();
    }
};

SParticleRegistry& registry() {
    static SParticleRegistry instance;
    return instance;
}

SSystemSlot* findSlot(ClFixedPool<SSystemSlot, PARTICLE_SYSTEM_SLOT_CAPACITY>& pool, const ClParticleSystem* system) {
    for (u32 i = 0; i < pool.used; ++i) {
        if (pool.table[i]->system == system) return pool.table[i];
    }
    return nullptr;
}

SEffectNode* effectNodeOf(STransformNode* node) {
    SParticleRegistry& r = registry();
    for (u32 i = 0; i < r.effectNodes.used; ++i) {
        if (&r.effectNodes.table[i]->node == node) return r.effectNodes.table[i];
    }
    return nullptr;
}

// Unregisters the system, gives back the node it owns, and frees it.
void destroySystem(ClParticleSystem* system) {
    unregisterParticleSystem(system);
    if (system->ownsNode && system->anchor) registry().effectNodes.release(effectNodeOf(system->anchor));
    system->onRelease();
    delete system;
}

void destroyRetiredAt(u32 position) {
    SParticleRegistry& r = registry();
    ClParticleSystem* system = r.retiring.table[position]->system;
    destroySystem(system);
    SSystemSlot* slot = findSlot(r.retiring, system);
    if (!slot) fatalError("destroyRetiredParticleSystems: a retired system lost its slot");
    r.retiring.release(slot);
}

}  // namespace

void registerParticleSystem(ClParticleSystem* system) {
    if (!system) return;
    SSystemSlot* slot = registry().registered.take();
    if (slot) slot->system = system;
}

void unregisterParticleSystem(ClParticleSystem* system) {
    registry().registered.release(findSlot(registry().registered, system));
}

void retireParticleSystem(ClParticleSystem* system) {
    if (!system) return;
    SParticleRegistry& r = registry();
    SSystemSlot* slot = r.retiring.take();
    if (!slot) {
        destroySystem(system);
        return;
    }
    slot->system = system;
    if (system->ownsNode) {
        SEffectNode* own = r.effectNodes.take();
        if (!own) {
            // Left registered and outside the retiring list it would update forever.
            r.retiring.release(slot);
            destroySystem(system);
            return;
        }
        own->node = STransformNode();
        if (system->anchor) {
            own->node.position = system->anchor->position;
            own->node.orientation = system->anchor->orientation;
        }
        system->anchor = &own->node;
    }
    system->onRetire();
}

void updateParticleSystems() {
    SParticleRegistry& r = registry();
    for (u32 i = 0; i < r.registered.used; ++i) r.registered.table[i]->system->update();
    for (u32 i = r.retiring.used; i-- > 0;) {
        if (i < r.retiring.used && r.retiring.table[i]->system->isEmpty()) destroyRetiredAt(i);
    }
}

void destroyRetiredParticleSystems() {
    SParticleRegistry& r = registry();
    for (u32 i = r.retiring.used; i-- > 0;) {
        if (i < r.retiring.used) destroyRetiredAt(i);
    }
}

u32 registeredParticleSystemCount() { return registry().registered.used; }
u32 retiringParticleSystemCount() { return registry().retiring.used; }

