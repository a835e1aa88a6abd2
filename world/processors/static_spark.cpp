#include "world/processors/static_spark.h"

#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "core/game_clock.h"
#include "render/materials.h"
#include "render/shader.h"
#include "world/effects/equaliser_state.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/state/play_record.h"

namespace {

constexpr u32 BOLT_RED = 0xFFFF0000u;
constexpr f32 BOLT_WIDTH = 8.0f;
constexpr f32 BOLT_STEP = 8.0f;
constexpr f32 BOLT_STEP_VARIANCE = 0.5f;
constexpr f32 BOLT_CONE_DEGREES = 45.0f;

ClProcessor_Enemy_AI_StaticSpark* g_pCurrentSpark = nullptr;

void clearPanTween(SFloatTween* tween) {
    *tween = SFloatTween{};
    tween->mode = E_TWEEN_HOLD;
}

void setMusicPan(f32 pan) {
    setCuePan(getSongCue(), pan);
    g_fEqualiserPan = pan;
}

}  // namespace

void ClProcessor_Enemy_AI_StaticSpark::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_STATIC_SPARK);
    active = 0;
    swingTimer = 0.0f;
    swingSide = 0;
    clearPanTween(&panTween);
    setUpBolt();
}

// The material is looked up only where the drawing's effects are loaded.
void ClProcessor_Enemy_AI_StaticSpark::setUpBolt() {
    const SMaterial* material = effectsReady()
        ? getMaterialForEffectAndTextureName("game_colorizeRed_addBlue_additiveBlend", "Images/BulletWithGlow")
        : nullptr;
    bolt.setUp(BOLT_RED, BOLT_WIDTH, BOLT_STEP, BOLT_STEP_VARIANCE, BOLT_CONE_DEGREES, material);
}

void ClProcessor_Enemy_AI_StaticSpark::stopDriving() {
    if (g_pCurrentSpark != this) return;
    if (getSongCue()) setMusicPan(0.0f);
    g_pCurrentSpark = nullptr;
}

void ClProcessor_Enemy_AI_StaticSpark::release() {
    stopDriving();
    active = 0;
}

void ClProcessor_Enemy_AI_StaticSpark::onDestroy() {
    stopDriving();
    active = 0;
}

void ClProcessor_Enemy_AI_StaticSpark::onActivate() {
    active = 1;
    swingTimer = 0.0f;
    swingSide = 0;
    clearPanTween(&panTween);
}

void ClProcessor_Enemy_AI_StaticSpark::update() {
    if (active != 1 || !getSongCue() || !node->anyActive) return;
    swingTimer += frameTime();
    if (swingTimer > SPARK_SWING_SECONDS) {
        panTween.startFromTo(panTween.current, swingSide == 0 ? -1.0f : 1.0f, SPARK_SWING_SECONDS,
                              E_TWEEN_CURVE_LINEAR, 0.0f);
        swingSide = swingSide == 0 ? 1u : 0u;
        swingTimer = 0.0f;
    }
    if (panTween.running) {
        setUpBolt();
        const ClVec4 at = entity->getWorldPosition();
        bolt.build(ClVec3(at.x, at.y, at.z),
                   ClVec3(g_fEqualiserPanEdge, SPARK_BOLT_HEIGHT * equaliserPulseValue(), 0.0f));
        bolt.draw(SPARK_BOLT_LAYER_MASK);
    }
    if (g_pCurrentSpark == this) {
        panTween.advance(frameTime());
        setMusicPan(g_PlayRecord.waterOption ? 0.0f : panTween.current);
    } else if (!g_pCurrentSpark) {
        g_pCurrentSpark = this;
    }
}
