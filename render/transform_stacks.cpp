#include "render/transform_stacks.h"

#include "core/fatal_error.h"
#include "render/render_state.h"

#include <cmath>

namespace {

struct STransformStack {
    ClMatrix44 entries[TRANSFORM_STACK_DEPTH];
    u32 depth = 0;
};

STransformStack g_aTransformStacks[TRANSFORM_STACK_COUNT];
const ClMatrix44 kIdentity;

const char* const kStackNames[TRANSFORM_STACK_COUNT] = {"projection", "view", "world", "texture"};

STransformStack& stackOf(u32 type) {
    if (type >= TRANSFORM_STACK_COUNT) fatalErrorf("transform stack %u does not exist", type);
    return g_aTransformStacks[type];
}

// Stores the matrix as the new top, as it is.
void pushEntry(u32 type, const ClMatrix44& matrix) {
    STransformStack& stack = stackOf(type);
    if (stack.depth == TRANSFORM_STACK_DEPTH)
        fatalErrorf("the %s transform stack overflows: more than %u pushes", kStackNames[type], TRANSFORM_STACK_DEPTH);
    stack.entries[stack.depth++] = matrix;
}

}  // namespace

void resetTransformStacks() {
    for (STransformStack& stack : g_aTransformStacks) stack.depth = 0;
}

void pushTransform(u32 type, const ClMatrix44& matrix) {
    pushEntry(type, stackOf(type).depth == 0 ? matrix : matrix.multiply(transformStackTop(type)));
}

void popTransform(u32 type) {
    STransformStack& stack = stackOf(type);
    if (stack.depth == 0) fatalErrorf("the %s transform stack underflows: pop without a push", kStackNames[type]);
    --stack.depth;
}

const ClMatrix44& transformStackTop(u32 type) {
    const STransformStack& stack = stackOf(type);
    return stack.depth == 0 ? kIdentity : stack.entries[stack.depth - 1];
}

ClMatrix44 makeOrthoProjection(f32 width, f32 height) {
    // Left 0, right width, bottom height, top 0.
    const f32 zRange = ORTHO_FAR_Z - ORTHO_NEAR_Z;
    ClMatrix44 m;
    m.setZero();
    m.m[0] = 2.0f / width;
    m.m[5] = -2.0f / height;
    m.m[10] = 1.0f / zRange;
    m.m[12] = -1.0f;
    m.m[13] = 1.0f;
    m.m[14] = -ORTHO_NEAR_Z / zRange;
    m.m[15] = 1.0f;
    return m;
}

void pushOrthoProjection(f32 width, f32 height) {
    pushEntry(E_TRANSFORM_PROJECTION, makeOrthoProjection(width, height));
    pushEntry(E_TRANSFORM_VIEW, kIdentity);
}

void buildProjectionMatrix(ClMatrix44* out, const SProjectionParams& params) {
    constexpr f32 kPi = 3.14159265358979f;
    const f32 yScale = 1.0f / std::tan(params.fieldOfViewDegrees * kPi / 180.0f * 0.5f);
    const f32 xScale = yScale / getRenderTargetAspect();
    ClMatrix44& m = *out;
    m.setZero();
    m.m[0] = xScale;
    m.m[5] = yScale;
    m.m[10] = params.farZ / (params.farZ - params.nearZ);
    m.m[11] = 1.0f;
    m.m[14] = params.nearZ * params.farZ / (params.nearZ - params.farZ);
}

ClMatrix44 makeOffCentreProjection(const SProjectionParams& params, f32 offsetX, f32 offsetY, f32 aspect) {
    const f32 left = -0.5f - offsetX;
    const f32 right = 0.5f - offsetX;
    const f32 bottom = -0.5f / aspect - offsetY;
    const f32 top = 0.5f / aspect - offsetY;
    const f32 nearZ = params.nearZ;
    const f32 farZ = params.farZ;
    ClMatrix44 m;
    m.setZero();
    m.m[0] = 2.0f * nearZ / (right - left);
    m.m[5] = 2.0f * nearZ / (top - bottom);
    m.m[8] = (left + right) / (left - right);
    m.m[9] = (top + bottom) / (bottom - top);
    m.m[10] = farZ / (farZ - nearZ);
    m.m[11] = 1.0f;
    m.m[14] = nearZ * farZ / (nearZ - farZ);
    // The left-handed form sees along +z; the cameras' views look along -z, so the z row turns
    // round, as in the cameras' own projection.
    for (int i = 8; i < 12; ++i) m.m[i] = -m.m[i];
    return m;
}

void pushOffCentreProjection(const SProjectionParams& params, f32 offsetX, f32 offsetY) {
    pushTransform(E_TRANSFORM_PROJECTION, makeOffCentreProjection(params, offsetX, offsetY, getRenderTargetAspect()));
}
