// What the song clock and the beat events show on screen. The equaliser, its pulse and the
// beat-analysis view belong to the game world, which the audio layer does not know; the world
// installs its functions here at start-up. Without them nothing is drawn and nothing else changes.
#pragma once

#include "core/types.h"

struct SSongDisplayHooks {
    // A new song: the display values go back to 0 and the equaliser pulse starts again.
    void (*resetDisplay)();
    // Once per drawn frame, before the song time is read: the equaliser pulse moves on by dt.
    void (*advancePulse)(f32 dt);
    // The equaliser strip for spectral frame `frame` (-1 before the song's first frame).
    void (*drawEqualiser)(s32 frame);
    // The onsets and beats of the next seconds, drawn instead of delivering beats.
    void (*drawBeatAnalysisView)();
};

// Null members are skipped; a null record removes every hook.
void setSongDisplayHooks(const SSongDisplayHooks* hooks);
const SSongDisplayHooks& songDisplayHooks();
