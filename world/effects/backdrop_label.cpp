#include "world/effects/backdrop_label.h"

#include <algorithm>

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "ui/widget.h"
#include "world/processors/behaviour_imports.h"

namespace {

constexpr u32 LABEL_CAPACITY = 64;

// Seconds left of the playing song (never negative); false before the song cue exists and once it
// has finished.
bool backdropRemainingSeconds(f32* outSeconds) {
    const SCueHandle cue = getSongCue();
    if (!cue || isCueFinished(cue)) return false;
    *outSeconds = std::max(getCueDuration(cue) - getCuePosition(cue), 0.0f);
    return true;
}

}  // namespace

void updateBackdropTimeLabel() {
    ClWidget* label = findWidgetByName("playback_time_remaining");
    if (!label) return;
    char16_t text[LABEL_CAPACITY] = {};
    f32 seconds = 0.0f;
    if (backdropRemainingSeconds(&seconds)) {
        g_BehaviourImports.formatPlayTime(seconds, text, LABEL_CAPACITY);
        label->setLocalizedId("localizedID", 0);
    }
    label->setWideText("dynamicUnicodeText", text);
}
