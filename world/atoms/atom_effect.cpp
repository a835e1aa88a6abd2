#include "world/atoms/atom_effect.h"

#include "core/colour_animator.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/timers.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_body.h"

namespace {

// Only Body atoms carry the colours and flags the effects act on.
ClAtom_Body* bodyOf(ClAtom* atom) {
    return atom && atom->kind == E_ATOM_BODY ? static_cast<ClAtom_Body*>(atom) : nullptr;
}

}  // namespace

void SAtomEffect::start(const SAtomEffectDesc& desc) {
    if (desc.kind > ATOM_EFFECT_KIND_LAST) fatalErrorf("atom effect kind %u does not exist", desc.kind);
    kind = desc.kind;
    duration = desc.duration;
    param0 = desc.param0;
    param1 = desc.param1;
    finished = 0;
    ClAtom_Body* body = bodyOf(atom);
    switch (kind) {
        case E_ATOM_EFFECT_HIT_FLASH:
        case E_ATOM_EFFECT_EDGE_FLASH:
            countdown = duration;
            break;
        case E_ATOM_EFFECT_RED:
            if (body)
                countdown = duration;
            else
                finished = 1;
            break;
        case E_ATOM_EFFECT_RED_HELD:
            break;
        case E_ATOM_EFFECT_COLOUR_FADE:
            if (!body) {
                finished = 1;
                break;
            }
            // A Body not yet configured has no triangle colour: it fades to where it is.
            body->colourAnimator.fadeFromCurrent(
                body->triangleColour ? body->triangleColour->current : body->colourAnimator.current, duration,
                E_COLOURANIM_EASE_LINEAR, 0.0f);
            break;
    }
}

void SAtomEffect::update() {
    ClAtom_Body* body = bodyOf(atom);
    if (!body) return;
    const f32 dt = gameClock(GAME_CLOCK_GAMEPLAY).frameTime;
    switch (kind) {
        case E_ATOM_EFFECT_HIT_FLASH:
        case E_ATOM_EFFECT_EDGE_FLASH:
        case E_ATOM_EFFECT_RED:
            if (countDownTimer(&countdown, dt) == 0.0f) finished = 1;
            break;
        case E_ATOM_EFFECT_COLOUR_FADE:
            if (finished) break;
            if (!body->colourAnimator.active) finished = 1;
            body->colourAnimator.advance(dt);
            break;
        default:
            break;
    }
}
