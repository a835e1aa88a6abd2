#include "world/services/world_imports.h"

namespace {
SWorldImports g_imports;
}

void setWorldImports(const SWorldImports* imports) { g_imports = imports ? *imports : SWorldImports{}; }

const SWorldImports& worldImports() { return g_imports; }
