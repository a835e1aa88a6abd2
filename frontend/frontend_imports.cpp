#include "frontend/frontend_imports.h"

namespace {

SFrontendImports g_imports;

}  // namespace

void setFrontendImports(const SFrontendImports* imports) { g_imports = imports ? *imports : SFrontendImports{}; }

const SFrontendImports& frontendImports() { return g_imports; }
