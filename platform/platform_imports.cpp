#include "platform/platform_imports.h"

namespace {

SPlatformImports g_imports;

}  // namespace

void setPlatformImports(const SPlatformImports* imports) { g_imports = imports ? *imports : SPlatformImports{}; }

const SPlatformImports& platformImports() { return g_imports; }
