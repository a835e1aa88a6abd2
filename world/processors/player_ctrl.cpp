#include "world/processors/player_ctrl.h"

#include "core/config.h"
#include "core/game_clock.h"
#include "core/saved_options.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"

#include <cmath>

u32 g_iFireTrigger = 0;

namespace {

// The controller sensitivity that moves the ship at SHIP_PAD_SPEED.
constexpr f32 NORMAL_CONTROLLER_SENSITIVITY = 5.0f;

// A channel the input layer does not have reads as released.
f32 valueOf(int channel) {
    const SInputChannel* ch = getPlayerChannel(0, channel);
    return ch ? channelValue(ch) : 0.0f;
}
u32 heldOf(int channel) {
    const SInputChannel* ch = getPlayerChannel(0, channel);
    return ch ? isChannelHeld(ch) : 0u;
}
u32 pressedOf(int channel) {
    const SInputChannel* ch = getPlayerChannel(0, channel);
    return ch ? isChannelPressed(ch) : 0u;
}

ClVec3 toVec3(const ClVec4& v) { return ClVec3(v.x, v.y, v.z, v.w); }

}  // namespace

ClVec3 clampToShipArea(const ClVec3& position) {
    ClVec3 result = position;
    if (result.x < SHIP_AREA_MIN_X)
        result.x = SHIP_AREA_MIN_X;
    else if (result.x > SHIP_AREA_MAX_X)
        result.x = SHIP_AREA_MAX_X;
    if (result.z < SHIP_AREA_MIN_Z)
        result.z = SHIP_AREA_MIN_Z;
    else if (result.z > SHIP_AREA_MAX_Z)
        result.z = SHIP_AREA_MAX_Z;
    return result;
}

void ClProcessor_PlayerCtrl::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_PLAYER_CTRL);
    previousPointer[0] = rawPadRecord(0)[E_RAW_POINTER_X];
    previousPointer[1] = rawPadRecord(0)[E_RAW_POINTER_Y];
    scriptedMove = 0;
    const u32 latched = savedOptions().latchedFire != 0 ? 1u : 0u;
    for (u32& l : latch) l = latched;
}

void ClProcessor_PlayerCtrl::startScriptedMove(const ClVec3& target, f32 seconds) {
    SVectorTweenDesc desc = {};
    desc.mode = E_TWEEN_ANIMATE;
    desc.curve = E_TWEEN_CURVE_LINEAR;
    desc.start = toVec3(entity->getWorldPosition());
    desc.end = target;
    desc.duration = seconds;
    moveTween.start(desc);
    scriptedMove = 1;
}

void ClProcessor_PlayerCtrl::update() {
    if (scriptedMove) {
        moveTween.advance(frameTime());
        entity->setRootPosition(moveTween.getValue());
        return;
    }
    pointer[0] = rawPadRecord(0)[E_RAW_POINTER_X];
    pointer[1] = rawPadRecord(0)[E_RAW_POINTER_Y];
    if (configGetInt("USE_ABSOLUTE_WM_MOUSE_POSITION") != 0)
        steerByAbsolutePointer();
    else
        steerByRelativePointer();
    if (inputSettleFrames() == 0) steerByPad();
    broadcastTriggers();
}

void ClProcessor_PlayerCtrl::steerByRelativePointer() {
    f32 dx = pointer[0] - previousPointer[0];
    f32 dz = pointer[1] - previousPointer[1];
    if (inputSettleFrames() > 0) dx = dz = 0.0f;
    const f32 scale = SHIP_POINTER_SCALE * frameTime();
    ClVec3 position = toVec3(entity->getPreviousWorldPosition());
    position.x += dx * scale;
    position.z += dz * scale;
    entity->setRootPosition(clampToShipArea(position));
    previousPointer[0] = pointer[0];
    previousPointer[1] = pointer[1];
}

// The pointer's ray through the view camera meets the ground plane y = 0 there (screen y grows
// downward for both the pointer and the camera). Without a camera,
// or with a ray parallel to the ground, the ship stays where it is.
void ClProcessor_PlayerCtrl::steerByAbsolutePointer() {
    const ClCamera* camera = viewCamera();
    if (!camera) return;
    const ClVec3 eye = camera->position();
    ClVec3 direction = camera->unprojectScreenPoint(ClVec2(pointer[0], pointer[1]), 0.5f) - eye;
    direction.normalize();
    if (std::fabs(direction.y) < 1e-6f) return;
    const f32 t = -eye.y / direction.y;
    const ClVec3 hit(eye.x + direction.x * t, 0.0f, eye.z + direction.z * t);
    entity->setRootPosition(clampToShipArea(hit));
}

void ClProcessor_PlayerCtrl::steerByPad() {
    ClVec3 position = toVec3(entity->getWorldPosition());
    const f32 ax = valueOf(SHIP_CHANNEL_RIGHT) - valueOf(SHIP_CHANNEL_LEFT);
    const f32 az = f32(heldOf(SHIP_CHANNEL_DOWN)) - f32(heldOf(SHIP_CHANNEL_UP));
    const f32 speed = (f32(savedOptions().controllerSensitivity) / NORMAL_CONTROLLER_SENSITIVITY) * frameTime();
    position.x += ax * SHIP_PAD_SPEED * speed;
    position.z += az * SHIP_PAD_SPEED * speed;
    entity->setRootPosition(clampToShipArea(position));
}

void ClProcessor_PlayerCtrl::broadcastTriggers() {
    for (u32 i = 0; i < 3; ++i) {
        g_iFireTrigger = i;
        if (heldOf(SHIP_CHANNEL_FIRE_FIRST + int(i)))
            entity->broadcastFirePressed();
        else
            entity->broadcastFireReleased();
    }
    for (u32 i = 0; i < 3; ++i)
        if (pressedOf(SHIP_CHANNEL_FIRE_FIRST + int(i))) latch[i] ^= 1u;
    for (u32 i = 0; i < 3; ++i) {
        g_iFireTrigger = FIRE_TRIGGER_LATCH_FIRST + i;
        if (latch[i])
            entity->broadcastFirePressed();
        else
            entity->broadcastFireReleased();
    }
    g_iFireTrigger = FIRE_TRIGGER_ALWAYS;
    entity->broadcastFirePressed();
}

ClProcessor_PlayerCtrl* findPlayerCtrl(ClEntity* ship) {
    if (!ship || !ship->root) return nullptr;
    for (ClProcessor* processor : ship->root->processors)
        if (processor->typeId == E_PROC_PLAYER_CTRL) return static_cast<ClProcessor_PlayerCtrl*>(processor);
    return nullptr;
}
