// The song scan stops issuing requests for a play; the way back through the results to the song
// list lets it issue them again.
#include "frontend_test_support.h"

#include "library/play_record_fill.h"
#include "library/song_scan.h"

#include <gtest/gtest.h>

using ScanResume = frontend_test::FrontEndTest;

TEST_F(ScanResume, ThePlaysResultsLeadToTheSongListWithScanRequestsResumed) {
    addSong("Alpha", E_SONGSTATE_READY);
    buildPages();
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 0);
    ASSERT_TRUE(fillPlayRecordForSong(0, 3));
    pauseSongScanRequests();
    switchWidgetByName("TopLevelSwitcher", "Results");
    frame();
    EXPECT_TRUE(areSongScanRequestsPaused()) << "the results do not resume yet";
    clickWidget("ResultsContinue");
    EXPECT_EQ(std::make_pair(shownScreen(), areSongScanRequestsPaused()), std::make_pair(std::string("SongList"), false));
}
