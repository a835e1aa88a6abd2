#include "world/services/positioned_sound.h"

#include "core/float_helpers.h"
#include "world/services/play_area.h"

f32 cuePanForWorldX(f32 x) { return 2.0f * clamp01(x / PLAY_AREA_WIDTH) - 1.0f; }

SCueHandle playSoundCueAt(const char* cueName, const ClVec3& position) {
    const SCueHandle cue = playCueHeld(cueName);
    if (cue) {
        setCuePan(cue, cuePanForWorldX(position.x));
        releaseCueWhenFinished(cue);
    }
    return cue;
}

void panCueByWorldX(SCueHandle cue, const ClVec3& position) {
    if (cue) setCuePan(cue, cuePanForWorldX(position.x));
}
