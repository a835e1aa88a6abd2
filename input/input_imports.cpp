#include "input/input_imports.h"

namespace {

SInputImports g_imports;

}  // namespace

void setInputImports(const SInputImports* imports) { g_imports = imports ? *imports : SInputImports{}; }

void randomPointerRegionCentre(f32* x, f32* y) {
    *x = *y = 0.0f;
    if (g_imports.pointerRegionCentre && !g_imports.pointerRegionCentre(x, y)) *x = *y = 0.0f;
}
