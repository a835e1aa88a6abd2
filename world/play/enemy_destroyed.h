// What follows a contact handler's kill of an enemy atom.
#pragma once

#include "core/types.h"

class ClAtom;

// For an ordinary enemy: its destruction cue by size at its position, a kill for the first
// player, and with dropPickups set its score pickups at the atom (large notes unless it is a
// small enemy). A boss (category 11) is left alone: it dies only through the kill queue.
void onEnemyDestroyed(ClAtom* atom, u32 dropPickups);
