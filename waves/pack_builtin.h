// The pack the program carries: bullets, enemies, pickups, the five bosses and the ship items.
#pragma once

#include "waves/generators/boss_generators.h"
#include "waves/generators/enemy_generators.h"
#include "waves/generators/family_generators.h"
#include "waves/generators/item_generators.h"
#include "waves/generators/pickup_generators.h"
#include "waves/generators/staff_arm_generators.h"
#include "waves/pack_registry.h"

#include <memory>

class ClPack_Builtin final : public ClPack {
public:
    ClPack_Builtin();
    const char* getName() const override { return "Builtin"; }
    // Also fills every entry of the boss table.
    void registerGenerators() override;
    void unregisterGenerators() override;

private:
    ClDNAGen_Enemy m_small;
    ClDNAGen_Enemy m_medium;
    ClDNAGen_Enemy m_large;
    ClDNAGen_Pickup m_score;
    ClDNAGen_Pickup m_invincibility;
    ClDNAGen_Pickup m_levelUp;
    ClDNAGen_Pickup m_chainBonus;
    ClDNAGen_StaffArmEnemy m_bird;
    ClDNAGen_StaffArmEnemy m_staffStar;
    ClDNAGen_StaffArmEnemy m_brute;
    // Index boss x 3 + sub-boss, as the boss table.
    std::unique_ptr<ClDNAGen_Enemy_Boss> m_bosses[BOSS_KIND_COUNT * BOSS_VARIANT_COUNT];
    ClEnemyFamilies m_families;
    // In EShipItemKind's order, the order a song's award counts in.
    std::unique_ptr<ClDNAGen_ShipItem> m_items[E_SHIP_ITEM_KIND_COUNT];
    bool m_registered = false;
};
