#include "waves/wave_families.h"

#include "core/fatal_error.h"
#include "world/generators/dna_generator.h"

namespace {

SWaveFamily g_aFamilies[WAVE_FAMILY_CAPACITY];
u32 g_uFamilyCount = 0;

f32 shareOf(u32 category) {
    f32 total = 0.0f;
    for (u32 i = 0; i < g_uFamilyCount; ++i)
        if (g_aFamilies[i].generator->getCategory() == category) total += g_aFamilies[i].share;
    return total;
}

}  // namespace

void addWaveFamily(ClDNAGenerator* generator, f32 share, u32 patrols) {
    if (g_uFamilyCount >= WAVE_FAMILY_CAPACITY) fatalErrorf("more than %u enemy families", WAVE_FAMILY_CAPACITY);
    if (!(share > 0.0f) || shareOf(generator->getCategory()) + share > 1.0f + 1e-6f)
        fatalErrorf("enemy family \"%s\": its share %.3f does not fit its size", generator->getName(), double(share));
    g_aFamilies[g_uFamilyCount++] = SWaveFamily{generator, share, patrols};
}

void clearWaveFamilies() { g_uFamilyCount = 0; }

const SWaveFamily* pickWaveFamily(u32 category, f32 draw) {
    f32 sum = 0.0f;
    for (u32 i = 0; i < g_uFamilyCount; ++i) {
        if (g_aFamilies[i].generator->getCategory() != category) continue;
        sum += g_aFamilies[i].share;
        if (draw < sum) return &g_aFamilies[i];
    }
    return nullptr;
}
