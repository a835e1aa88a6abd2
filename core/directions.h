// Directions and orientations: look rotations, the rotation between two directions, clamping a
// direction into a cone, and random directions drawn from the global generator.
#pragma once

#include "core/matrix33.h"
#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"

// The up vector to build a frame around the unit forward direction with: up itself, unless it
// is zero or within about 8 degrees of the forward line (|cos| above 0.99); then (0, 0, 1); and
// when forward lies along that too, (0, 1, 0), which is then always far enough off.
ClVec3 usableUpVector(const ClVec3& unitForward, const ClVec3& up);

// An orientation looking along forward: column 0 = right = forward x up, column 1 = the up
// rebuilt at right angles (right x forward), column 2 = minus forward, all unit length. The up
// vector falls back as usableUpVector says; a zero forward gives the identity.
void makeLookRotation(const ClVec3& forward, ClMatrix33* out, const ClVec3& up);

// The rotation about normalise(a x b) by the angle between a and b, as a matrix with no
// translation: a row vector along a, transformed by it (transformPoint), comes out along b.
// Parallel directions give the identity, opposite ones a half turn about a perpendicular of a.
ClMatrix44 rotationBetweenDirections(const ClVec3& a, const ClVec3& b);

// dir itself when its angle to the axis is at most limit (radians); otherwise the unit
// direction on the cone's edge in the plane of dir and axis, on dir's side. A dir exactly
// opposite the axis has no such plane and goes to the edge towards axis.perpendicular().
ClVec3 clampDirectionToCone(const ClVec3& dir, const ClVec3& axis, f32 limit);

// The same with the plane given by its normal, as callers that already hold normalise(axis x
// direction) pass it. The plane of direction and axis is the only one in which the clamped
// direction stays on direction's side, so the result is that of the form above.
void clampDirectionToCone(ClVec3* result, const ClVec3& direction, const ClVec3& axis, f32 maxAngle, const ClVec3& planeNormal);

// Three uniform draws in [-1, 1], drawn again while their length is below 1e-4, normalised.
// Not uniform over the sphere: points outside the unit ball are kept.
ClVec3 randomUnitVector3();

// A random unit direction within halfAngleDegrees of the axis; a half-angle of 0 or less gives
// the axis itself.
ClVec3 randomDirectionInCone(const ClVec3& axis, f32 halfAngleDegrees);
