// The static spark: swings a value between -1 and +1 every SPARK_SWING_SECONDS, draws a red
// lightning bolt from itself to the equaliser's pan edge while the value moves, and one spark at
// a time (the current spark) pans the playing song by that value.
#pragma once

#include "core/types.h"
#include "render/tween.h"
#include "world/atoms/lightning_bolt.h"
#include "world/entity/processor.h"

constexpr f32 SPARK_SWING_SECONDS = 1.25f;
// The bolt's far end rises this high at the top of the equaliser pulse.
constexpr f32 SPARK_BOLT_HEIGHT = 55.0f;
constexpr u32 SPARK_BOLT_LAYER_MASK = 236;

class ClProcessor_Enemy_AI_StaticSpark : public ClProcessor {
public:
    u32 active = 0;
    f32 swingTimer = 0.0f;
    u32 swingSide = 0;  // 0: the next swing goes to -1
    SFloatTween panTween;
    SLightningBolt bolt;

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onActivate() override;
    void update() override;
    void onDestroy() override;

private:
    void stopDriving();
    void setUpBolt();
};
