#include "world/play/play_cues.h"

#include "audio/sound/sound_engine.h"
#include "core/vec.h"

void playWorldCueAt(const char* name, const ClVec3& position) {
    (void)position;
    playCue(name);
}
