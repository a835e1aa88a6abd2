// Short timed effects an atom carries: the hit and edge flashes, the red look and the fade of a
// Body's colour to its triangle colour. They act on Body atoms; on the other kinds the timed ones
// start but never finish, and the others finish at once.
#pragma once

#include "core/types.h"

class ClAtom;

enum EAtomEffectKind : u32 {
    E_ATOM_EFFECT_HIT_FLASH = 0,   // white triangles fading over the duration
    E_ATOM_EFFECT_EDGE_FLASH = 1,  // flicker along the edge named by the first word
    E_ATOM_EFFECT_RED = 2,         // the red look for the duration
    E_ATOM_EFFECT_RED_HELD = 3,    // the red look until removed
    E_ATOM_EFFECT_COLOUR_FADE = 4, // the Body's colour fades to its triangle colour
};
constexpr u32 ATOM_EFFECT_KIND_LAST = E_ATOM_EFFECT_COLOUR_FADE;

// What an effect is started from: kind, duration in seconds and two parameter words.
struct SAtomEffectDesc {
    u32 kind;
    f32 duration;
    u32 param0;
    u32 param1;
};

struct SAtomEffect {
    u32 kind = 0;
    f32 duration = 0.0f;
    u32 param0 = 0;
    u32 param1 = 0;
    u32 finished = 0;
    ClAtom* atom = nullptr;  // the owner, set before start
    f32 countdown = 0.0f;    // seconds left of a timed kind

    // A kind above 4 is fatal.
    void start(const SAtomEffectDesc& desc);
    // Once per frame, by the gameplay clock's step.
    void update();
};
