// A colour blended from one packed ARGB colour to another over a duration, kept as packed
// ARGB in `current`.
#pragma once

#include "core/colour.h"
#include "core/types.h"

enum EColourTweenCurve : u32 {
    E_COLOURTWEEN_LINEAR = 0,
    E_COLOURTWEEN_COSINE = 1,  // raised cosine
};

struct SColourTween {
    u32 curve = E_COLOURTWEEN_LINEAR;  // set by the owner; start leaves it alone
    SColourRGBA startColour = {};
    SColourRGBA endColour = {};
    SColourRGBA delta = {};  // endColour - startColour
    u32 current = 0;
    f32 duration = 0.0f;  // 0 once finished
    f32 invDuration = 0.0f;
    f32 time = 0.0f;
};

// A non-zero applyNow advances the new blend at once by that many seconds.
void startColourTween(SColourTween* tween, u32 from, u32 to, f32 duration, f32 applyNow);
// An invalid curve is fatal.
void advanceColourTween(SColourTween* tween, f32 dt);
