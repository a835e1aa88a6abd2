// The world's collision pass, once per game step: the bounds of every activated entity, the
// contacts between the atoms of entities whose kinds interact, ordered by time of impact, each
// handed to the handler of its pair of kinds with the kill queue worked off around it, and the
// impacts the handlers recorded handed to the blast pass.
#pragma once

#include "core/global_objects.h"
#include "core/types.h"
#include "world/collision/contact.h"

class ClAtom;
class ClEntityNode;

constexpr u32 CONTACT_KIND_COUNT = 6;  // program kinds 0 to 5
constexpr u32 CONTACT_CAPACITY = HIT_EFFECT_CAPACITY;
constexpr u32 IMPACT_INITIAL_CAPACITY = 8;

// Indexed by (kind of the first entity) x CONTACT_KIND_COUNT + (kind of the second).
extern ContactHandler g_aContactHandlers[CONTACT_KIND_COUNT * CONTACT_KIND_COUNT];

// On entering play: empty pools and the handler table of the program kinds (ship with enemy,
// pickup and enemy bullet; enemy with player bullet; both orders).
void initHitEffects();
// On entering and leaving play: empties the contacts, the kill queue and the impacts.
void releaseHitEffects();

// The node bounds of every activated entity gathered by kind in activated-list order, the pair
// walk that fills the contact pool (a full pool drops the rest of the step's contacts), then
// resolveContacts.
void updateWorldCollisions();
// Works the contacts off in order of time of impact, skipping those whose atom an earlier one
// deactivated; then hands the impacts to the blast pass and runs it.
void resolveContacts();

// A blast for the blast pass at the end of the next resolveContacts. Nothing before
// initHitEffects.
void pushImpact(const SImpact& impact);
// A breaking atom's blast (the base layer's import).
void recordBreakUpImpact(const ClVec3& position, f32 radius, f32 strength);
