// A reference to an entity that outlives it safely: the record and the serial it had when the
// reference was taken. Once the world releases the record its serial changes, and the reference
// reads as empty; nothing of the released record but its serial is ever touched. The pool itself
// must still exist: holders drop their references before the world is shut down.
#pragma once

#include "world/entity/entity.h"

struct SEntityRef {
    ClEntity* entity = nullptr;
    u32 serial = 0;
};

inline SEntityRef makeEntityRef(ClEntity* entity) { return entity ? SEntityRef{entity, entity->serial} : SEntityRef{}; }

// The entity while it is the one referred to; null when none was set or it has been released.
inline ClEntity* entityRefGet(const SEntityRef& ref) {
    return ref.entity && ref.serial != 0 && ref.entity->serial == ref.serial ? ref.entity : nullptr;
}
