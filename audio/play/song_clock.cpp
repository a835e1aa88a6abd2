#include "audio/play/song_clock.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/audio_imports.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"

s32 g_iSpectrumFrame = -1;
s32 currentSpectrumFrame() { return g_iSpectrumFrame; }

namespace {
SCueHandle g_SongCue;
f32 g_fSongTime = 0.0f;
}  // namespace

f32 currentSongTime() { return g_fSongTime; }

void setSongTime(f32 seconds) { g_fSongTime = seconds; }

void resetSongAnalysis() {
    resetSpectrumAnalysis();
    resetSongFeatures();
    g_SongCue = SCueHandle{};
    g_iSpectrumFrame = -1;
    g_fSongTime = 0.0f;
    if (audioImports().resetDisplay) audioImports().resetDisplay();
}

void releaseSongAnalysis() {
    if (g_SongCue) {
        stopCue(g_SongCue, 0.0f);
        // stopCue with no fade already freed the handle; the generation check makes this harmless.
        releaseCueWhenFinished(g_SongCue);
        g_SongCue = SCueHandle{};
    }
    releaseSongFeatures();
    releaseSpectrumAnalysis();
}

void setSongCue(SCueHandle cue) { g_SongCue = cue; }

SCueHandle getSongCue() { return g_SongCue; }

s32 spectrumFrameAt(f32 songTime, f32 frameDuration, u32 frameCount) {
    if (frameCount == 0 || !(frameDuration > 0.0f)) return -1;
    const f32 frames = songTime / frameDuration;
    if (!(frames > 0.0f)) return 0;
    if (frames >= f32(frameCount - 1)) return s32(frameCount - 1);
    return s32(frames);
}

void updateSongClock(u32 followCue) {
    const SAudioImports& hooks = audioImports();
    if (hooks.advancePulse) hooks.advancePulse(frameTime());

    if (followCue) {
        if (!g_SongCue) fatalError("updateSongClock: asked to follow the song cue, but no song is playing");
        g_fSongTime = getCuePosition(g_SongCue);
    } else {
        g_fSongTime += frameTime();
        if (g_fSongTime < 0.0f) {
            g_iSpectrumFrame = -1;
            return;
        }
    }

    g_iSpectrumFrame = spectrumFrameAt(g_fSongTime, g_SongFeatures.frameDuration,
                                       g_SpectrumAnalysis.header.frameCount);
    if (g_SongCue && hooks.drawEqualiser) hooks.drawEqualiser(g_iSpectrumFrame);
}
