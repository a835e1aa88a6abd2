#include "input/pointer_region_hook.h"

namespace {
PointerRegionCentreProvider g_provider = nullptr;
}  // namespace

void setPointerRegionCentreProvider(PointerRegionCentreProvider provider) { g_provider = provider; }

void randomPointerRegionCentre(f32* x, f32* y) {
    *x = *y = 0.0f;
    if (g_provider && !g_provider(x, y)) *x = *y = 0.0f;
}
