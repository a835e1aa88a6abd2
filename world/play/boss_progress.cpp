#include "core/fatal_error.h"
#include "world/generators/dna_generator.h"
#include "world/play/boss_choice.h"
#include "world/state/play_record.h"

#include <cstring>

void findNextUnbeatenBoss(s32* outBoss, s32* outSubBoss) {
    for (u32 b = 0; b < BOSS_COUNT; ++b) {
        for (u32 s = 0; s < SUBBOSS_COUNT; ++s) {
            if (!getBossGenerator(b, s)) fatalErrorf("no generator for boss %u sub-boss %u", b, s);
            if (!g_PlayRecord.boss.beaten[b][s]) {
                *outBoss = s32(b);
                *outSubBoss = s32(s);
                return;
            }
        }
    }
    *outBoss = -1;
    *outSubBoss = -1;
}

u32 songIdentityDiffers(const u32* a, const u32* b) {
    return std::memcmp(a, b, SONG_IDENTITY_WORD_COUNT * sizeof(u32)) != 0 ? 1u : 0u;
}

