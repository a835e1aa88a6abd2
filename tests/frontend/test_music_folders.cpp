// The music folder page by the pointer: a folder the player added is chosen and removed (the
// browser's road is the program test's, tests/app/test_options_road.cpp).
#include "frontend_test_support.h"

#include "frontend/page_parts.h"
#include "library/game_data.h"
#include "library/music_folders.h"

namespace {

using MusicFolders = frontend_test::FrontEndTest;

// The soundtrack's row cannot be chosen; the player's folder can, and "Remove" takes it out.
TEST_F(MusicFolders, AnAddedFolderChosenAndRemovedIsTakenOut) {
    setGameDataDefaults();
    g_GameData.options = 0;  // the desktop's music folder is not searched
    computeSoundtrackFolder();
    buildPages();
    g_GameData.musicFolders = {u"\\tunes"};
    showScreen("MusicFolders");
    settle();
    // The list's rows are 76 units high from y 220.
    clickAt(frontend_test::LAYOUT_W / 2, 220.0f + 38.0f);
    EXPECT_EQ(findWidgetByName("MusicFoldersRemove")->getInt("disabled"), 1);
    clickAt(frontend_test::LAYOUT_W / 2, 220.0f + 76.0f + 38.0f);
    clickWidget("MusicFoldersRemove");
    EXPECT_TRUE(g_GameData.musicFolders.empty());
    EXPECT_EQ(textOf("MusicFoldersNotice"), getLocalisedString("fe_folders_removed"));
    setGameDataDefaults();
}

}  // namespace
