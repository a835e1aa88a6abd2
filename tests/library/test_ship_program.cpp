// The ship program: it builds into a ship that spawns whole on its three anchors, flies and fires
// within a few game steps, and its guns follow the items equipped in the anchors' slots.
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "core/string_helpers.h"
#include "input/input_channels.h"
#include "library/ship_program.h"
#include "library/song_library.h"
#include "render/draw_lists.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "waves/generators/item_generators.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/player_ship.h"
#include "world/processors/missile_launcher.h"
#include "world/processors/player_ctrl.h"
#include "world/processors/player_gun.h"
#include "world/services/world_imports.h"
#include "world/state/play_record.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

// An anchor's gun rate, pattern, bullet level and barrel count; rate 0 for an anchor without a gun.
struct SGunRow {
    f32 rate;
    s32 pattern, level;
    u32 barrels;
};

class ShipProgramTest : public WorldDrawTest {
protected:
    void SetUp() override {
        WorldDrawTest::SetUp();
        sfmtInitGenRand(3);
        configClear();
        initInput(0, 38);
        setInputSettleFrames(0);
        g_SavedOptions.controllerSensitivity = 5;
        g_SavedOptions.latchedFire = 0;
        createSongLibrary();
        world_test::resetPlayRecord();
        SWorldImports imports;
        imports.buildShipProgram = buildShipDna;
        setWorldImports(&imports);
    }
    void TearDown() override {
        shutdownWorld();
        freeSessionDNAProgram();
        setWorldImports(nullptr);
        freeSongLibrary();
        shutdownInput();
        configFree();
        WorldDrawTest::TearDown();
    }

    static ClEntity* spawnShip() {
        createPlayerShipProgram();
        spawnPlayerShip(0, 1);
        return playerShip(0);
    }
    // A level below 0 leaves the key unknown to the library.
    static void equip(u32 slot, const char* key, s32 level) {
        SCollectibleRecord item{};
        strCopyN(item.key, key, ITEM_KEY_LENGTH);
        item.currentLevel = level;
        if (level >= 0) g_SongLibrary.collectibles.push_back(item);
        strCopyN(g_SongLibrary.equippedItemKeys[slot], key, ITEM_KEY_LENGTH);
    }
    // The gun of the ship's anchor, or null.
    static const ClProcessor_PlayerGun* gunOf(s32 anchor) {
        for (ClEntityNode* child : g_aPlayerState[0].anchors[anchor].node->children)
            if (auto* gun = static_cast<ClProcessor_PlayerGun*>(child->findProcessor(E_PROC_PLAYER_GUN))) return gun;
        return nullptr;
    }
    // The guns of the ship's anchors, in order, against the rows.
    static void expectGuns(std::initializer_list<SGunRow> rows) {
        ASSERT_EQ(size_t(g_aPlayerState[0].anchorCount), rows.size());
        s32 i = 0;
        for (const SGunRow& expected : rows) {
            SCOPED_TRACE(i);
            SGunRow row{0.0f, 0, 0, 0u};
            if (const ClProcessor_PlayerGun* gun = gunOf(i++))
                row = {gun->params.gunRate, gun->params.gunPat, gun->params.bullet.bullLev, gun->barrels.count};
            EXPECT_EQ(row.rate, expected.rate);
            EXPECT_EQ(row.pattern, expected.pattern);
            EXPECT_EQ(row.level, expected.level);
            EXPECT_EQ(row.barrels, expected.barrels);
        }
    }
};

}  // namespace

TEST_F(ShipProgramTest, EquippedItemsTuneTheGunsOfTheirAnchors) {
    equip(0, "item_hull", 2);
    equip(1, "item_unknown", -1);
    equip(2, "item_wing", 9);
    ASSERT_NE(spawnShip(), nullptr);
    // The wing's level 9 tunes as the top level, 5.
    expectGuns({{14.0f, 0, 2, 2u}, {0.0f, 0, 0, 0u}, {9.0f, 0, 5, 1u}});
}

TEST_F(ShipProgramTest, WeaponItemsTakeThePlaceOfTheirAnchorsGuns) {
    equip(0, "weapon_charging_gun", 1);
    equip(1, "weapon_missile_launcher", 3);
    equip(2, "weapon_sonic_tweeter", 0);
    ASSERT_NE(spawnShip(), nullptr);
    const SPlayerState& player = g_aPlayerState[0];
    const u32 weapons[3] = {E_PROC_PLAYER_CHARGING_GUN, E_PROC_PLAYER_MISSILE_LAUNCHER, E_PROC_PLAYER_SONIC};
    for (s32 i = 0; i < 3; ++i) {
        ASSERT_EQ(player.anchors[i].node->children.count, 1u) << i;
        EXPECT_EQ(player.anchors[i].node->children[0]->processors[1]->typeId, weapons[i]) << i;
    }
    auto* launcher = static_cast<ClProcessor_PlayerMissileLauncher*>(
        player.anchors[1].node->children[0]->findProcessor(E_PROC_PLAYER_MISSILE_LAUNCHER));
    for (int frame = 0; frame < 60; ++frame) world_test::stepWorld(STEP);
    EXPECT_EQ(launcher->loadedCount, 2u) << "four bays at level 3, one loaded each half second";
}

// The item kinds the trigger fires (the sonic weapons fire on the song's beats): fitted to the
// hull, each sends its own bullets up the arena, fire held for a second and then let go.
class TriggeredItem : public ShipProgramTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TriggeredItem, FittedToTheHullItFiresItsOwnBulletsUpTheArena) {
    EShipItemKind kind;
    ASSERT_TRUE(shipItemKindForKey(GetParam(), &kind));
    equip(0, GetParam(), 0);
    ClEntity* ship = spawnShip();
    ASSERT_NE(ship, nullptr);
    const s32 look = shipItemStats(kind, 0).look;
    u32 flying = 0;
    for (int frame = 0; frame < 75; ++frame) {
        g_uInputFlipIndex ^= 1u;
        clearPlayerChannels();
        getPlayerChannel(0, SHIP_CHANNEL_FIRE_FIRST)->value[g_uInputFlipIndex] = frame < 60 ? 1.0f : 0.0f;
        world_test::stepWorld(STEP);
        clearDrawListHalf(PRODUCER_HALF);
        for (const ClEntity* shot : world_test::liveOfKind(E_PROGRAM_PLAYER_SHOT)) {
            const SParamValue* shotLook = shot->root->params.get("BullType");
            if (shotLook && shotLook->integer == look && shot->getWorldPosition().z < ship->getWorldPosition().z - 20.0f)
                ++flying;
        }
    }
    EXPECT_GT(flying, 0u);
}

INSTANTIATE_TEST_SUITE_P(ShipProgramTest, TriggeredItem,
                         ::testing::Values("gun_cannon", "gun_shotgun", "gun_seeker", "weapon_charging_gun",
                                           "weapon_missile_launcher"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
