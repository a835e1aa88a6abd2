#include "render/camera_blend.h"

#include "core/fatal_error.h"
#include "core/matrix44.h"

#include <cmath>

namespace {
constexpr f32 kPi = 3.14159265358979f;

ClMatrix44 toMatrix44(const ClMatrix33& m) {
    ClMatrix44 out;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out.m[4 * r + c] = m.at(r, c);
    return out;
}
}  // namespace

f32 blendCurveValue(u32 curve, f32 t) {
    switch (curve) {
    case E_BLEND_LINEAR: return t;
    case E_BLEND_COSINE: return (1.0f + std::cos((1.0f - t) * kPi)) * 0.5f;
    case E_BLEND_INVERSE_SQUARE: return 1.0f - t * t;
    case E_BLEND_SQUARE_OUT: return 1.0f - (1.0f - t) * (1.0f - t);
    case E_BLEND_FOURTH_OUT: {
        const f32 u = (1.0f - t) * (1.0f - t);
        return 1.0f - u * u;
    }
    default: fatalErrorf("blend curve %u does not exist", curve);
    }
}

void ClVectorBlend::start(const ClVec3& from, const ClVec3& to, f32 duration, f32 firstStep, u32 curve) {
    m_from = from;
    m_to = to;
    m_difference = to - from;
    m_curve = curve;
    m_duration = duration;
    m_inverseDuration = duration > 0.0f ? 1.0f / duration : 0.0f;
    m_elapsed = firstStep;
    evaluate();
}

void ClVectorBlend::evaluate() {
    if (m_elapsed >= m_duration) {
        m_value = m_to;
        return;
    }
    m_value = m_from + scaleVec3(m_difference, blendCurveValue(m_curve, m_elapsed * m_inverseDuration));
}

const ClVec3& ClVectorBlend::update(f32 dt) {
    m_elapsed += dt;
    evaluate();
    return m_value;
}

ClMatrix33 blendOrientation(const ClMatrix33& from, const ClMatrix33& to, f32 t, u32 curve) {
    if (curve != E_BLEND_LINEAR && curve != E_BLEND_COSINE) fatalErrorf("orientation blend curve %u does not exist", curve);
    // Orientations turn row vectors: to = from x R, so R = from^T x to.
    ClMatrix33 fromTransposed;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) fromTransposed.set(r, c, from.at(c, r));
    const ClMatrix33 relative = fromTransposed.multiply(to);
    ClVec3 axis;
    const f32 angle = toMatrix44(relative).toAxisAngle(&axis);
    ClMatrix44 partial;
    partial.setRotationAxisAngle(axis, angle * blendCurveValue(curve, t));
    ClMatrix33 partial33;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) partial33.set(r, c, partial.m[4 * r + c]);
    return from.multiply(partial33);
}
