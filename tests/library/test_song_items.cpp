// The profile's items: the item each song awards, the records the world finds with their level
// values, the owned items, and fitting them to the ship's slots.
#include "core/name_hash.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "waves/pack_registry.h"
#include "world/generators/dna_generator.h"
#include "world/play/collectibles.h"
#include "world/services/world_imports.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SongItems : public ::testing::Test {
protected:
    void SetUp() override {
        packRegistryInit();
        createSongLibrary();
        SWorldImports imports;
        imports.findCollectible = findLibraryCollectible;
        setWorldImports(&imports);
    }
    void TearDown() override {
        setWorldImports(nullptr);
        freeSongLibrary();
        packRegistryRelease();
    }
    // The song's item record, identified (owned) when asked.
    static SCollectibleRecord* award(const char16_t* path, bool owned) {
        g_SongLibrary.songs.push_back(makeSongRecord(path, 1000));
        SCollectibleRecord* item = songCollectibleAt(s32(g_SongLibrary.songs.size() - 1));
        if (item) item->identified = owned ? 1 : 0;
        return item;
    }
};

TEST_F(SongItems, ASongAwardsTheItemItsFileNamePicksWhereverItsFolderIs) {
    const std::string here = award(u"/music/Track One.ogg", false)->key;
    const std::string moved = award(u"/other/place/track one.OGG", false)->key;
    EXPECT_EQ(moved, here);
    EXPECT_EQ(g_SongLibrary.collectibles.size(), 1u);
    // The record's key names the ship item generator of its hash.
    const ClDNAGenerator* generator = generatorFind(E_GENCAT_SHIP_ITEM, g_SongLibrary.collectibles[0].keyHash);
    ASSERT_NE(generator, nullptr);
    EXPECT_EQ(here, generator->getName());
    EXPECT_EQ(songCollectibleAt(5), nullptr);
}

TEST_F(SongItems, TheWorldFindsARecordWithItsLevelValues) {
    SCollectibleRecord* item = award(u"/music/a.wav", true);
    item->currentLevel = 2;
    const SCollectible* found = findCollectibleByKey(item->key);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->currentLevel, 2);
    EXPECT_EQ(found->levelCount, SHIP_ITEM_LEVEL_COUNT);
    EXPECT_EQ(collectibleUpgradeValue(item->key), 4) << "the value of level 3";
    item->currentLevel = 2147483647;
    EXPECT_EQ(collectibleUpgradeValue(item->key), 6) << "the value of the last level, with no overflow";
    EXPECT_EQ(findCollectibleByKey("gun_unknown"), nullptr);
}

TEST_F(SongItems, ASlotCyclesThroughTheOwnedItemsAndAnItemSitsInOneSlotOnly) {
    getSongCollectible(crc32TextNoCase("gun_shotgun"))->identified = 1;
    getSongCollectible(crc32TextNoCase("gun_seeker"))->identified = 0;
    getSongCollectible(crc32TextNoCase("weapon_charging_gun"))->identified = 1;
    EXPECT_EQ(ownedItems().size(), 2u);

    std::string seen;
    for (int click = 0; click < 3; ++click) {
        equipItem(1, nextItemForSlot(1));
        seen += std::string(equippedItemKey(1)) + ";";
    }
    EXPECT_EQ(seen, "gun_shotgun;weapon_charging_gun;;");

    equipItem(1, "weapon_charging_gun");
    equipItem(2, nextItemForSlot(2));
    EXPECT_STREQ(equippedItemKey(2), "gun_shotgun");
    EXPECT_STREQ(nextItemForSlot(2), "") << "the charging gun sits in slot 1";
    equipItem(0, "gun_shotgun");
    equipItem(2, "gun_shotgun");
    EXPECT_STREQ(equippedItemKey(0), "");
    EXPECT_STREQ(equippedItemKey(2), "gun_shotgun");
    EXPECT_STREQ(equippedItemKey(7), "") << "past the ship's slots";
}

}  // namespace
