#include "world/processors/boss_whip_it.h"

#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/script_node.h"
#include "core/timers.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/boss_support.h"
#include "world/processors/path_follower.h"
#include "world/services/positioned_sound.h"
#include "world/state/player_records.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr u32 BLOCK_POSITIONS = 2;
constexpr u32 BLOCK_TRIGGER_RANGE = 4;
constexpr u32 BLOCK_CLOSE_TIME = 5;
constexpr u32 BLOCK_DAMAGE_TRIGGER = 6;
constexpr u32 BLOCK_CHARGE_TIME = 7;
constexpr u32 BLOCK_REACH = 8;
constexpr u32 BLOCK_SPREAD = 9;
constexpr u32 BLOCK_WIDTHS = 10;
constexpr u32 LINE_LAYER = 236;
constexpr u32 FILL_LAYER = 244;
constexpr u32 WHITE = 0xFFFFFFFFu;
constexpr u32 RED = 0xFFFF0000u;
constexpr f32 HALF_PI = std::numbers::pi_v<f32> / 2.0f;
const ClVec3 UP(0.0f, 1.0f, 0.0f);

// p turned by the angle about the vertical axis through the pivot (p x M of the axis-angle
// rotation).
ClVec3 turnAbout(const ClVec3& pivot, const ClVec3& p, f32 angle) {
    const f32 c = std::cos(angle);
    const f32 s = std::sin(angle);
    const f32 x = p.x - pivot.x;
    const f32 z = p.z - pivot.z;
    return ClVec3(pivot.x + c * x + s * z, p.y, pivot.z - s * x + c * z);
}

u32 withAlpha(u32 colour, f32 alpha) { return (colour & 0x00FFFFFFu) | (u32(std::lround(clamp01(alpha) * 255.0f)) << 24); }

u32 blendColour(u32 a, u32 b, f32 t) {
    u32 out = 0;
    for (u32 shift = 0; shift < 32; shift += 8) {
        const f32 ca = f32((a >> shift) & 0xFFu);
        const f32 cb = f32((b >> shift) & 0xFFu);
        out |= u32(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

f32 blockFloat(const ClScriptNode* block, u32 index) { return block->getChild(index)->getFloat(); }

}  // namespace

bool pointInTriangle(const ClVec3& q, const ClVec3& a, const ClVec3& b, const ClVec3& c, ClVec3* weights) {
    const ClVec3 e1 = b - a;
    const ClVec3 e2 = c - a;
    const ClVec3 d = q - a;
    const ClVec3 n = e1.cross(e2);
    const f32 nx = std::fabs(n.x), ny = std::fabs(n.y), nz = std::fabs(n.z);
    // The two coordinates the triangle is projected on.
    f32 e1u, e1v, e2u, e2v, du, dv;
    if (nx > ny && ny > nz) {
        e1u = e1.x, e1v = e1.y, e2u = e2.x, e2v = e2.y, du = d.x, dv = d.y;
    } else if (ny > nx && ny > nz) {
        e1u = e1.x, e1v = e1.z, e2u = e2.x, e2v = e2.z, du = d.x, dv = d.z;
    } else {
        e1u = e1.y, e1v = e1.z, e2u = e2.y, e2v = e2.z, du = d.y, dv = d.z;
    }
    const f32 det = e1u * e2v - e2u * e1v;
    if (det == 0.0f) return false;
    const f32 u = (du * e2v - e2u * dv) / det;
    const f32 v = (e1u * dv - du * e1v) / det;
    if (weights) *weights = ClVec3(1.0f - u - v, u, v);
    return u > 0.0f && v > 0.0f && u + v < 1.0f;
}

void ClProcessor_Enemy_Boss_WhipIt::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BOSS_WHIP_IT);
    stage = -1;
    closeTimer = chargeTime = windUpTimer = lashTimer = 0.0f;
    aim = lastAimDirection = ClVec3(0.0f, 0.0f, 0.0f);
    whipState = E_WHIP_TRACKING;
    facingTween.setValue(ClVec3(1.0f, 0.0f, 0.0f));
    whipColour.setConstant(WHITE);
    lineMaterial = getMaterialForEffectAndTextureName("Debug_Add", "Images/BarBrightLine");
    fillMaterial = getMaterialForEffect("system_blend_color");
    lashSegments = static_cast<SLashSegment*>(std::calloc(WHIP_LASH_SEGMENTS, sizeof(SLashSegment)));
}

void ClProcessor_Enemy_Boss_WhipIt::freeSegments() {
    std::free(lashSegments);
    lashSegments = nullptr;
}

void ClProcessor_Enemy_Boss_WhipIt::release() {
    dropBeatSubscription(subscription);
    freeSegments();
}

ClVec3 ClProcessor_Enemy_Boss_WhipIt::homePosition() const {
    ClVec3 home;
    params->getChild(BLOCK_POSITIONS)->getChild(0)->getVector3(&home);
    return home;
}

void ClProcessor_Enemy_Boss_WhipIt::setStage(s32 newStage) {
    if (newStage == stage) return;
    stage = newStage;
    triggerRange = bossStageFloat(params, BLOCK_TRIGGER_RANGE, stage);
    closeTime = bossStageFloat(params, BLOCK_CLOSE_TIME, stage);
}

void ClProcessor_Enemy_Boss_WhipIt::goIdle() {
    whipState = E_WHIP_TRACKING;
    chargeTime = bossStageFloat(params, BLOCK_CHARGE_TIME, stage);
    aim = ClVec3(0.0f, 0.0f, 0.0f);
}

void ClProcessor_Enemy_Boss_WhipIt::onSpawn() {
    params = findBossTuningBlock(entity, "boss_whip_it_params");
    bossTuningRow(params, BLOCK_WIDTHS, 2);
    placeBossAt(entity, ClVec3(0.0f, 0.0f, 0.0f));
    publishBossStrength(entity, 1.0f);
    gunsStarted = 0;
    gunInterval = entity->root->params.get("WI_gfr")->real;
    damageTrigger = blockFloat(params, BLOCK_DAMAGE_TRIGGER);
    lastFraction = 1.0f;
    windUpTimer = WHIP_WIND_UP_SECONDS;
    setStage(0);
    closeTimer = closeTime;
    goIdle();
}

void ClProcessor_Enemy_Boss_WhipIt::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Boss_WhipIt::onBeat, this, 0);
}

void ClProcessor_Enemy_Boss_WhipIt::onDestroy() {
    dropBeatSubscription(subscription);
    freeSegments();
}

void ClProcessor_Enemy_Boss_WhipIt::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)beat;
    (void)index;
    static_cast<ClProcessor_Enemy_Boss_WhipIt*>(user)->aimWhip();
}

void ClProcessor_Enemy_Boss_WhipIt::aimWhip() {
    const ClVec3 zero(0.0f, 0.0f, 0.0f);
    if (!firstPlayerHasShip() || !entity || entity->state != E_ENTITY_ACTIVE) {
        aim = turnAbout(zero, lastAimDirection, HALF_PI);
    } else {
        if (chargeTime <= 0.0f) return;
        const ClVec4 ship = playerShip(0)->getWorldPosition();
        const ClVec4 boss = entity->getWorldPosition();
        lastAimDirection = ClVec3(ship.x - boss.x, ship.y - boss.y, ship.z - boss.z).normalized();
        aim = turnAbout(zero, lastAimDirection, HALF_PI);
    }
    facingTween.startFromTo(facingTween.getValue(), aim, WHIP_TURN_SECONDS, E_TWEEN_CURVE_LINEAR, 0.0f);
}

void ClProcessor_Enemy_Boss_WhipIt::startCharge() {
    whipState = E_WHIP_CHARGING;
    closeTimer = closeTime;
    aimWhip();
    playSoundCueAt("WhipItCharge", worldPositionOf(entity));
}

SWhipGeometry ClProcessor_Enemy_Boss_WhipIt::whipGeometry() const {
    SWhipGeometry whip;
    const ClMatrix44& world = entity->root->currentWorldMatrix();
    whip.centre = world.getTranslation();
    whip.axis = ClVec3(world.m[0], world.m[1], world.m[2]);
    const f32 reach = blockFloat(params, BLOCK_REACH);
    const ClVec3 tip = whip.centre + scaleVec3(whip.axis, reach);
    const f32 full = bossStageFloat(params, BLOCK_CHARGE_TIME, stage);
    const f32 k = full > 0.0f ? clamp01(chargeTime / full) : 0.0f;
    whip.spread = blockFloat(params, BLOCK_SPREAD) * (1.0f - k) * std::numbers::pi_v<f32> / 180.0f;
    // Turned about the boss itself, so the fan stays in front of it wherever its path goes.
    whip.edge1 = turnAbout(whip.centre, tip, whip.spread - HALF_PI);
    whip.edge2 = turnAbout(whip.centre, tip, -HALF_PI - whip.spread);
    whip.middle = turnAbout(whip.centre, tip, -HALF_PI);
    return whip;
}

void ClProcessor_Enemy_Boss_WhipIt::lashHitTest(const SWhipGeometry& whip) {
    if (!firstPlayerHasShip()) return;
    const ClVec3 ship = worldPositionOf(playerShip(0));
    if (!pointInTriangle(ship, whip.centre, whip.edge1, whip.edge2, nullptr)) return;
    ClDNAGenerator* generator = generatorFind(E_GENCAT_ENEMY_BULLET, crc32TextNoCase("DefBullGenE"));
    if (!generator) return;
    ClEntity* shot = allocEntity(entity->ownerTag);
    shot->buildFromDNA(generator->getSharedProgram());
    shot->root->resetAtoms();
    shot->spawn();
    ClMatrix44 at;
    at.setIdentity();
    at.setTranslationXYZ(ship.x, ship.y, ship.z);
    shot->setRootTransform(at);
    shot->activate();
    SBulletParams bullet = {};
    bullet.myBullGen = s32(crc32TextNoCase("DefBullGenE"));
    bullet.bullType = WHIP_SHOT_TYPE;
    bullet.bullRad = WHIP_SHOT_RADIUS;
    bullet.bullDmg = FLT_MAX;
    copyBulletParamsToBullet(shot->root, bullet);
    shot->update();
    ++lashShots;
}

void ClProcessor_Enemy_Boss_WhipIt::drawWhip(f32 widthBlend, f32 warning, f32 strength) {
    const SWhipGeometry whip = whipGeometry();
    const ClScriptNode* widths = params->getChild(BLOCK_WIDTHS);
    const f32 idle = widths->getChild(0)->getFloat();
    const f32 drawn = widths->getChild(1)->getFloat();
    u32 colour = whipColour.current;
    if (strength > 0.0f) colour = withAlpha(colour, std::fmin(strength, 1.0f));
    appendLineCommand(whip.centre, whip.middle, idle, colour, lineMaterial, 1.0f, 0, LINE_LAYER);
    const f32 edgeWidth = idle + widthBlend * (drawn - idle);
    appendLineCommand(whip.centre, whip.edge1, edgeWidth, colour, lineMaterial, 1.0f, 0, LINE_LAYER);
    appendLineCommand(whip.centre, whip.edge2, edgeWidth, colour, lineMaterial, 1.0f, 0, LINE_LAYER);
    if (strength <= 0.0f) {
        appendQuadCommandCorners(whip.centre, whip.edge1, whip.edge2, whip.edge2, withAlpha(RED, warning * 0.5f),
                                 fillMaterial, FILL_LAYER);
        return;
    }
    appendQuadCommandCorners(whip.centre, whip.edge1, whip.edge2, whip.edge2, withAlpha(RED, std::fmin(strength, 1.0f)),
                             fillMaterial, FILL_LAYER);
    const f32 reach = blockFloat(params, BLOCK_REACH);
    const ClVec3 side = turnAbout(ClVec3(0.0f, 0.0f, 0.0f), whip.axis, -HALF_PI);
    for (u32 i = 0; i < WHIP_LASH_SEGMENTS && lashSegments; ++i) {
        SLashSegment& segment = lashSegments[i];
        f32 offset = 0.0f;
        if (countDownTimer(&segment.startDelay, frameTime()) == 0.0f) {
            const f32 progress = segment.duration > 0.0f ? clamp01(segment.timeLeft / segment.duration) : 0.0f;
            offset = (1.0f - progress) * reach;
            countDownTimer(&segment.timeLeft, frameTime());
        }
        const ClVec3 q = whip.centre + scaleVec3(side, offset);
        const ClVec3 s = q + scaleVec3(whip.axis, reach);
        const u32 shade = withAlpha(blendColour(RED, WHITE, f32(i) / f32(WHIP_LASH_SEGMENTS)), clamp01(strength));
        const ClVec3 c1 = turnAbout(q, s, whip.spread - HALF_PI);
        const ClVec3 c2 = turnAbout(q, s, -HALF_PI - whip.spread);
        appendQuadCommandCorners(q, c1, c2, c2, shade, fillMaterial, FILL_LAYER);
    }
}

void ClProcessor_Enemy_Boss_WhipIt::update() {
    if (!bossFightRunning()) {
        entity->setRootPosition(homePosition());
        return;
    }
    startBossHeadGunsOnce(node->children[0], gunInterval, &gunsStarted);
    const f32 fraction = bossStrengthFraction(entity);
    publishBossStrength(entity, fraction);
    setStage(bossStageFor(fraction));
    auto* path = static_cast<ClProcessor_FollowPath*>(node->findProcessor(E_PROC_FOLLOW_PATH));
    path->stopped = whipState != E_WHIP_TRACKING;
    facingTween.advance(frameTime());

    if (whipState == E_WHIP_TRACKING) {
        entity->timer = 0.0f;
        if (firstPlayerHasShip()) {
            const ClVec4 ship = playerShip(0)->getWorldPosition();
            const ClVec4 boss = entity->getWorldPosition();
            const f32 distance = ClVec3(ship.x - boss.x, ship.y - boss.y, ship.z - boss.z).length();
            if (distance > triggerRange) {
                closeTimer = closeTime;
            } else if (countDownTimer(&closeTimer, frameTime()) == 0.0f) {
                startCharge();
            }
        }
        const f32 loss = std::fmax(lastFraction - fraction, 0.0f);
        if (loss > damageTrigger) {
            startCharge();
            lastFraction = fraction;
        }
    } else {
        entity->timer = BOSS_NO_CONTACT_GRACE;
        if (whipState == E_WHIP_CHARGING) {
            whipColour.setConstant(WHITE);
            if (countDownTimer(&chargeTime, frameTime()) > 0.0f) {
                entity->timer = 0.0f;
                drawWhip(0.0f, 0.0f, 0.0f);
            } else {
                windUpTimer = WHIP_WIND_UP_SECONDS;
                whipColour.fadeFromCurrent(RED, WHIP_WIND_UP_SECONDS, 1, 0.0f);
                drawWhip(0.0f, 0.0f, 0.0f);
                lastFraction = fraction;
                whipState = E_WHIP_WINDING_UP;
            }
        } else if (whipState == E_WHIP_WINDING_UP) {
            if (countDownTimer(&windUpTimer, frameTime()) > 0.0f) {
                const f32 flash = windUpTimer < WHIP_FLASH_SECONDS ? 1.0f - windUpTimer / WHIP_FLASH_SECONDS : 0.0f;
                drawWhip(clamp01(WHIP_WIND_UP_SECONDS - windUpTimer), flash, 0.0f);
            } else {
                lashTimer = WHIP_LASH_SECONDS;
                for (u32 i = 0; i < WHIP_LASH_SEGMENTS && lashSegments; ++i)
                    lashSegments[i] = SLashSegment{f32(WHIP_LASH_SEGMENTS - i - 1) * WHIP_SEGMENT_SECONDS,
                                                   WHIP_SEGMENT_SECONDS, WHIP_SEGMENT_SECONDS};
                drawWhip(1.0f, 1.0f, 1.0f);
                whipState = E_WHIP_LASHING;
                playSoundCueAt("WhipItFire", worldPositionOf(entity));
            }
        } else if (whipState == E_WHIP_LASHING) {
            if (countDownTimer(&lashTimer, frameTime()) > 0.0f) {
                lashHitTest(whipGeometry());
                drawWhip(1.0f, 1.0f, lashTimer / WHIP_LASH_SECONDS);
            } else {
                goIdle();
            }
        }
        whipColour.advance(frameTime());
    }
    ClVec3 facing = facingTween.getValue();
    if (facing.length() >= 0.001f) {
        facing.normalize();
    } else {
        facing = ClVec3(1.0f, 0.0f, 0.0f);
    }
    entity->setFacing(facing, UP);
}
