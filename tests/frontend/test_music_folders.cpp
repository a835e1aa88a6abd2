// The music folder page by the pointer: a folder the player added is chosen and removed (the
// browser's road is the program test's, tests/app/test_options_road.cpp).
#include "frontend_test_support.h"

#include "frontend/page_parts.h"
#include "library/game_data.h"
#include "library/music_folders.h"

namespace {

class MusicFolders : public frontend_test::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        setGameDataDefaults();
        g_GameData.options = 0;  // the desktop's music folder is not searched
        computeSoundtrackFolder();
        buildPages();
    }
    void TearDown() override {
        setGameDataDefaults();
        FrontEndTest::TearDown();
    }
    // A click on the row of the page's list (rows of 76 units from y 220).
    void clickRow(u32 row) { clickAt(frontend_test::LAYOUT_W / 2, 220.0f + 76.0f * (f32(row) + 0.5f)); }
};

// The soundtrack's row cannot be chosen; the player's folder can, and "Remove" takes it out.
TEST_F(MusicFolders, AnAddedFolderChosenAndRemovedIsTakenOut) {
    g_GameData.musicFolders = {u"\\tunes"};
    showScreen("MusicFolders");
    settle();
    clickRow(0);
    EXPECT_EQ(findWidgetByName("MusicFoldersRemove")->getInt("disabled"), 1);
    clickRow(1);
    clickWidget("MusicFoldersRemove");
    EXPECT_TRUE(g_GameData.musicFolders.empty());
    EXPECT_EQ(textOf("MusicFoldersNotice"), getLocalisedString("fe_folders_removed"));
}

}  // namespace
