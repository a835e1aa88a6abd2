#include "world/effects/backdrop_label.h"

#include <algorithm>

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"

bool backdropRemainingSeconds(f32* outSeconds) {
    const SCueHandle cue = getSongCue();
    if (!cue || isCueFinished(cue)) return false;
    *outSeconds = std::max(getCueDuration(cue) - getCuePosition(cue), 0.0f);
    return true;
}

void updateBackdropTimeLabel() {
    f32 seconds = 0.0f;
    (void)backdropRemainingSeconds(&seconds);
}
