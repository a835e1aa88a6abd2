#include "waves/wave_families.h"

#include "core/fatal_error.h"
#include "world/generators/dna_generator.h"

namespace {

SWaveFamily s_aFamilies[WAVE_FAMILY_CAPACITY];
u32 s_uFamilyCount = 0;

f32 shareOf(u32 category) {
    f32 total = 0.0f;
    for (u32 i = 0; i < s_uFamilyCount; ++i)
        if (s_aFamilies[i].generator->getCategory() == category) total += s_aFamilies[i].share;
    return total;
}

}  // namespace

void addWaveFamily(ClDNAGenerator* generator, f32 share, u32 patrols) {
    if (s_uFamilyCount >= WAVE_FAMILY_CAPACITY) fatalErrorf("more than %u enemy families", WAVE_FAMILY_CAPACITY);
    if (!(share > 0.0f) || shareOf(generator->getCategory()) + share > 1.0f + 1e-6f)
        fatalErrorf("enemy family \"%s\": its share %.3f does not fit its size", generator->getName(), double(share));
    s_aFamilies[s_uFamilyCount++] = SWaveFamily{generator, share, patrols};
}

void clearWaveFamilies() { s_uFamilyCount = 0; }

const SWaveFamily* pickWaveFamily(u32 category, f32 draw) {
    f32 sum = 0.0f;
    for (u32 i = 0; i < s_uFamilyCount; ++i) {
        if (s_aFamilies[i].generator->getCategory() != category) continue;
        sum += s_aFamilies[i].share;
        if (draw < sum) return &s_aFamilies[i];
    }
    return nullptr;
}
