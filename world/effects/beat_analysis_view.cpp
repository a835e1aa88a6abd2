#include "world/effects/beat_analysis_view.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/onset_detection.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/tempo_search.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/vec.h"
#include "render/draw_lists.h"
#include "render/materials.h"

#include <algorithm>

namespace {

constexpr u32 BEAT_VIEW_COLUMN_MASK = 0x34;
constexpr u32 BEAT_VIEW_SPRITE_MASK = 0x2C;
constexpr f32 BEAT_VIEW_LANES_WIDTH = 95.0f;
constexpr f32 BEAT_VIEW_SUMMED_SCALE = 10.1f;
constexpr f32 BEAT_VIEW_BAND_SCALE = 10.6f;
constexpr f32 BEAT_VIEW_SPRITE_SIZE = 40.0f;
constexpr f32 BEAT_VIEW_SPRITE_OFFSET = -20.0f;
// The current frame's row stands out; the coming ones are faint.
constexpr u32 BEAT_VIEW_SUMMED_NOW = 0x80FF8080u;
constexpr u32 BEAT_VIEW_SUMMED_LATER = 0x0EFF8080u;
constexpr u32 BEAT_VIEW_BAND_NOW = 0x808080FFu;
constexpr u32 BEAT_VIEW_BAND_LATER = 0x0EFFFFFFu;
constexpr u32 BEAT_VIEW_SPRITE_COLOUR = 0x40FF0000u;

const ClVec3 ANCHOR = {50.0f, -15.0f, 170.0f};
const ClVec3 UP = {0.0f, 1.0f, 0.0f};

f32 bandEnergy(const SThreeBandEnergy& energy, u32 band) {
    return band == 0 ? energy.low : band == 1 ? energy.middle : energy.high;
}

ClVec3 timeAxis() { return ClVec3{1.0f, 0.0f, -2.0f}.normalized(); }

}  // namespace

u32 beatViewWindowFrames(f32 frameDuration) { return frameDuration > 0.0f ? u32(BEAT_VIEW_SECONDS / frameDuration) : 0u; }

void drawBeatAnalysisView() {
    const f32 songTime = currentSongTime();
    const f32 ts = std::max(songTime, 0.0f);
    const f32 fd = beatAnalysis().frameDuration;
    const u32 windowFrames = beatViewWindowFrames(fd);
    if (windowFrames == 0) return;
    const u32 frameCount = std::min(beatAnalysis().frameCount, spectrumAnalysis().energyFrameCount);
    const SThreeBandEnergy* energies = spectrumAnalysis().threeBandEnergies;

    const ClVec3 d = timeAxis();
    const ClVec3 lane = d.cross(UP).normalized();
    const ClVec3 origin0 = ANCHOR - scaleVec3(lane, BEAT_VIEW_LANES_WIDTH / 2.0f);
    const f32 laneWidth = BEAT_VIEW_LANES_WIDTH / 3.0f;
    const f32 step = BEAT_VIEW_DEPTH / f32(windowFrames);
    const u32 window = onsetRiseWindow(fd);
    SMaterial* columns = getMaterialForEffectAndTextureName("EQ", "Images/square");

    const u32 f0 = u32(ts / fd);
    const u32 f1 = std::min(f0 + windowFrames, frameCount);
    ClVec3 origin = origin0;
    for (u32 f = f0; energies != nullptr && f < f1; ++f) {
        f32 summed = 0.0f;
        for (u32 band = 0; band < 3; ++band) summed += std::max(0.0f, onsetStrength(energies, frameCount, band, f, window));
        const f32 height = BEAT_VIEW_SUMMED_SCALE * summed;
        appendQuadCommand(origin - scaleVec3(lane, laneWidth) + scaleVec3(UP, height), d, lane, laneWidth, -height,
                          f == f0 ? BEAT_VIEW_SUMMED_NOW : BEAT_VIEW_SUMMED_LATER, columns, BEAT_VIEW_COLUMN_MASK, 0.0f);
        for (u32 band = 0; band < 3; ++band) {
            const f32 value = f == 0 ? bandEnergy(energies[0], band) : onsetStrength(energies, frameCount, band, f, window);
            const f32 bandHeight = BEAT_VIEW_BAND_SCALE * value;
            appendQuadCommand(origin + scaleVec3(lane, f32(band) * laneWidth) + scaleVec3(UP, bandHeight), d, lane, laneWidth, -bandHeight,
                              f == f0 ? BEAT_VIEW_BAND_NOW : BEAT_VIEW_BAND_LATER, columns, BEAT_VIEW_COLUMN_MASK, 0.0f);
        }
        origin += scaleVec3(d, step);
    }

    // No beat is delivered in this view: the index only moves past the beats already played.
    passBeatsPlayedBefore(songTime);
    const SBeatArray& beats = songBeats();
    if (!beats.inUse) return;
    SMaterial* sprites = getMaterialForEffectAndTextureName("Debug_Add", "Images/Geosphere");
    for (const SBeat& beat : beats) {
        if (beat.time >= ts + BEAT_VIEW_SECONDS) break;
        if (!(beat.time > songTime)) continue;
        const f32 offset = f32(u32((beat.time - songTime) / fd)) * step;
        appendSpriteCommand(origin0 + scaleVec3(d, offset) + scaleVec3(lane, BEAT_VIEW_SPRITE_OFFSET), BEAT_VIEW_SPRITE_SIZE,
                            BEAT_VIEW_SPRITE_COLOUR, sprites, BEAT_VIEW_SPRITE_MASK, 0.0f);
    }
}
