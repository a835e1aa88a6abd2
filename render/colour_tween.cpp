#include "render/colour_tween.h"

#include <cmath>

#include "core/fatal_error.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

}  // namespace

void startColourTween(SColourTween* tween, u32 from, u32 to, f32 duration, f32 applyNow) {
    if (duration == 0.0f) {
        tween->endColour = unpackColourARGB(to);
        tween->current = to;
        tween->duration = 0.0f;
        return;
    }
    tween->startColour = unpackColourARGB(from);
    tween->endColour = unpackColourARGB(to);
    tween->delta = colourDifference(tween->startColour, tween->endColour);
    tween->current = from;
    tween->duration = duration;
    tween->invDuration = 1.0f / duration;
    tween->time = 0.0f;
    if (applyNow != 0.0f) advanceColourTween(tween, applyNow);
}

void advanceColourTween(SColourTween* tween, f32 dt) {
    if (tween->duration == 0.0f) return;
    tween->time += dt;
    if (tween->time >= tween->duration) {
        packColourARGB(&tween->current, tween->endColour);
        tween->duration = 0.0f;
        return;
    }
    const f32 t = tween->time / tween->duration;
    f32 u = t;
    if (tween->curve == E_COLOURTWEEN_COSINE) {
        u = (std::cos((1.0f - t) * PI) + 1.0f) / 2.0f;
    } else if (tween->curve != E_COLOURTWEEN_LINEAR) {
        fatalErrorf("colour tween: invalid curve %u", tween->curve);
    }
    packColourARGB(&tween->current, colourBlend(tween->startColour, tween->delta, u));
}
