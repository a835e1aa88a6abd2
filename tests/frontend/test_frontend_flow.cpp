// The way to play by pointer input (title, song list, difficulty, "goToAction"), the song list's
// states and pages, the quit confirmation, the results' values and the way back to the song list,
// the switch log, and the screens that wait for their story sequences.
#include "frontend_test_support.h"

#include "frontend/results.h"
#include "frontend/song_rows.h"
#include "frontend/switch_log.h"
#include "audio/analysis/spectrum_analysis.h"
#include "core/game_clock.h"
#include "library/data_file.h"
#include "library/play_record_fill.h"
#include "library/song_scan.h"
#include "ui/text_tags.h"
#include "tests/support/memory_script_source.h"
#include "world/play/guardian_sequence.h"
#include "world/state/play_record.h"
#include "input/input_records.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using frontend_test::FrontEndTest;

class FrontEndFlow : public FrontEndTest {
protected:
    ClWidget_List* rows() { return static_cast<ClWidget_List*>(findWidgetByName("SongListRows")); }
    void clickRow(u32 row) {
        const SCanvasRect& r = rows()->screenRect();
        clickAt((r.left + r.right) / 2, r.top + 76.0f * (f32(row) + 0.5f));
    }
};

// A song that cannot be played, or waits for its analysis, cannot be chosen.
TEST_F(FrontEndFlow, OnlyAPlayableSongLeadsToDifficultyAndAClickThereOnNoChoiceTakesNothing) {
    addSong("Alpha", E_SONGSTATE_READY);
    addSong("Broken", E_SONGSTATE_FAILED, E_SONGFAIL_TOO_SHORT);
    addSong("Later", E_SONGSTATE_PENDING);
    openScreen("SongList");
    clickRow(1);
    EXPECT_EQ(shownScreen(), "SongList");
    clickRow(2);
    EXPECT_EQ(shownScreen(), "SongList");
    clickRow(0);
    ASSERT_EQ(shownScreen(), "Difficulty");
    // A mouse click on no choice right after a page is shown takes nothing, though the page gave
    // its first choice the focus.
    frame();
    ASSERT_EQ(uiFocus(), findWidgetByName("DifficultyLevel0"));
    g_aRawPadRecords[0][E_RAW_MOUSE_LEFT] = 1.0f;
    frame(UI_CHANNEL_CLICK);
    g_aRawPadRecords[0][E_RAW_MOUSE_LEFT] = 0.0f;
    frame();
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 0);
    EXPECT_EQ(shownScreen(), "Difficulty");
}

// A click right after a page is shown, the pointer not moved since the click that showed it, takes
// the choice under the pointer, not the page's first choice.
TEST_F(FrontEndFlow, AClickAtTheSameSpotAfterASwitchTakesTheChoiceUnderThePointer) {
    for (const char* title : {"Alpha", "Bravo", "Charlie", "Delta", "Echo"}) addSong(title, E_SONGSTATE_READY);
    openScreen("TitleMenu");
    clickWidget("TitlePlay");
    frame();
    clickRow(3);
    ASSERT_EQ(shownScreen(), "Difficulty");
    const f32 x = g_aRawPadRecords[0][E_RAW_POINTER_X] * frontend_test::LAYOUT_W;
    const f32 y = g_aRawPadRecords[0][E_RAW_POINTER_Y] * frontend_test::LAYOUT_H;
    const SCanvasRect& level = findWidgetByName("DifficultyLevel1")->screenRect();
    ASSERT_GE(y, level.top);
    ASSERT_LT(y, level.bottom);
    ASSERT_GE(x, level.left);
    ASSERT_LT(x, level.right);

    frame(UI_CHANNEL_CLICK);
    frame();
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 1);
    EXPECT_EQ(currentDifficulty(), 1u);
}

// The library may move a record (a renamed file continues its old one) or drop one: the chosen
// song stays chosen where it went, and a song that has gone starts no other.
TEST_F(FrontEndFlow, TheChosenSongIsFollowedWhenTheLibraryMovesItsRecordAndOneGoneStartsNoOther) {
    for (const char* title : {"Alpha", "Bravo", "Charlie"}) addSong(title, E_SONGSTATE_READY);
    openScreen("SongList");
    clickRow(2);
    ASSERT_EQ(shownScreen(), "Difficulty");
    g_SongLibrary.songs.erase(g_SongLibrary.songs.begin());
    frame();
    EXPECT_EQ(uiVariable(UIVAR_SELECTED_SONG_INDEX), 1);
    clickWidget("DifficultyLevel2");
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 1);

    setUiVariable(UIVAR_GO_TO_ACTION, 0);
    switchWidgetByName("TopLevelSwitcher", "SongList");
    frame();
    clickRow(0);
    ASSERT_EQ(shownScreen(), "Difficulty");
    g_SongLibrary.songs.erase(g_SongLibrary.songs.begin());
    clickWidget("DifficultyLevel2");
    EXPECT_EQ(uiVariable(UIVAR_SELECTED_SONG_INDEX), -1);
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 0);
}

TEST_F(FrontEndFlow, RowsShowEachSongsStateAndPagesTurn) {
    for (int i = 0; i < 9; ++i) addSong(("Song " + std::to_string(i)).c_str(), E_SONGSTATE_READY);
    g_SongLibrary.songs[0].bestScores[2] = 11 * 4321;
    addSong("Long", E_SONGSTATE_FAILED, E_SONGFAIL_TOO_LONG);
    openScreen("SongList");
    // Rows shown, the page line, and the previous and next buttons' "disabled".
    const auto expectPage = [this](const char* page, u32 rowCount, const char16_t* line, s32 prevDisabled, s32 nextDisabled) {
        SCOPED_TRACE(page);
        EXPECT_EQ(rows()->itemCount(), rowCount);
        EXPECT_EQ(textOf("SongListPage"), line);
        EXPECT_EQ(findWidgetByName("SongListPrev")->getInt("disabled"), prevDisabled);
        EXPECT_EQ(findWidgetByName("SongListNext")->getInt("disabled"), nextDisabled);
    };
    expectPage("first page", 8u, u"Page 1 of 2", 1, 0);
    clickWidget("SongListNext");
    expectPage("second page", 2u, u"Page 2 of 2", 0, 1);

    g_SongLibrary.songs[8].state = E_SONGSTATE_ANALYSING;
    g_SongLibrary.songs[7].missing = true;
    frame();
    EXPECT_EQ(songRowText(7), u"Artist - Song 7   [c=FF6050]missing: the file has gone[/c]");
    EXPECT_EQ(songRowText(8), u"Artist - Song 8   [c=A0A8B8]analysing... 0%[/c]");
    setSpectrumAnalysisProgress(SPECTRUM_DECODE_PROGRESS_END * 0.5f);
    EXPECT_EQ(songRowText(8), u"Artist - Song 8   [c=A0A8B8]analysing... 50%[/c]");
    setSpectrumAnalysisProgress(SPECTRUM_DECODE_PROGRESS_END);
    EXPECT_EQ(songRowText(8), u"Artist - Song 8   [c=A0A8B8]analysing... 99%[/c]");
    setSpectrumAnalysisProgress(0.0f);
    EXPECT_EQ(songRowText(9), u"Artist - Long   [c=FF6050]cannot be played: too long[/c]");
    EXPECT_EQ(songRowText(0), u"Artist - Song 0   [c=70E070]03:20  best 4,321[/c]");
    clickWidget("SongListPrev");
    expectPage("back to the first page", 8u, u"Page 1 of 2", 1, 0);
}

// A save that cannot be written is told in words (the picture tests see it go when a write
// succeeds); the quit confirmation returns to the title or asks to quit.
TEST_F(FrontEndFlow, TheTitleTellsASaveThatCannotBeWrittenAndItsQuitConfirmationReturnsOrAsksToQuit) {
    openScreen("TitleMenu");
    EXPECT_EQ(textOf("WriteFailedNotice"), u"");
    noteLibraryWrite(E_DAMAGED_USER_SAVE, false, 0);
    frame();
    EXPECT_EQ(textOf("WriteFailedNotice"),
              u"Progress not saved: the disk may be full or read-only. The next save tries again.");
    noteLibraryWrite(E_DAMAGED_USER_SAVE, true, 0);
    clickWidget("TitleQuit");
    ASSERT_EQ(shownScreen(), "MenuAreYouSureYouWantToQuit");
    ASSERT_EQ(uiVariable(UIVAR_PAUSE_GAME), 1);
    clickWidget("QuitNo");
    EXPECT_EQ(shownScreen(), "TitleMenu");
    EXPECT_EQ(uiVariable(UIVAR_PAUSE_GAME), 0);
    clickWidget("TitleQuit");
    clickWidget("QuitYes");
    EXPECT_EQ(uiVariable(UIVAR_FORCE_QUIT_GAME), 1);
}

// The song scan stops issuing requests for a play; the results page leads back to the song list,
// which lets it issue them again.
TEST_F(FrontEndFlow, ResultsShowThePlayKeepTheBestScoreAndLeadBackToTheSongListWithScanRequestsResumed) {
    addSong("Alpha", E_SONGSTATE_READY);
    buildPages();
    SFrontendImports imports;
    imports.enemiesOffered = [] { return 40; };
    setFrontendImports(&imports);
    SPlayerState& player = g_aPlayerState[0];
    player.score = 11 * 12345 + 7;
    player.kills = 30;
    player.deaths = 2;
    player.playTime = 125.5f;
    player.pointsLost = 1500;
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 0);
    ASSERT_TRUE(fillPlayRecordForSong(0, 3));
    pauseSongScanRequests();
    switchWidgetByName("TopLevelSwitcher", "Results");

    EXPECT_EQ(textOf("ResultsScoreValue"), u"12,345");
    EXPECT_EQ(textOf("ResultsKillsValue"), u"30");
    EXPECT_EQ(textOf("ResultsDeathsValue"), u"2");
    EXPECT_EQ(textOf("ResultsPlayTimeValue"), u"02:05");
    EXPECT_EQ(textOf("ResultsPointsLostValue"), u"1,500");
    EXPECT_EQ(textOf("ResultsKillPercentageValue"), u"75%");
    EXPECT_EQ(textOf("ResultsBestValue"), u"12,345");
    EXPECT_EQ(textOf("ResultsNewBest"), u"NEW BEST SCORE!");
    EXPECT_EQ(player.killPercentage, 75.0f);
    EXPECT_EQ(uiVariable(UIVAR_SCORES_HAVE_BEEN_RECORDED), 1);
    EXPECT_EQ(switchLog(), "page Results song=\"Artist - Alpha\" difficulty=3 score=12345\n");
    frame();
    EXPECT_TRUE(areSongScanRequestsPaused()) << "the results do not resume yet";
    clickWidget("ResultsContinue");
    EXPECT_EQ(shownScreen(), "SongList");
    EXPECT_FALSE(areSongScanRequestsPaused());

    // A worse play later keeps the best; without an enemy count the percentage is unknown.
    setFrontendImports(nullptr);
    player.score = 11 * 100;
    setUiVariable(UIVAR_SCORES_HAVE_BEEN_RECORDED, 0);
    switchWidgetByName("TopLevelSwitcher", "Results");
    EXPECT_EQ(textOf("ResultsBestValue"), u"12,345");
    EXPECT_EQ(textOf("ResultsKillPercentageValue"), u"-");
    EXPECT_EQ(textOf("ResultsNewBest"), u"");
    EXPECT_EQ(computeResults(player, 20).killPercentage, 100.0f);
}

// After a failed start the scan wait says why; once left, it says nothing more.
TEST_F(FrontEndFlow, AFailedStartShowsTheScanWaitWithItsReasonOnce) {
    addSong("Alpha", E_SONGSTATE_READY);
    g_SongLibrary.songs[0].missing = true;
    buildPages();
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 0);
    setUiVariable(UIVAR_FILE_CORRUPTION, 1);
    switchWidgetByName("TopLevelSwitcher", "WaitForDirScan");
    EXPECT_EQ(textOf("WaitForDirScanNotice"), u"That song could not be played:\nits file has gone (moved, renamed or deleted).");
    frame();
    clickWidget("WaitForDirScanContinue");
    EXPECT_EQ(uiVariable(UIVAR_FILE_CORRUPTION), 0);
    switchWidgetByName("TopLevelSwitcher", "WaitForDirScan");
    EXPECT_EQ(textOf("WaitForDirScanNotice"), u"");
}

// Names are shown readable and quoted on one line in the log; brackets in a player's tags are drawn
// as they are: the song's name never turns into colour.
TEST_F(FrontEndFlow, NamesAreShownReadableAsTheyAreAndTheLogQuotesThemOnOneLine) {
    SSongRecord song = makeSongRecord(std::u16string(u"\\music\\Caf") + char16_t(0xDCE9) + u" AC" + char16_t(0xDC5C) +
                                          u"DC.flac",
                                      1000000);
    g_SongLibrary.songs.push_back(song);
    addSong("Say \"Hi\"\tnow", E_SONGSTATE_READY);
    addSong("[c=FF0000]Red [c=00FF00]", E_SONGSTATE_READY);
    EXPECT_EQ(songDisplayName(0), u"Caf\uFFFD AC\\DC.flac");
    EXPECT_EQ(songDisplayName(1), u"Artist - Say \"Hi\" now");
    EXPECT_EQ(quoteForLog("a \"b\" c\\d\ne\x01"), "\"a \\\"b\\\" c\\\\d\\ne\\x01\"");
    buildPages();
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 1);
    ASSERT_TRUE(fillPlayRecordForSong(1, 3));
    switchWidgetByName("TopLevelSwitcher", "Results");
    const std::string log = switchLog();
    EXPECT_EQ(log.substr(0, log.find(" difficulty")), "page Results song=\"Artist - Say \\\"Hi\\\" now\"");

    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 2);
    switchWidgetByName("TopLevelSwitcher", "Difficulty");
    std::u16string plain;
    std::vector<u32> colours;
    parseColourTags(textOf("DifficultySong").c_str(), 0xFFFFFFFFu, &plain, &colours);
    EXPECT_EQ(plain, u"Artist - [c=FF0000]Red [c=00FF00]");
    EXPECT_EQ(colours.at(9), 0xFFFFFFFFu);
    parseColourTags(songRowText(2).c_str(), 0xFFFFFFFFu, &plain, &colours);
    EXPECT_EQ(plain.substr(0, 33), u"Artist - [c=FF0000]Red [c=00FF00]");
    EXPECT_EQ(colours.at(20), 0xFFFFFFFFu);
    EXPECT_EQ(songDisplayName(2), u"Artist - [c=FF0000]Red [c=00FF00]");
}

// The start-up benchmark stops its clock at this line.
TEST_F(FrontEndFlow, TheFirstPresentedTitleFrameIsLoggedOnceWithTheMonotonicClock) {
    buildPages();
    switchWidgetByName("TopLevelSwitcher", "SongList");
    logTitleFramePresented();
    switchWidgetByName("TopLevelSwitcher", "TitleMenu");
    const u64 before = osPerformanceCounter();
    logTitleFramePresented();
    const u64 after = osPerformanceCounter();
    switchWidgetByName("TopLevelSwitcher", "SongList");
    switchWidgetByName("TopLevelSwitcher", "TitleMenu");
    logTitleFramePresented();

    const std::string log = switchLog();
    std::smatch stamp;
    ASSERT_TRUE(std::regex_match(log, stamp,
                                 std::regex("page SongList\npage TitleMenu\npresented TitleMenu at_ns=([0-9]+)\n"
                                            "page SongList\npage TitleMenu\n")))
        << log;
    EXPECT_GE(std::stoull(stamp[1]), before);
    EXPECT_LE(std::stoull(stamp[1]), after);
}

// The story screens over short sequences of the test's own; a frame steps the story by 0.25 s.
class StoryScreens : public FrontEndTest {
protected:
    void TearDown() override {
        endScreenSequences();
        FrontEndTest::TearDown();
    }
    // After each frame "screen subtitle chain-flag", the subtitle of the running sequence or "-";
    // repeats folded.
    std::vector<std::string> play(const char* screen, int frames) {
        buildPages();
        resetGuardianSequence();
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
        switchWidgetByName("TopLevelSwitcher", screen);
        std::vector<std::string> seen;
        for (int i = 0; i < frames; ++i) {
            updateGuardianEvents();
            frame();
            const SGuardianSequence& g = g_GuardianSequence;
            const std::string now = shownScreen() + " " + (g.active && g.subtitleKey ? g.subtitleKey : "-") + " " +
                                    std::to_string(g_PlayRecord.interviewChainRunning);
            if (seen.empty() || seen.back() != now) seen.push_back(now);
        }
        return seen;
    }
    test_support::ClInstalledScripts m_scripts{{{"guardian_movies.txt",
        "SG_SPLASH_INTRO { Intro { events { { 0.0; show_subtitle = \"S\"; 9.0; }; { 1.0; exit; }; }; }; };"
        "SGVOInterview {"
        " A { events { { 0.0; show_subtitle = \"A\"; 9.0; }; { 0.5; exit; }; }; };"
        " B { events { { 0.0; show_subtitle = \"B\"; 9.0; }; { 0.5; exit; }; }; }; };"}}};
};

TEST_F(StoryScreens, TheSplashLeavesForTheTitleWhenItsSequenceEnds) {
    EXPECT_EQ(play("SplashScreenNoButtons", 6), (std::vector<std::string>{"SplashScreenNoButtons S 0", "TitleMenu - 0"}));
}

TEST_F(StoryScreens, TheInterviewsPlayInTurnWithTheChainFlagSetThenTheTitleFollows) {
    // "-" between them: B has started, its first event not yet run.
    EXPECT_EQ(play("SGVOInterview", 8), (std::vector<std::string>{"SGVOInterview A 1", "SGVOInterview - 1",
                                                                  "SGVOInterview B 1", "TitleMenu - 0"}));
}

}  // namespace
