#include "render/camera.h"

#include "core/config.h"
#include "core/directions.h"
#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/timers.h"
#include "input/input_channels.h"
#include "render/camera_inputs.h"
#include "render/camera_list.h"
#include "render/render_state.h"
#include "render/state_stacks.h"
#include "render/transform_stacks.h"

#include <cmath>

namespace {

// The debug field of view the debug camera writes into itself each frame.
f32 g_fDebugCameraFov = 50.0f;

SCameraWorldInputs g_CameraWorldInputs = {};

}  // namespace

const SCameraWorldInputs& cameraWorldInputs() { return g_CameraWorldInputs; }

void setCameraWorldView(const ClVec3& arenaFocus, u32 playerExists, const ClVec3& playerPosition) {
    g_CameraWorldInputs.arenaFocus = arenaFocus;
    g_CameraWorldInputs.playerExists = playerExists;
    g_CameraWorldInputs.playerPosition = playerPosition;
}

void setCameraActionRunning(u32 running) { g_CameraWorldInputs.actionGameRunning = running; }

void setCameraPauseFlags(u32 paused, u32 pauseKind, u32 tipPending) {
    g_CameraWorldInputs.pauseFlags[0] = paused;
    g_CameraWorldInputs.pauseFlags[1] = pauseKind;
    g_CameraWorldInputs.pauseFlags[2] = tipPending;
}

bool cameraGamePaused() {
    const u32* flags = g_CameraWorldInputs.pauseFlags;
    return flags[0] || flags[1] || flags[2];
}

namespace {

const ClVec3 kWorldUp(0.0f, 1.0f, 0.0f);
constexpr f32 kPi = 3.14159265358979f;

// Debug-camera channels.
enum : int {
    E_DEBUG_FOV_DOWN = 0,
    E_DEBUG_FOV_UP,
    E_DEBUG_FAST,
    E_DEBUG_RIGHT,
    E_DEBUG_LEFT,
    E_DEBUG_UP,
    E_DEBUG_DOWN,
    E_DEBUG_FORWARD,
    E_DEBUG_BACK,
    E_DEBUG_YAW,    // analogue, -1 .. 1
    E_DEBUG_PITCH,  // analogue, -1 .. 1
};
constexpr f32 kDebugMoveSpeed = 10.0f;
constexpr f32 kDebugTurnSpeed = 1.5f;  // radians per second at full deflection
constexpr f32 kDebugFastFactor = 3.0f;

f32 debugChannel(int channel) {
    const SInputChannel* c = getDebugCameraChannel(channel);
    return c ? channelValue(c) : 0.0f;
}
bool debugHeld(int channel) {
    const SInputChannel* c = getDebugCameraChannel(channel);
    return c && isChannelHeld(c);
}
bool debugPressed(int channel) {
    const SInputChannel* c = getDebugCameraChannel(channel);
    return c && isChannelPressed(c);
}

ClVec3 forwardOf(const ClMatrix33& orientation) { return orientation.getColumn(2).negated(); }

}  // namespace

void ClWorldObject::resetTransform() {
    node = STransformNode{};
    node.scale = ClVec3(1.0f, 1.0f, 1.0f, 0.0f);
}

void ClWorldObject::setPositionLookingAt(const ClVec3& position, const ClVec3& target) {
    node.setPosition(position);
    ClMatrix33 orientation;
    makeLookRotation((target - position).normalized(), &orientation, kWorldUp);
    node.setOrientation(orientation);
}

ClCamera::ClCamera() {
    resetTransform();
    fov = 90.0f;
    fov = 55.0f;
}

void ClCamera::getViewMatrix(ClMatrix44* out) const { *out = makeWorldMatrix(node.position, node.orientation).getInverse(); }

void ClCamera::pushViewTransform() const {
    ClMatrix44 view;
    getViewMatrix(&view);
    pushTransform(E_TRANSFORM_VIEW, view);
}

void ClCamera::pushMirroredViewTransform(f32 planeHeight) const {
    ClVec3 position = node.position;
    position.y = 2.0f * planeHeight - position.y;
    ClVec3 forward = forwardOf(node.orientation);
    forward.y = -forward.y;
    ClMatrix33 orientation;
    makeLookRotation(forward.normalized(), &orientation, kWorldUp);
    pushTransform(E_TRANSFORM_VIEW, makeWorldMatrix(position, orientation).getInverse());
}

void ClCamera::popViewTransform() const { popTransform(E_TRANSFORM_VIEW); }

void ClCamera::getProjectionMatrix(ClMatrix44* out) const {
    // The device's perspective looks along +z; the camera looks along -z in view space.
    buildProjectionMatrix(out, SProjectionParams{fov, nearPlane, farPlane});
    for (int i = 8; i < 12; ++i) out->m[i] = -out->m[i];
}

void ClCamera::pushProjectionTransform() const {
    ClMatrix44 projection;
    getProjectionMatrix(&projection);
    pushTransform(E_TRANSFORM_PROJECTION, projection);
}

void ClCamera::popProjectionTransform() const { popTransform(E_TRANSFORM_PROJECTION); }

void ClCamera::startShake(const ClVec3& axisWeights, f32 duration, f32 magnitude) {
    shakeAxes = axisWeights;
    shakeDuration = duration;
    shakeRemaining = duration;
    shakeMagnitude = magnitude;
}

void ClCamera::copyFrom(const ClCamera& other) {
    node = other.node;
    shakeAxes = other.shakeAxes;
    shakeDuration = other.shakeDuration;
    shakeRemaining = other.shakeRemaining;
    shakeMagnitude = other.shakeMagnitude;
    lookOffset = other.lookOffset;
    fov = other.fov;
    nearPlane = other.nearPlane;
    farPlane = other.farPlane;
    smoothingFactor = other.smoothingFactor;
    smoothedPosition = other.smoothedPosition;
    active = other.active;
}

void ClCamera::applyFrame(const SCameraFrame& frame) {
    node.setPosition(frame.position);
    node.setOrientation(frame.orientation);
    fov = frame.fov;
}

ClVec2 ClCamera::projectToScreen(const ClVec3& worldPoint, bool* inFront) const {
    ClMatrix44 view, projection;
    getViewMatrix(&view);
    getProjectionMatrix(&projection);
    ClVec3 p = worldPoint;
    p.w = 1.0f;
    const ClVec3 clip = view.multiply(projection).transformPoint(p);
    if (inFront) *inFront = clip.w > 0.0f;
    return ClVec2(0.5f + 0.5f * clip.x / clip.w, 0.5f - 0.5f * clip.y / clip.w);
}

ClVec3 ClCamera::unprojectScreenPoint(const ClVec2& screenPoint, f32 depth) const {
    ClMatrix44 view, projection;
    getViewMatrix(&view);
    getProjectionMatrix(&projection);
    const ClVec3 clip(2.0f * screenPoint.x - 1.0f, 1.0f - 2.0f * screenPoint.y, depth, 1.0f);
    const ClVec3 p = view.multiply(projection).getInverse().transformPoint(clip);
    return ClVec3(p.x / p.w, p.y / p.w, p.z / p.w, 0.0f);
}

ClCameraDebug::ClCameraDebug() {
    node.position = ClVec3(4.8189607f, 5.937681f, 9.863971f);
    // The three columns, taken transposed: they are the rows of the orientation.
    const ClVec3 c0(0.99997014f, 0.0048895786f, -0.005992524f);
    const ClVec3 c1(0.0f, 0.7748056f, 0.63219976f);
    const ClVec3 c2(0.0077342303f, -0.63218087f, 0.77478236f);
    ClMatrix33 columns;
    columns.setColumns(c0, c1, c2);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) node.orientation.set(r, c, columns.at(c, r));
    fov = 60.0f;
}

void ClCameraDebug::update() {
    if (peekIntStateStack() != 0) return;
    if (debugPressed(E_DEBUG_FOV_DOWN) && g_fDebugCameraFov > 5.0f) g_fDebugCameraFov -= 5.0f;
    if (debugPressed(E_DEBUG_FOV_UP) && g_fDebugCameraFov < 170.0f) g_fDebugCameraFov += 5.0f;
    fov = g_fDebugCameraFov;
    const f32 dt = gameClock(GAME_CLOCK_SYSTEM).frameTime;
    const f32 speed = kDebugMoveSpeed * (debugHeld(E_DEBUG_FAST) ? kDebugFastFactor : 1.0f) * dt;
    const ClVec3 right = node.orientation.getColumn(0);
    const ClVec3 up = node.orientation.getColumn(1);
    const ClVec3 forward = forwardOf(node.orientation);
    ClVec3 move;
    auto along = [&](int plus, int minus, const ClVec3& axis) {
        const f32 amount = f32(debugHeld(plus)) - f32(debugHeld(minus));
        if (amount != 0.0f) move += scaleVec3(axis, amount * speed);
    };
    along(E_DEBUG_RIGHT, E_DEBUG_LEFT, right);
    along(E_DEBUG_UP, E_DEBUG_DOWN, up);
    along(E_DEBUG_FORWARD, E_DEBUG_BACK, forward);
    node.position += move;
    const f32 yaw = debugChannel(E_DEBUG_YAW) * kDebugTurnSpeed * dt;
    const f32 pitch = debugChannel(E_DEBUG_PITCH) * kDebugTurnSpeed * dt;
    if (yaw != 0.0f || pitch != 0.0f) {
        ClVec3 turned = forward + scaleVec3(right, yaw) + scaleVec3(up, pitch);
        makeLookRotation(turned.normalized(), &node.orientation, kWorldUp);
    }
}

ClVec3 inGameViewDirection() { return ClVec3(0.0f, -0.86f, -0.83f).normalized(); }

ClCameraInGame::ClCameraInGame() {
    node.position = ClVec3(0.0f, 0.0f, 10.0f);
    aspectCorrection = 1.7777778f / getRenderTargetAspect();
}

void ClCameraInGame::resetMotion() {
    smoothedPosition = ClVec3();
    shakeRemaining = 0.0f;
}

void ClCameraInGame::placeLookingAlong(const ClVec3& position, const ClVec3& direction) {
    node.setPosition(position);
    ClMatrix33 orientation;
    makeLookRotation(direction.normalized(), &orientation, kWorldUp);
    node.setOrientation(orientation);
}

void ClCameraInGame::update() {
    const SCameraWorldInputs& in = g_CameraWorldInputs;
    const ClVec3 direction = inGameViewDirection();
    const ClVec3 focus = in.arenaFocus;
    bool follow = true;
    ClVec3 followPoint;
    if (!in.actionGameRunning) {
        followPoint = ClVec3(focus.x, 0.0f, focus.z * 0.5f);
    } else if (in.playerExists) {
        followPoint = configGetInt("USE_PAD_MONKEY") != 0 ? focus : in.playerPosition;
    } else {
        follow = false;
    }
    // The camera stands back from the focus against the viewing direction, so that the focus
    // lies straight ahead of it.
    if (follow) {
        const ClVec3 target = focus - scaleVec3(direction, IN_GAME_CAMERA_DISTANCE) + scaleVec3(followPoint - focus, 0.2f);
        smoothedPosition += scaleVec3(target - smoothedPosition, smoothingFactor);
    }
    ClVec3 shake;
    bool shaking = false;
    if (!cameraGamePaused() && shakeRemaining > 0.0f) {
        countDownTimer(&shakeRemaining, gameClock(GAME_CLOCK_GAMEPLAY).frameTime);
        const f32 rm = (shakeDuration > 0.0f ? shakeRemaining / shakeDuration : 0.0f) * shakeMagnitude;
        shake = ClVec3(shakeAxes.x * rm, shakeAxes.y * rm, shakeAxes.z * rm) + scaleVec3(randomUnitVector3(), rm);
        shaking = true;
    }
    if (follow || shaking) placeLookingAlong(smoothedPosition + shake, direction);
    fov = clampFloat(34.0f * aspectCorrection, 34.0f, 38.0f);
}
