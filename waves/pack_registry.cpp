#include "waves/pack_registry.h"

#include "core/fatal_error.h"
#include "waves/pack_builtin.h"
#include "waves/wave_families.h"
#include "world/generators/bullet_generators.h"
#include "world/play/inspiration_pickups.h"
#include <initializer_list>
#include "world/state/play_record.h"

namespace {

ClArray<ClPack*> g_packs;
ClPack_Builtin* g_pBuiltin = nullptr;

}  // namespace

ClPack::~ClPack() {
    for (ClArray<ClDNAGenerator*>& list : m_categories) list.release();
    m_unlisted.release();
}

void ClPack::add(ClDNAGenerator* generator) {
    generatorRegister(generator);
    ClArray<ClDNAGenerator*>& list = m_categories[generator->getCategory()];
    if (!list.inUse) list.init();
    list.push(generator);
}

void ClPack::addUnlisted(ClDNAGenerator* generator) {
    generatorRegister(generator);
    if (!m_unlisted.inUse) m_unlisted.init();
    m_unlisted.push(generator);
}

void ClPack::unregisterGenerators() {
    const auto unregister = [](ClArray<ClDNAGenerator*>& list) {
        for (u32 i = 0; i < list.count; ++i) {
            generatorUnregister(list[i]);
            list[i]->releaseSharedProgram();
        }
        list.release();
    };
    for (ClArray<ClDNAGenerator*>& list : m_categories) unregister(list);
    unregister(m_unlisted);
}

u32 ClPack::generatorCount(u32 category) const {
    return category < GENERATOR_CATEGORY_COUNT ? m_categories[category].count : 0;
}

ClDNAGenerator* ClPack::generatorAt(u32 category, u32 index) const {
    if (index >= generatorCount(category)) fatalErrorf("pack generator %u of category %u out of range", index, category);
    return m_categories[category][index];
}

ClPack_Builtin::ClPack_Builtin()
    : m_small(E_GENCAT_ENEMY_SMALL, ENEMY_SMALL_GENERATOR),
      m_medium(E_GENCAT_ENEMY_MEDIUM, ENEMY_MEDIUM_GENERATOR),
      m_large(E_GENCAT_ENEMY_LARGE, ENEMY_LARGE_GENERATOR),
      m_score(E_PICKUP_SCORE, SCORE_PICKUP_GENERATOR),
      m_invincibility(E_PICKUP_INVINCIBILITY, INVINCIBILITY_PICKUP_GENERATOR),
      m_levelUp(E_PICKUP_LEVEL_UP, LEVEL_UP_PICKUP_GENERATOR),
      m_chainBonus(E_PICKUP_CHAIN_BONUS, CHAIN_BONUS_PICKUP_GENERATOR),
      m_bird(E_GENCAT_ENEMY_SMALL, ENEMY_BIRD_GENERATOR),
      m_staffStar(E_GENCAT_ENEMY_MEDIUM, ENEMY_STAFF_STAR_GENERATOR),
      m_brute(E_GENCAT_ENEMY_LARGE, ENEMY_BRUTE_GENERATOR) {
    for (u32 kind = 0; kind < BOSS_KIND_COUNT; ++kind)
        for (u32 variant = 0; variant < BOSS_VARIANT_COUNT; ++variant)
            m_bosses[kind * BOSS_VARIANT_COUNT + variant] = std::make_unique<ClDNAGen_Enemy_Boss>(kind, variant);
    for (u32 kind = 0; kind < E_SHIP_ITEM_KIND_COUNT; ++kind)
        m_items[kind] = std::make_unique<ClDNAGen_ShipItem>(EShipItemKind(kind));
}

void ClPack_Builtin::registerGenerators() {
    if (m_registered) return;
    // The bullet generators are the world's own; the pack only has them registered.
    registerBulletGenerators();
    for (ClDNAGenerator* generator : std::initializer_list<ClDNAGenerator*>{
             &m_small, &m_medium, &m_large, &m_score, &m_invincibility, &m_levelUp, &m_chainBonus})
        add(generator);
    for (ClDNAGenerator* generator : std::initializer_list<ClDNAGenerator*>{&m_bird, &m_staffStar, &m_brute}) add(generator);
    for (u32 i = 0; i < ClEnemyFamilies::COUNT; ++i) addUnlisted(m_families.generator(i));
    m_families.addToWaves();
    for (const std::unique_ptr<ClDNAGen_ShipItem>& item : m_items) add(item.get());
    for (u32 boss = 0; boss < BOSS_COUNT; ++boss) {
        for (u32 subBoss = 0; subBoss < SUBBOSS_COUNT; ++subBoss) {
            ClDNAGen_Enemy_Boss* generator = m_bosses[boss * SUBBOSS_COUNT + subBoss].get();
            add(generator);
            setBossGenerator(boss, subBoss, generator);
        }
    }
    m_registered = true;
}

void ClPack_Builtin::unregisterGenerators() {
    if (!m_registered) return;
    unregisterBulletGenerators();
    clearWaveFamilies();
    ClPack::unregisterGenerators();
    clearBossGenerators();
    m_registered = false;
}

void packRegistryInit() {
    if (g_packs.inUse) return;
    g_packs.init(PACK_REGISTRY_INITIAL_CAPACITY);
    g_pBuiltin = new ClPack_Builtin();
    packRegistryAdd(g_pBuiltin);
}

void packRegistryAdd(ClPack* pack) {
    if (!g_packs.inUse) fatalError("a pack added before the pack registry was set up");
    g_packs.push(pack);
    pack->registerGenerators();
}

void packRegistryRelease() {
    if (!g_packs.inUse) return;
    for (u32 i = g_packs.count; i-- > 0;) g_packs[i]->unregisterGenerators();
    g_packs.release();
    delete g_pBuiltin;
    g_pBuiltin = nullptr;
}

u32 packCount() { return g_packs.inUse ? g_packs.count : 0; }

ClPack* packAt(u32 index) {
    if (index >= packCount()) fatalErrorf("pack %u out of range", index);
    return g_packs[index];
}
