// The built-in pack's armed enemies' gun block, its families taken in turn, the pickups' collect
// operations and the ship items' descriptions.
#include <gtest/gtest.h>

#include "core/name_hash.h"
#include "core/rand_obj.h"
#include "tests/waves/wave_test_song.h"
#include "waves/generators/generator_params.h"
#include "waves/generators/item_generators.h"
#include "waves/pack_registry.h"
#include "waves/wave_pool.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/atoms/gun_params.h"
#include "world/state/item_description.h"

#include <vector>

using namespace test_support;

namespace {

class BuiltInPackTest : public WavePlayTest {
protected:
    // A new entity of the generator's program; the program goes with the test's list.
    ClEntity* build(ClDNAGenerator* generator, const SGeneratorParams* params) {
        ClRandObjSFMT random;
        random.seed(3);
        ClDNAProgram* program = generator->generate(&random, params);
        m_programs.emplace_back(program);
        ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
        entity->buildFromDNA(program);
        return entity;
    }
    static void collect(ClEntity* pickup) { pickup->program->generator->onCollect(pickup, nullptr); }
};

TEST_F(BuiltInPackTest, AnArmedEnemyOfEachSizeCarriesTheBulletBlockItsGunReads) {
    const SGeneratorParams params = {4, 1.0f};
    const struct {
        u32 category;
        const char* name;
    } armed[] = {{E_GENCAT_ENEMY_SMALL, "EnemyDart"}, {E_GENCAT_ENEMY_MEDIUM, "EnemySpinner"}, {E_GENCAT_ENEMY_LARGE, "EnemyBastion"}};
    for (const auto& g : armed) {
        SCOPED_TRACE(g.name);
        ClEntity* entity = build(generatorFindOrDie(g.category, g.name), &params);
        EXPECT_NE(entity->root->findProcessor(E_PROC_ENEMY_GUN), nullptr);
        SGunParams gun = {};
        SGunParams::readFromNode(entity->root, &gun);
        EXPECT_EQ(gun.bullet.myBullGen, s32(crc32TextNoCase("DefBullGenE")));
        EXPECT_EQ(gun.bullet.bullType, ENEMY_GUN_BULLET_TYPE) << "the look that readies the gun";
        EXPECT_EQ(gun.bullet.bullLev, 4);
        EXPECT_EQ(gun.gunPel, 1);
    }
}

// Family n > 0 is the n-th of all the packs' generators of the size, counted from 1 and wrapping.
TEST_F(BuiltInPackTest, FamiliesTakeThePacksGeneratorsOfTheSizeInTurnFromTheFirst) {
    for (u32 category : {E_GENCAT_ENEMY_SMALL, E_GENCAT_ENEMY_MEDIUM, E_GENCAT_ENEMY_LARGE}) {
        SCOPED_TRACE(category);
        std::vector<ClDNAGenerator*> all;
        for (u32 p = 0; p < packCount(); ++p)
            for (u32 i = 0; i < packAt(p)->generatorCount(category); ++i) all.push_back(packAt(p)->generatorAt(category, i));
        ASSERT_GE(all.size(), 2u);
        for (u32 family = 1; family <= 2 * all.size(); ++family)
            EXPECT_EQ(familyGenerator(category, family), all[(family - 1) % all.size()]) << family;
    }
}

TEST_F(BuiltInPackTest, PickupsActOnTheFirstPlayer) {
    ClEntity* score = build(generatorFindOrDie(E_GENCAT_PICKUP, "ScorePickup"), nullptr);
    score->root->params.findOrAdd("inspvalue")->setInt(30);
    collect(score);
    EXPECT_EQ(g_aPlayerState[0].score, 30 * SCORE_ENCODING_FACTOR);

    ClEntity* invincibility = build(generatorFindOrDie(E_GENCAT_PICKUP, "InvincibilityPickup"), nullptr);
    collect(invincibility);
    collect(invincibility);
    EXPECT_EQ(g_aPlayerState[0].invincibilityTime, 10.0f);

    // A closed window starts a new chain; an open one carries it on.
    ClEntity* chain = build(generatorFindOrDie(E_GENCAT_PICKUP, "ChainBonusPickup"), nullptr);
    g_aiWaveKillChain[0] = 4;
    collect(chain);
    EXPECT_EQ(g_aiWaveKillChain[0], 1);
    EXPECT_EQ(g_fWaveKillChainWindow, 9.0f);
    collect(chain);
    EXPECT_EQ(g_aiWaveKillChain[0], 2);
}

std::u16string ratingText(const SItemDescription& d, u32 row) {
    char16_t text[128];
    d.ratings[0][row].formatText(text, 128, 1);
    return text;
}

TEST_F(BuiltInPackTest, ShipItemsAreRegisteredByKeyAndDescribeWhatTheyDoAtTheirLevel) {
    ASSERT_EQ(packAt(0)->generatorCount(E_GENCAT_SHIP_ITEM), u32(E_SHIP_ITEM_KIND_COUNT));
    for (u32 i = 0; i < E_SHIP_ITEM_KIND_COUNT; ++i) {
        EShipItemKind kind;
        EXPECT_TRUE(shipItemKindForKey(packAt(0)->generatorAt(E_GENCAT_SHIP_ITEM, i)->getName(), &kind)) << i;
    }
    SItemDescription d;
    generatorFindOrDie(E_GENCAT_SHIP_ITEM, "gun_shotgun")->describe(&d, 2);
    EXPECT_STREQ(d.name, "Shotgun");
    EXPECT_EQ(std::u16string(d.kindText), u"Gun");
    EXPECT_EQ(d.linePresent[1], 1);
    EXPECT_EQ(ratingText(d, 0), u"Level 3");
    EXPECT_EQ(ratingText(d, 2), u"Pellets 5");
    EXPECT_EQ(ratingText(d, 3), u"Hull rate 14/s");

    generatorFindOrDie(E_GENCAT_SHIP_ITEM, "weapon_charging_gun")->describe(&d, 9);
    EXPECT_EQ(std::u16string(d.kindText), u"Weapon");
    EXPECT_EQ(ratingText(d, 0), u"Level 6") << "levels past the top count as the top";
    EXPECT_EQ(ratingText(d, 1), u"Damage 135");
    EXPECT_EQ(ratingText(d, 2), u"Full charge 1.0s");
    EXPECT_EQ(d.ratings[0][3].present, 0);

    // A generator without an item of its own gives its name only.
    generatorFindOrDie(E_GENCAT_PICKUP, "ScorePickup")->describe(&d, 0);
    EXPECT_STREQ(d.name, "ScorePickup");
    EXPECT_EQ(d.ratings[0][0].present, 0);
}

}  // namespace
