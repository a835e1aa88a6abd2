// Atoms by the kind number DNA opcode 7 names.
#pragma once

#include "core/types.h"

class ClAtom;

constexpr u32 ATOM_KIND_COUNT = 8;  // kinds 1 to 7; 0 and 3 name no class

// The class name of the kind, or null for a kind that does not exist.
const char* atomKindName(u32 kind);
// A new, constructed atom of the kind (16-byte aligned; freed with atomFree), not yet initialised.
// Kind 3, a kind outside 1 to 7, a kind whose class is not built, or no memory, is fatal.
ClAtom* atomCreate(u32 kind);
// Runs the destructor and frees the storage; null is ignored. Release the atom first.
void atomFree(ClAtom* atom);
