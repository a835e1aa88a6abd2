// The contact handlers of the collision pass: pickups collected, bullets damaging or destroying
// the part they hit, and the ship ramming enemies.
#pragma once

#include "core/types.h"
#include "world/collision/contact.h"

// Set by a pickup's collect operation (the instant bomb) to keep its own burst and removal from
// this one contact; cleared after every pickup contact.
extern s32 g_iPickupBurstSuppressed;

constexpr f32 HIT_KILL_SPIN = 0.015f;
constexpr f32 HIT_IMPACT_RADIUS = 20.0f;
constexpr f32 HIT_IMPACT_STRENGTH = 100.0f;
// A bullet carrying this damage is ignored by an invincible ship.
constexpr f32 BULLET_DAMAGE_UNSTOPPABLE = 3.4028235e38f;
constexpr u32 HIT_FLASH_CLASS = 6;  // hit-point class whose atoms flash when hit
constexpr f32 HIT_FLASH_SECONDS = 0.25f;

void onPickupContact(const SContact& contact);
// The bullet's damage against the target's hit points: damage that is left over flies on with
// the bullet, otherwise the bullet is used up where it hit.
void onBulletHit(const SContact& contact);
void onBodyContact(const SContact& contact);
