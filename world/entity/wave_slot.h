// The record of the wave slot an entity flies for. The entity writes itself into it when it is
// destroyed or freed, so that the wave code sees its member gone; the wave and path code add
// their own fields after it.
#pragma once

#include "core/types.h"

class ClEntity;

struct SWaveSlot {
    ClEntity* entity;
};
