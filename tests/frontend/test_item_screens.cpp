// The collectible screen and the ship editing screen by pointer: the played song's item described
// and identified; items fitted slot by slot, the profile's keys written and saved.
#include "frontend_test_support.h"

#include "core/name_hash.h"
#include "library/song_items.h"
#include "library/user_save.h"
#include "world/state/item_description.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using ItemScreens = frontend_test::FrontEndTest;

TEST_F(ItemScreens, TheCollectibleScreenDescribesThePlayedSongsItemAndContinueIdentifiesIt) {
    addSong("Alpha", E_SONGSTATE_READY);
    addSong("Beta", E_SONGSTATE_READY);
    buildPages();
    // The first song's item is won too, and not identified yet: the screen goes by the played one.
    const std::string otherKey = songCollectibleAt(0)->key;
    ASSERT_NE(otherKey, songCollectibleAt(1)->key) << "the two songs award different items";
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 1);
    switchWidgetByName("TopLevelSwitcher", "SongCollectibleIdentified");
    const SCollectibleRecord* item = songCollectibleAt(1);
    ASSERT_NE(item, nullptr);
    SItemDescription description;
    describeItem(item->key, &description);
    EXPECT_EQ(textOf("CollectibleName"), std::u16string(description.name, description.name + std::strlen(description.name)));
    EXPECT_EQ(textOf("CollectibleSong"), u"Won by playing Beta");
    EXPECT_EQ(textOf("CollectibleRating0"), u"Level 1");
    EXPECT_FALSE(textOf("CollectibleLine0").empty());
    EXPECT_EQ(item->identified, 0u);
    frame();

    clickWidget("CollectibleContinue");
    EXPECT_EQ(shownScreen(), "Results");
    EXPECT_EQ(songCollectibleAt(1)->identified, 1u);
    EXPECT_EQ(songCollectibleAt(0)->identified, 0u);
}

TEST_F(ItemScreens, TheShipScreenFitsTheOwnedItemsSlotBySlotAndSavesWhenLeft) {
    openScreen("TitleMenu");
    clickWidget("TitleShip");
    ASSERT_EQ(shownScreen(), "ShipEdit");
    EXPECT_EQ(textOf("ShipEditSlot0"), u"Hull: Blaster");
    EXPECT_EQ(textOf("ShipEditSlot1"), u"Left wing: Empty");
    EXPECT_EQ(textOf("ShipEditNotice"), u"Play songs to win items for your ship.");
    EXPECT_EQ(textOf("ShipEditItemLine0"), u"The hull keeps its own blaster.");
    clickWidget("ShipEditBack");

    getSongCollectible(crc32TextNoCase("gun_seeker"))->identified = 1;
    getSongCollectible(crc32TextNoCase("weapon_sonic_tweeter"))->identified = 1;
    getSongCollectible(crc32TextNoCase("gun_cannon"))->identified = 0;
    frame();
    clickWidget("TitleShip");
    EXPECT_EQ(textOf("ShipEditOwned"), u"Items won: 2");
    clickWidget("ShipEditSlot1");
    EXPECT_EQ(textOf("ShipEditSlot1"), u"Left wing: Seeker Gun");
    EXPECT_EQ(textOf("ShipEditItemName"), u"Seeker Gun");
    EXPECT_EQ(textOf("ShipEditItemRating2"), u"Pellets 1");
    clickWidget("ShipEditSlot2");
    EXPECT_EQ(textOf("ShipEditSlot2"), u"Right wing: Sonic Tweeter") << "the seeker is the left wing's";
    EXPECT_STREQ(g_SongLibrary.equippedItemKeys[1], "gun_seeker");
    EXPECT_STREQ(g_SongLibrary.equippedItemKeys[2], "weapon_sonic_tweeter");

    clickWidget("ShipEditBack");
    EXPECT_EQ(shownScreen(), "TitleMenu");
    equipItem(1, "");
    equipItem(2, "");
    ASSERT_EQ(saveRead(0), 1);
    EXPECT_STREQ(g_SongLibrary.equippedItemKeys[1], "gun_seeker");
    EXPECT_STREQ(g_SongLibrary.equippedItemKeys[2], "weapon_sonic_tweeter");
}

}  // namespace
