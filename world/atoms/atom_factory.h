// Atoms by kind, for DNA opcode 7.
#pragma once

#include "core/types.h"

class ClAtom;

// A new, constructed atom of the kind (16-byte aligned; freed with atomFree). Kind 3, a kind
// outside 1 to 7, or no memory, is fatal.
ClAtom* atomCreate(u32 kind);
void atomFree(ClAtom* atom);
