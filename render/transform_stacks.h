// The renderer's four transform stacks and the projections pushed on them. Effects read the tops
// (transformStackTop) for their matrix uniforms.
//
// Matrices are kept in the renderer's row-vector layout (core/matrix44.h), which is also the layout
// the effects take. Pushing composes: the new top is the given matrix x the old top (the child
// first, then its parent).
#pragma once

#include "core/matrix44.h"
#include "core/types.h"

enum E_TransformStack : u32 {
    E_TRANSFORM_PROJECTION = 0,
    E_TRANSFORM_VIEW = 1,
    E_TRANSFORM_WORLD = 2,
    E_TRANSFORM_TEXTURE0 = 3,
};

constexpr u32 TRANSFORM_STACK_COUNT = 4;
constexpr u32 TRANSFORM_STACK_DEPTH = 16;

// The orthographic projection's depth range, in the 2D layers' z units.
constexpr f32 ORTHO_NEAR_Z = -4000.0f;
constexpr f32 ORTHO_FAR_Z = 4000.0f;

// Every stack empty.
void resetTransformStacks();

// A 17th entry stops the program, as does popping an empty stack: both would leave the stack's
// owner drawing with a transform nobody pushed.
void pushTransform(u32 type, const ClMatrix44& matrix);
void popTransform(u32 type);

// The top of a stack (the identity while it is empty), for effects that combine world, view and
// projection themselves.
const ClMatrix44& transformStackTop(u32 type);

// Left-handed orthographic off-centre projection: x 0..width maps left to right, y 0..height top
// to bottom, z ORTHO_NEAR_Z..ORTHO_FAR_Z to depth 0..1. Pushed as it is (not composed) on the
// projection stack, with an identity on the view stack.
void pushOrthoProjection(f32 width, f32 height);
ClMatrix44 makeOrthoProjection(f32 width, f32 height);

struct SProjectionParams {
    f32 fieldOfViewDegrees;  // vertical; not read by the off-centre form
    f32 nearZ;
    f32 farZ;
};

// Symmetric left-handed perspective for the current render target's aspect; depth 0 at near,
// 1 at far.
void buildProjectionMatrix(ClMatrix44* out, const SProjectionParams& params);
// Off-centre perspective whose unit-wide near-plane window (1 / aspect high) is shifted by the
// offsets, for the preview targets, whose cameras' views look along -z like every camera's: a
// point in front of the camera gets depth 0 at near and 1 at far.
ClMatrix44 makeOffCentreProjection(const SProjectionParams& params, f32 offsetX, f32 offsetY, f32 aspect);
// The off-centre projection for the current render target's aspect, pushed and applied.
void pushOffCentreProjection(const SProjectionParams& params, f32 offsetX, f32 offsetY);
