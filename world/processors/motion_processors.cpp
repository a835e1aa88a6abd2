#include "world/processors/motion_processors.h"

#include "audio/play/beat_events.h"
#include "core/game_clock.h"
#include "core/matrix44.h"
#include "world/atoms/atom.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"

#include <cmath>
#include <numbers>

static f32 requiredFloat(const ClEntityNode* node, const char* name) { return node->params.get(name)->real; }

// Read by every straight flyer's update, so hashed once.
static const SParamName VELOCITY_NAME("vel");

static const SParamValue* optional(const ClEntityNode* node, const char* name) { return node->params.find(name); }

static s32 optionalInt(const ClEntityNode* node, const char* name) {
    const SParamValue* value = optional(node, name);
    return value ? value->integer : 0;
}

static f32 optionalFloat(const ClEntityNode* node, const char* name) {
    const SParamValue* value = optional(node, name);
    return value ? value->real : 0.0f;
}

// Inline: every move of a root places its atoms through here.
static inline void placeAtoms(ClEntityNode* node) {
    const ClMatrix44& nodeWorld = node->currentWorldMatrix();
    for (ClAtom* atom : node->atoms) {
        const ClMatrix44& local = atom->localMatrix;
        atom->setWorldMatrix(local.isExactIdentity() ? ClMatrix44::identityTimes(nodeWorld) : local.multiply(nodeWorld));
    }
}

// --- world frames ---------------------------------------------------------------------------------

void ClProcessor_UpdateWorldFrames::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_UPDATE_WORLD_FRAMES;
    entity = owner;
    node = hangingOn;
}

void ClProcessor_UpdateWorldFrames::updateWorldFrames() {
    if (node->parent) node->setWorldMatrix(node->localMatrix.multiply(node->parent->currentWorldMatrix()));
    placeAtoms(node);
}

void ClProcessor_UpdateWorldFramesAbsRot::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_UPDATE_WORLD_FRAMES_ABS_ROT;
    entity = owner;
    node = hangingOn;
}

void ClProcessor_UpdateWorldFramesAbsRot::updateWorldFrames() {
    if (node->parent) {
        ClMatrix44 world = node->localMatrix;
        world.setTranslation(node->parent->currentWorldMatrix().getTranslation());
        world.m[15] = 1.0f;
        node->setWorldMatrix(world);
    }
    placeAtoms(node);
}

// --- straight flight ------------------------------------------------------------------------------

void ClProcessor_GoStraight::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_GO_STRAIGHT;
    entity = owner;
    node = hangingOn;
}

void ClProcessor_GoStraight::update() {
    const ClVec4 axis = entity->getWorldAxisX();
    ClVec3 step(axis.x, axis.y, axis.z);
    step.setLength(node->params.get(VELOCITY_NAME)->real * frameTime());
    const ClVec4 previous = entity->getPreviousWorldPosition();
    const ClVec3 position = ClVec3(previous.x, previous.y, previous.z) + step;
    entity->setRootPosition(position);
    // Only an activated entity may be destroyed; one still flying in keeps going.
    if (position.length() > GO_STRAIGHT_RANGE && entity->state == E_ENTITY_ACTIVE) entity->destroy();
}

// --- rotators -------------------------------------------------------------------------------------

void ClProcessor_Rotator::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_ROTATOR;
    entity = owner;
    node = hangingOn;
}

void ClProcessor_Rotator::onSpawn() {
    phase = requiredFloat(node, "delay") + f32(gameClock(GAME_CLOCK_GAMEPLAY).totalTime);
    speed1 = 0.0f;
    if (const SParamValue* speed = optional(node, "rotspeed1")) {
        speed1 = speed->real;
        axis1 = node->params.get("axis1")->getVector();
    }
    speed2 = 0.0f;
    if (const SParamValue* speed = optional(node, "rotspeed2")) {
        speed2 = speed->real;
        axis2 = node->params.get("axis2")->getVector();
    }
    swingLimit = optionalFloat(node, "rotLimit");
    swingOffset = optionalFloat(node, "rotOffset");
}

void ClProcessor_Rotator::update() {
    const f32 time = f32(gameClock(GAME_CLOCK_GAMEPLAY).totalTime);
    if (speed1 != 0.0f) {
        f32 a = speed1 * time + phase;
        if (swingLimit > 0.0f) a = std::sin(a) * swingLimit + swingOffset;
        node->localMatrix.setRotationAxisAngle(axis1, a);
    }
    if (speed2 != 0.0f) node->localMatrix.setRotationAxisAngle(axis2, speed2 * time + phase);
    broadcastWorldFrames(node);
}

void ClProcessor_Rotator_OnBeat::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_ROTATOR_ON_BEAT;
    entity = owner;
    node = hangingOn;
    subscription = {};
}

void ClProcessor_Rotator_OnBeat::subscribe() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Rotator_OnBeat::onBeat, this, 0);
}

void ClProcessor_Rotator_OnBeat::release() { dropBeatSubscription(subscription); }

void ClProcessor_Rotator_OnBeat::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Rotator_OnBeat::onSpawn() {
    angle = SFloatTween{};
    angle.mode = E_TWEEN_HOLD;
    degreesPerBeat = requiredFloat(node, "DPB");
}

void ClProcessor_Rotator_OnBeat::onActivate() {
    if (optionalInt(node, "BRSOFA") == 0) subscribe();
}

void ClProcessor_Rotator_OnBeat::onPathSignal() {
    if (optionalInt(node, "BRSOFA") == 1) subscribe();
}

void ClProcessor_Rotator_OnBeat::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)beat;
    (void)index;
    auto* self = static_cast<ClProcessor_Rotator_OnBeat*>(user);
    const SParamValue* turnSeconds = optional(self->node, "BRSFTR");
    const f32 duration = turnSeconds ? turnSeconds->real : BEAT_TURN_SHARE_OF_GAP * getTimeToNextBeat(0.0f, nullptr);
    const f32 from = self->angle.current;
    self->angle.startFromTo(from, from + self->degreesPerBeat, duration, E_TWEEN_CURVE_LINEAR, 0.0f);
    if (optionalInt(self->node, "BRINV") == 1) self->degreesPerBeat = -self->degreesPerBeat;
}

void ClProcessor_Rotator_OnBeat::update() {
    angle.advance(frameTime());
    node->localMatrix.setRotationAxisAngle(ClVec3(0.0f, 1.0f, 0.0f), angle.current * std::numbers::pi_v<f32> / 180.0f);
    broadcastWorldFrames(node);
}

// --- flicker --------------------------------------------------------------------------------------

void ClProcessor_FlickerWhenDamaged::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    typeId = E_PROC_FLICKER_WHEN_DAMAGED;
    entity = owner;
    node = hangingOn;
}

void ClProcessor_FlickerWhenDamaged::onDamaged(ClAtom* hitAtom) {
    if (optionalInt(node, "FLKCC") == 1 && !hitAtom->registered) return;
    ClEntityNode* target = optionalInt(node, "FLKP") == 1 && node->parent ? node->parent : node;
    target->addEffectToAtoms(SAtomEffectDesc{FLICKER_EFFECT_KIND, FLICKER_SECONDS, 0, 0});
}
