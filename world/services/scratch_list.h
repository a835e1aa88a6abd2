// The world's scratch list: a growable list of pointers that the world's passes may fill and
// empty within a frame of play. Set up on entering play, freed on leaving it.
#pragma once

#include "core/array.h"
#include "core/types.h"

extern ClArray<void*> g_WorldScratchList;

// Empty, with room for ARRAY_INITIAL_CAPACITY; a list in use gives its block back first.
void initWorldScratchList();
// Frees the block; nothing when the list is not in use.
void freeWorldScratchList();
