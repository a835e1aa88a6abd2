// Cameras: a pose, a perspective projection and a per-frame behaviour. The plain camera serves
// blends and rendering; the debug camera flies freely; the in-game camera looks down on the arena
// from a fixed direction, follows smoothly and shakes on hits.
//
// The orientation's columns are right, up and backward (core/matrix44.h); a camera looks along
// minus its backward axis, and its projection maps view-space -z into the screen.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/transform_node.h"

struct SCameraFrame;

class ClWorldObject {
public:
    // Identity orientation at the origin, unit scale.
    void resetTransform();
    // Looks at target from position with up (0, 1, 0).
    void setPositionLookingAt(const ClVec3& position, const ClVec3& target);
    STransformNode node;
};

class ClCamera : public ClWorldObject {
public:
    ClCamera();
    virtual ~ClCamera() = default;

    // The inverse of the camera's world orientation and position.
    virtual void getViewMatrix(ClMatrix44* out) const;
    virtual void pushViewTransform() const;
    // Reflected about the plane y = planeHeight, for the water.
    virtual void pushMirroredViewTransform(f32 planeHeight) const;
    virtual void popViewTransform() const;
    // From fov, near and far and the current render target's aspect.
    virtual void pushProjectionTransform() const;
    virtual void popProjectionTransform() const;
    // Per frame while active.
    virtual void update() {}
    // Per frame for the top camera of view slot 0.
    virtual void frameHook() {}

    // A duration of 0 stops a shake.
    void startShake(const ClVec3& axisWeights, f32 duration, f32 magnitude);
    void copyFrom(const ClCamera& other);
    void applyFrame(const SCameraFrame& frame);
    void getProjectionMatrix(ClMatrix44* out) const;
    // Normalised screen point: x and y in [0, 1] with 0 at the top. inFront, when given, says
    // whether the point lies in front of the camera (the point is meaningless otherwise).
    ClVec2 projectToScreen(const ClVec3& worldPoint, bool* inFront = nullptr) const;
    // The world point at the given normalised screen point and projected depth (0 near, 1 far).
    ClVec3 unprojectScreenPoint(const ClVec2& screenPoint, f32 depth) const;
    ClVec3 position() const { return node.position; }

    ClVec3 shakeAxes;
    f32 shakeDuration = 0.0f;
    f32 shakeRemaining = 0.0f;
    f32 shakeMagnitude = 0.0f;
    ClVec3 lookOffset;
    f32 fov = 55.0f;
    f32 nearPlane = 0.5f;
    f32 farPlane = 1000.0f;
    f32 smoothingFactor = 0.9f;
    ClVec3 smoothedPosition;
    u32 active = 0;
};

class ClCameraDebug final : public ClCamera {
public:
    ClCameraDebug();
    // Moves on the debug-camera channels while the integer state stack reads 0, in real time.
    void update() override;
};

// The fixed viewing direction of the in-game camera and its distance from what it looks at.
ClVec3 inGameViewDirection();
constexpr f32 IN_GAME_CAMERA_DISTANCE = 440.0f;

class ClCameraInGame final : public ClCamera {
public:
    ClCameraInGame();
    void resetMotion();
    void placeLookingAlong(const ClVec3& position, const ClVec3& direction);
    // Follows the arena focus (or the player) from IN_GAME_CAMERA_DISTANCE along the view
    // direction, shakes while the game runs, and fits the field of view to the screen.
    void update() override;
    f32 aspectCorrection;
};
