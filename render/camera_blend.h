// Timed blends of a vector and an orientation along a curve: 0 linear, 1 cosine,
// 2 1 - t^2 (it starts at the end value and runs back), 3 1 - (1 - t)^2, 4 1 - (1 - t)^4.
// The orientation blend takes curves 0 and 1 only; any other curve is fatal when evaluated.
#pragma once

#include "core/matrix33.h"
#include "core/types.h"
#include "core/vec.h"

enum E_BlendCurve : u32 {
    E_BLEND_LINEAR = 0,
    E_BLEND_COSINE = 1,
    E_BLEND_INVERSE_SQUARE = 2,
    E_BLEND_SQUARE_OUT = 3,
    E_BLEND_FOURTH_OUT = 4,
};

// f(t) of the curve, t in [0, 1].
f32 blendCurveValue(u32 curve, f32 t);

class ClVectorBlend {
public:
    // elapsed starts at firstStep; a duration of 0 or less gives the end value at once.
    void start(const ClVec3& from, const ClVec3& to, f32 duration, f32 firstStep = 0.0f, u32 curve = E_BLEND_LINEAR);
    // Advances by dt and returns the value; at the end it holds to.
    const ClVec3& update(f32 dt);
    const ClVec3& value() const { return m_value; }
    bool finished() const { return m_elapsed >= m_duration; }

private:
    void evaluate();
    ClVec3 m_from, m_to, m_difference, m_value;
    u32 m_curve = E_BLEND_LINEAR;
    f32 m_duration = 0.0f, m_inverseDuration = 0.0f, m_elapsed = 0.0f;
};

// The orientation turned from `from` towards `to` by f(t) of their relative rotation's angle.
ClMatrix33 blendOrientation(const ClMatrix33& from, const ClMatrix33& to, f32 t, u32 curve);
