// A reference to an entity that outlives it safely: the record, the serial it had when the
// reference was taken, and the world it was taken in. Once the world releases the record its
// serial changes, and once the world is shut down its records are gone; either way the reference
// reads as empty, and nothing of a released record but its serial is ever touched.
#pragma once

#include "world/entity/entity.h"
#include "world/entity/world.h"

struct SEntityRef {
    ClEntity* entity = nullptr;
    u32 serial = 0;
    u32 world = 0;
};

inline SEntityRef makeEntityRef(ClEntity* entity) {
    return entity && isWorldReady() ? SEntityRef{entity, entity->serial, worldStartCount()} : SEntityRef{};
}

// The entity while it is the one referred to; null when none was set, it has been released or
// its world has been shut down since.
inline ClEntity* entityRefGet(const SEntityRef& ref) {
    if (!ref.entity || ref.serial == 0 || ref.world != worldStartCount() || !isWorldReady()) return nullptr;
    return ref.entity->serial == ref.serial ? ref.entity : nullptr;
}

// Set by the boss encounter: the one entity drawn even while its timer blinks.
extern SEntityRef g_CurrentBossEntity;
inline bool isCurrentBossEntity(const ClEntity* entity) { return entity && entityRefGet(g_CurrentBossEntity) == entity; }
