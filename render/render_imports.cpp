#include "render/render_imports.h"

namespace {

SRenderImports g_imports;

}  // namespace

void setRenderImports(const SRenderImports* imports) { g_imports = imports ? *imports : SRenderImports{}; }

const SRenderImports& renderImports() { return g_imports; }
