#include "world/effects/corruption.h"

#include "world/processors/beat_subscribers.h"
#include "audio/sound/sound_engine.h"
#include "core/float_helpers.h"
#include "world/effects/enemy_beams.h"
#include "world/effects/equaliser_state.h"
#include "world/effects/guardian_backdrop.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"
#include "world/state/play_record.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr u32 GUARDIAN_ADDER_COLOUR = 0xB2FF9000u;
constexpr f32 SOUND_SILENT_LEVEL = 100.0f;
constexpr f32 BACKDROP_MAX_ALPHA = 0.5f;

struct SCorruptionState {
    f32 volume = 0.0f;
    SCueHandle cue;
    SBeatSubscriptionHandle beat;
};

SCorruptionState g_Corruption;

bool soundOff() { return g_PlayRecord.boss.corruptionSoundOff != 0; }

void onWorldBeat(const SBeat&, s32, void*) { rollBeamsOnBeat(); }

}  // namespace

u32 guardianBackdropAlpha(f32 level) {
    if (!(level > CORRUPTION_BACKDROP_START)) return 0;
    const f32 share = (std::min(level, CORRUPTION_MAX) - CORRUPTION_BACKDROP_START) /
                      (CORRUPTION_MAX - CORRUPTION_BACKDROP_START);
    return u32(std::lround(share * BACKDROP_MAX_ALPHA * 255.0f));
}

f32 corruptionSoundVolume(f32 level) {
    return std::clamp((level - SOUND_SILENT_LEVEL) / (CORRUPTION_MAX - SOUND_SILENT_LEVEL), 0.0f, 1.0f);
}

void resetWorldEffects() {
    g_fGuardianLevel = 0.0f;
    g_fGuardianRise = 0.0f;
    g_Corruption.volume = 0.0f;
    unsubscribeBeat(g_Corruption.beat);
    g_Corruption.beat = subscribeBeat(onWorldBeat, nullptr, 0);
}

void startCorruptionSound() {
    stopCue(g_Corruption.cue, 0.0f);
    g_Corruption.cue = playCueHeld("InGameSGCorruption");
    setCueVolume(g_Corruption.cue, soundOff() ? 0.0f : std::clamp(g_Corruption.volume, 0.0f, 1.0f));
}

void unsubscribeWorldBeat() {
    dropBeatSubscription(g_Corruption.beat);
}

void stopCorruptionSound() {
    stopCue(g_Corruption.cue, 0.0f);
    g_Corruption.cue = SCueHandle();
}

void drawGuardianBackground(f32 dt) {
    const f32 weight = sumActiveEnemyWeight();
    const f32 rate = std::min(weight > 0.0f ? CORRUPTION_PER_WEIGHT * weight : -CORRUPTION_FALL, CORRUPTION_MAX_RISE);
    g_fGuardianLevel = std::clamp(g_fGuardianLevel + dt * rate, 0.0f, CORRUPTION_MAX);
    g_fGuardianRise = clamp01(rate / CORRUPTION_MAX_RISE);
    g_Corruption.volume = soundOff() ? 0.0f : corruptionSoundVolume(g_fGuardianLevel);
    setCueVolume(g_Corruption.cue, g_Corruption.volume);
    const u32 alpha = guardianBackdropAlpha(g_fGuardianLevel);
    if (alpha == 0) {
        setGuardianNoiseConstants(GUARDIAN_ADDER_COLOUR);
        return;
    }
    drawGuardianNoiseQuad(CORRUPTION_BACKDROP_LAYER, alpha, GUARDIAN_ADDER_COLOUR);
}

void reduceCorruption(const ClEntity* entity) {
    if (!entity->program) return;
    const f32 drop = CORRUPTION_KILL_PER_WEIGHT * f32(entity->program->weight);
    g_fGuardianLevel = std::clamp(g_fGuardianLevel - drop, 0.0f, CORRUPTION_MAX);
}
