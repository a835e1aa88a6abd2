#include "core/core_imports.h"

namespace {

SCoreImports g_imports;

}  // namespace

void setCoreImports(const SCoreImports* imports) { g_imports = imports ? *imports : SCoreImports{}; }

const SCoreImports& coreImports() { return g_imports; }
