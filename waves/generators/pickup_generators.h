// The pickups the ship collects: score notes (the world drops them by name), invincibility,
// level-up and the wave-kill chain bonus. Each collect operation acts on the first player.
#pragma once

#include "world/generators/dna_generator.h"

constexpr const char* INVINCIBILITY_PICKUP_GENERATOR = "InvincibilityPickup";
constexpr const char* LEVEL_UP_PICKUP_GENERATOR = "LevelUpPickup";
constexpr const char* CHAIN_BONUS_PICKUP_GENERATOR = "ChainBonusPickup";
// Seconds of invincibility one pickup adds.
constexpr f32 INVINCIBILITY_PICKUP_SECONDS = 5.0f;
// Seconds a mesh pickup lies in the arena (its last 6 blinking).
constexpr f32 MESH_PICKUP_LIFE_SECONDS = 12.0f;
constexpr u32 CHAIN_BONUS_FLASH_COLOUR = 0xFFFFFF00u;

enum EPickupKind : u32 {
    E_PICKUP_SCORE,
    E_PICKUP_INVINCIBILITY,
    E_PICKUP_LEVEL_UP,
    E_PICKUP_CHAIN_BONUS,
};

class ClDNAGen_Pickup : public ClDNAGenerator {
public:
    ClDNAGen_Pickup(EPickupKind kind, const char* name);

    ClDNAProgram* generate(ClRandObjSFMT* random, const SGeneratorParams* params) override;
    // Score: the root's "inspvalue" points. Invincibility: the first player's invincibility time
    // grows and a message shows. Level-up: the ship's fitted items rise a level until the ship is
    // lost (levelUpShipAnchors) and a message shows. Chain bonus: a new chain when the window
    // has closed, the window reopened, one chain step and a yellow flash.
    s32 onCollect(ClEntity* pickup, const SContact* contact) override;

    EPickupKind kind() const { return m_kind; }

private:
    EPickupKind m_kind;
};
