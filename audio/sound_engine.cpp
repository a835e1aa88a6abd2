#include "audio/sound_engine.h"

void updateAudioEngine(f32) {
    // No sound system is open in this build: nothing plays, nothing fades.
}
