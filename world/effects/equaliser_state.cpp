#include "world/effects/equaliser_state.h"

#include "render/tween.h"

f32 g_fGuardianLevel = 0.0f;
f32 g_fGuardianRise = 0.0f;
f32 g_fEqualiserPan = 0.0f;
f32 g_fEqualiserPanEdge = 0.0f;
f32 g_fEqualiserCeiling = 0.0f;

namespace {

constexpr f32 EQUALISER_PULSE_PERIOD = 2.0f;

SFloatTween g_EqualiserPulse;

}  // namespace

void resetEqualiserDisplay() {
    g_fEqualiserPan = 0.0f;
    g_fEqualiserPanEdge = 0.0f;
    g_fEqualiserCeiling = 0.0f;
    SFloatTweenDesc pulse = {};
    pulse.mode = E_TWEEN_OSCILLATE;
    pulse.curve = E_TWEEN_CURVE_COSINE;
    pulse.start = 0.0f;
    pulse.end = 1.0f;
    pulse.duration = EQUALISER_PULSE_PERIOD;
    g_EqualiserPulse.start(pulse);
}

void advanceEqualiserPulse(f32 dt) { g_EqualiserPulse.advance(dt); }

f32 equaliserPulseValue() { return g_EqualiserPulse.current; }
