// The ship's charge weapon: while its trigger is held each barrel ("BarrelNode", with its ball
// atom "CGBulAP") builds up charge, drawn as a growing ball and shown on the ambient lights; on
// release every charged barrel fires one bullet whose damage and size follow the charge, and then
// discharges for "CHD" seconds, during which it cannot charge. A menu preview charges and fires by
// itself in cycles and draws a charge bar.
#pragma once

#include "audio/sound/sound_engine.h"
#include "core/array.h"
#include "core/types.h"
#include "render/tween.h"
#include "world/atoms/gun_params.h"
#include "world/entity/processor.h"

class ClAtom_Bullet;

constexpr u32 CHARGING_BARREL_INITIAL_CAPACITY = 8;
constexpr f32 CHARGE_SHOT_FLOOR = 0.05f;  // the shot fraction of a barrel with no charge
constexpr f32 CHARGE_BALL_DRAWN_RADIUS = 20.1f;  // "BullRndRad" of a full charge
constexpr f32 CHARGE_CUES_MEDIUM = 0.33f;  // charge fractions choosing the release cues
constexpr f32 CHARGE_CUES_FULL = 0.66f;

struct SChargingBarrel {
    ClAtom* ball;  // "CGBulAP": where the ball is drawn and the shot leaves
    ClEntityNode* node;
    f32 charge;  // seconds held, without an upper limit
    f32 previewWait;
    f32 previewWaitLength;  // 1 to 3 s
    u32 previewCharging;
    SFloatTween discharge;  // 1 to 0 over "CHD" after each shot
    SCueHandle buildUpCue;
    SCueHandle sustainCue;
    ClAtom_Bullet* look;  // draws the ball in the shot's bullet look; owned
};

class ClProcessor_PlayerChargingGun : public ClProcessor {
public:
    ClArray<SChargingBarrel> barrels;
    u32 roundLookFlag = 0;  // the node has a "CGBulRR" parameter; kept, no look reads it
    SChargingGunParams params = {};
    s32 ctrl = 0;  // the trigger index this gun answers to

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void release() override;
    void onSpawn() override;
    void onPreviewSpawn() override;
    void update() override;
    void updatePreview() override;
    void onFirePressed() override;
    void onFireReleased() override;
    // Stops the cues, finds the barrels again and rereads the parameters. A barrel without its
    // ball atom, or a "CHT" that is not above 0, stops the program.
    void reloadParameters() override;
    void onDestroy() override;

    // The bullet block a barrel fires (and draws its ball with) at its present charge.
    SBulletParams shotFor(const SChargingBarrel& barrel) const;
    f32 chargeFraction(const SChargingBarrel& barrel) const;

private:
    bool onLiveShip() const;
    void stopCues();
    void freeBarrels();
    void fireBarrel(SChargingBarrel& barrel);
    void advanceDischarge(SChargingBarrel& barrel);
    void drawBall(SChargingBarrel& barrel);
};
