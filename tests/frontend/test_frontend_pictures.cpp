// The title, song list, results, collectible and ship editing pages, and the splash with its story sequence, drawn by the
// device under the offscreen driver and read back: each as a PNG under VELODRIX_TEST_PNG_DIR
// when set, and checked by sampled colours.
#include "frontend_test_support.h"

#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "core/script_cache.h"
#include "frontend/front_end_services.h"
#include "frontend/menu_previews.h"
#include "frontend/options_screen.h"
#include "frontend/page_parts.h"
#include "input/text_entry.h"
#include "library/data_file.h"
#include "library/game_data.h"
#include "library/music_folders.h"
#include "core/name_hash.h"
#include "library/play_record_fill.h"
#include "library/song_items.h"
#include "library/user_save.h"
#include "online/busy_text.h"
#include "render/canvases.h"
#include "render/flipbook_table.h"
#include "render/fmv_player.h"
#include "waves/waves.h"
#include "world/services/bar_colour_scheme.h"
#include "world/entity/world.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/offscreen_picture.h"
#include "world/state/boss_encounter.h"
#include "world/play/boss_meter.h"
#include "world/play/guardian_sequence.h"

#include <fstream>

namespace {

class FrontEndPictures : public frontend_test::FrontEndTest, protected ClOffscreenPictures {
protected:
    FrontEndPictures() : ClOffscreenPictures(960, 540, false) {}  // two canvas units a pixel
    void SetUp() override {
        FrontEndTest::SetUp();
        startPictures();
        ASSERT_FALSE(gfxIsNullRenderer());
        addSongs();
        buildPages(false);
        defineStartupCanvases(f32(m_w), f32(m_h));  // the guardian eye's frames go by their heights
        loadUiFonts();
        setUiVariable(UIVAR_SELECTED_SONG_INDEX, 0);
    }
    void TearDown() override {
        shutdownFrontEndScreens();
        shutdownUi();
        stopPictures();
        FrontEndTest::TearDown();
    }
    // The screen after the switch's fade, with the world's drawing first when given.
    void draw(const char* screen, const char* pngName, void (*world)() = nullptr) {
        switchWidgetByName("TopLevelSwitcher", screen);
        setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);
        m_frame = drawFrames(
            [world] {
                if (world) world();
                tickFrontEndScreens();
                renderUiPages();
            },
            pngName);
    }
    SRgb at(f32 x, f32 y) const { return m_frame.rgb(u32(x / 2), u32(y / 2)); }
    // The world the previews' ships live in, with the generators their guns fire; the ships hold
    // still and do not fire.
    static void startPreviewWorld() {
        ASSERT_EQ(initWorld(), 1);
        wavesSetUp();
        initBarColourScheme();
        setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0f);
    }
    static void stopPreviewWorld() {
        for (u32 preview = 0; preview < E_MENU_PREVIEW_COUNT; ++preview) hideMenuShipPreview(EMenuPreview(preview));
        shutdownWorld();
        wavesShutdown();
    }
    // Pixels of the box (canvas units) whose colour passes the test.
    template <typename Test>
    u32 count(f32 x0, f32 y0, f32 x1, f32 y1, Test test) const {
        return m_frame.count({u32(x0 / 2), u32(y0 / 2), u32(x1 / 2), u32(y1 / 2)}, test);
    }
    // A ready song, one that cannot be played and one waiting to be analysed.
    virtual void addSongs() {
        addSong("Alpha", E_SONGSTATE_READY);
        addSong("Broken", E_SONGSTATE_FAILED, E_SONGFAIL_UNDECODABLE);
        addSong("Later", E_SONGSTATE_PENDING);
    }
    SPicture m_frame;
};

// 0xFF141C2C, and a fill of alpha a over it.
constexpr SRgb SCREEN = {0x14, 0x1C, 0x2C};
SRgb over(u32 argb) {
    const f32 a = f32(argb >> 24) / 255.0f;
    const auto mix = [a](u32 top, int bottom) { return int(f32(top & 0xFF) * a + f32(bottom) * (1.0f - a) + 0.5f); };
    return {mix(argb >> 16, SCREEN[0]), mix(argb >> 8, SCREEN[1]), mix(argb, SCREEN[2])};
}

const auto GOLD = [](int r, int g, int b) { return r > 200 && g > 150 && b < 110; };
const auto WHITE = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
const auto LIGHT = [](int r, int g, int b) { return r > 150 && g > 150 && b > 150; };
const auto GREEN = [](int r, int g, int b) { return g > 170 && r < 150 && b < 150; };
const auto RED = [](int r, int g, int b) { return r > 200 && g < 130 && b < 120; };
const auto ORANGE = [](int r, int g, int b) { return r > 200 && g > 120 && g < 220 && b < 110; };
const auto BLACK = [](int r, int g, int b) { return r + g + b < 30; };
// The blaster's shots: magenta.
const auto SHOT = [](int r, int g, int b) { return r > 150 && b > 150 && g < 120; };
// NOTICE_COLOUR's red, also in small text blended with the ground.
const auto NOTICE_RED = [](int r, int g, int b) { return r > 120 && r > g + 50 && r > b + 50; };
// HINT_COLOUR's grey blue.
const auto HINT = [](int r, int g, int b) { return b > 150 && b > r + 20 && g > r && r > 90; };

// Rows of 76 units from y 190 across x 140..1780: a ready song in green, one that cannot be played
// with why in red, one waiting in grey; a folder the scan could not read is listed after the songs,
// its path, then in red why its songs are missing.
TEST_F(FrontEndPictures, SongListShowsEachSongsStateAndAFolderThatCannotBeReadWithWhyInRed) {
    g_SongLibrary.unreadableFolders.push_back(u"\\home\\ann\\Music\\Private");
    draw("SongList", "frontend_song_list_folder.png");
    EXPECT_GT(count(140, 190, 1780, 266, GREEN), 60u);
    EXPECT_EQ(count(140, 190, 1780, 266, RED), 0u);
    EXPECT_GT(count(140, 266, 1780, 342, RED), 200u);
    const auto waiting = [](int r, int g, int b) { return r > 120 && std::abs(r - g) < 24 && std::abs(g - b) < 32; };
    EXPECT_EQ(count(140, 342, 1780, 418, RED) + count(140, 342, 1780, 418, GREEN), 0u);
    EXPECT_GT(count(140, 342, 1780, 418, waiting), 200u);
    // The folder's row: the path in the grey of a row that takes no click.
    const auto grey = [](int r, int g, int b) { return r > 100 && std::abs(r - g) < 24 && std::abs(g - b) < 32; };
    EXPECT_GT(count(140, 418, 1780, 494, grey), 200u);
    EXPECT_GT(count(140, 418, 1780, 494, RED), 200u);
}

// Names in Japanese with an emoji and a star, and in Hangul, are drawn from the fallback face: each
// row differs from one whose name is question marks where those characters are (what a face
// without them draws).
TEST_F(FrontEndPictures, SongNamesInJapaneseHangulAndEmojiAreDrawnNotAsQuestionMarks) {
    addSong("\xE6\x9B\xB2\xE5\x90\x8D \xF0\x9F\x8E\xB5\xE2\x98\x85", E_SONGSTATE_PENDING);
    addSong("?? ??", E_SONGSTATE_PENDING);
    addSong("\xED\x95\x9C\xEA\xB5\xAD \xEB\x85\xB8\xEB\x9E\x98", E_SONGSTATE_PENDING);
    draw("SongList", "frontend_song_list_names.png");
    // Rows of 76 units, 38 pixels each, from y 190 units, compared pixel by pixel with row 4.
    const auto differingFromQuestionMarks = [this](u32 row) {
        const u32 top = (190 + row * 76) / 2, marks = (190 + 4 * 76) / 2;
        u32 differing = 0;
        for (u32 y = 0; y < 38; ++y)
            for (u32 x = 70; x < 890; ++x) {
                const SRgb a = m_frame.rgb(x, top + y);
                const SRgb b = m_frame.rgb(x, marks + y);
                if (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 120) ++differing;
            }
        return differing;
    };
    EXPECT_GT(differingFromQuestionMarks(3), 150u) << "Japanese";
    EXPECT_GT(differingFromQuestionMarks(5), 150u) << "Hangul";
}

TEST_F(FrontEndPictures, ResultsShowCaptionsLeftAndValuesRight) {
    SPlayerState& p = g_aPlayerState[0];
    p.score = 11 * 98765;
    p.kills = 42;
    p.deaths = 3;
    p.playTime = 95.0f;
    p.pointsLost = 750;
    SFrontendImports imports;
    imports.enemiesOffered = [] { return 50; };
    setFrontendImports(&imports);
    ASSERT_TRUE(fillPlayRecordForSong(0, 2));
    // The song's item is the player's already: the results say so below the new best.
    songCollectibleAt(0)->identified = 1;
    draw("Results", "frontend_results.png");
    // Seven rows of 74 units from y 310; captions in the left half, values in the right.
    for (int row = 0; row < 7; ++row) {
        const f32 y = 310.0f + 74.0f * f32(row);
        EXPECT_GT(count(200, y, 900, y + 70, WHITE), 60u) << row;
        EXPECT_GT(count(1000, y, 1780, y + 70, LIGHT), 10u) << row;
    }
    EXPECT_GT(count(400, 30, 1520, 160, GOLD), 1000u);
    EXPECT_GT(count(360, 834, 1560, 894, GOLD), 300u) << "the new best";
    EXPECT_GT(count(160, 898, 1760, 954, HINT), 300u) << "the item owned already";
    EXPECT_EQ(count(0, 954, 1920, 960, HINT), 0u) << "nothing of it over the button";
}

// The played song's item, identified: the gold name below the heading, what it does, its power
// ratings and the focused "Continue" on the left; on the right the item on the ship's hull in its
// preview frame (x 1320..1800, y 330..810 units), drawn through "RTT_IS0".
TEST_F(FrontEndPictures, TheCollectibleScreenNamesTheItemListsWhatItDoesAndShowsItOnTheShip) {
    startPreviewWorld();
    draw("SongCollectibleIdentified", "frontend_collectible.png", applyBarShaderConstants);
    stopPreviewWorld();
    EXPECT_GT(count(400, 90, 1520, 220, GOLD), 1000u);
    EXPECT_GT(count(260, 230, 1660, 290, WHITE), 100u) << "the song that won it";
    EXPECT_GT(count(170, 320, 1270, 420, GOLD), 500u) << "the item's name";
    EXPECT_GT(count(170, 490, 1270, 610, WHITE), 400u) << "what it does";
    for (int row = 0; row < 4; ++row) {
        const f32 y = 640.0f + 54.0f * f32(row);
        EXPECT_GT(count(170, y, 1270, y + 54, WHITE), 60u) << "rating " << row;
    }
    EXPECT_THAT(at(700, 950), RgbNear(over(BUTTON_FOCUS_COLOUR), 4));
    EXPECT_GT(count(1460, 500, 1660, 660, ORANGE), 600u) << "the ship's hull";
    EXPECT_GT(count(1320, 330, 1800, 410, BLACK), 5000u) << "the target around it";
    EXPECT_EQ(count(1270, 300, 1920, 1080, ORANGE), count(1320, 330, 1800, 810, ORANGE)) << "nothing outside the frame";
}

// Two items fitted, the hull's described: the empty preview panel on the left, the three slots
// on the right with the first focused, the description below them.
TEST_F(FrontEndPictures, TheShipScreenShowsItsSlotsTheHullsItemAndThePreviewPanel) {
    for (const char* key : {"gun_cannon", "weapon_sonic_tweeter"}) getSongCollectible(crc32TextNoCase(key))->identified = 1;
    equipItem(0, "gun_cannon");
    equipItem(2, "weapon_sonic_tweeter");
    draw("ShipEdit", "frontend_ship_edit.png");
    EXPECT_GT(count(400, 40, 1520, 170, GOLD), 500u);
    EXPECT_THAT(at(300, 300), RgbNear(over(PANEL_COLOUR), 4));
    EXPECT_THAT(at(1000, 200), RgbNear(over(BUTTON_FOCUS_COLOUR), 4));
    EXPECT_THAT(at(1000, 305), RgbNear(over(BUTTON_IDLE_COLOUR), 4));
    for (int slot = 0; slot < 3; ++slot) {
        const f32 y = 190.0f + 105.0f * f32(slot);
        EXPECT_GT(count(980, y, 1840, y + 90, WHITE), 150u) << "slot " << slot;
    }
    EXPECT_GT(count(980, 510, 1840, 580, GOLD), 200u) << "the hull's item";
    for (int row = 0; row < 5; ++row) {
        const f32 y = 734.0f + 37.8f * f32(row);
        EXPECT_GT(count(980, y, 1840, y + 37, LIGHT), 20u) << "rating " << row;
    }
    EXPECT_GT(count(80, 886, 900, 942, HINT), 100u) << "the hint below the panel";
    EXPECT_EQ(count(80, 886, 900, 942, RED), 0u) << "a hint is not an error";
}

// The splash 1.5 s into the guardian's intro: the backdrop fading in, the eye, the subtitle and
// the splash's own title.
TEST_F(FrontEndPictures, TheSplashShowsTheGuardianEyeAndSubtitleOverTheTitle) {
    initFlipbookTable();
    ASSERT_NE(loadFlipbook(GUARDIAN_EYE_FLIPBOOK, 15.0f), nullptr);
    for (const char* name : {"Images/GuardianBG", "Images/NoiseDots"}) ASSERT_NE(loadTexture(name), nullptr);
    resetGuardianSequence();
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.5f);
    draw("SplashScreenNoButtons", "frontend_splash_story.png", updateGuardianEvents);
    // The warm noise everywhere, the eye's bright ring around the middle, the white subtitle at
    // the top and the gold title below the eye.
    const auto warm = [](int r, int, int b) { return r > b + 40; };
    const auto bright = [](int r, int g, int b) { return r > 230 && g > 190 && b > 90; };
    EXPECT_EQ(count(0, 0, 400, 1080, warm), 200u * 540u);
    EXPECT_GT(count(480, 380, 1440, 720, bright), 20000u);
    EXPECT_EQ(count(0, 0, 400, 1080, bright) + count(1520, 0, 1920, 1080, bright), 0u);
    EXPECT_GT(count(400, 90, 1520, 150, WHITE), 1000u);
    EXPECT_GT(count(400, 780, 1520, 920, GOLD), 2000u);
    endScreenSequences();
    releaseGuardianSequence();
    releaseAllFlipbooks();
}

// The title with the world up: the name, the focused "Play" (x 640..1280 units, y 400..490) and
// idle "Quit" (y 800..890) on the screen's colour; the ship, built from the profile, drawn by the
// preview pass into "RTT_MM0" and shown in the frame on the right (x 1380..1820, y 400..840
// units): orange hull in the middle, the target's black around it.
TEST_F(FrontEndPictures, TheTitleShowsTheShipThroughItsPreviewTarget) {
    startPreviewWorld();
    draw("TitleMenu", "frontend_title_ship.png", applyBarShaderConstants);
    EXPECT_THAT(at(20, 20), RgbNear(SCREEN, 4));
    EXPECT_THAT(at(660, 420), RgbNear(over(BUTTON_FOCUS_COLOUR), 4));
    EXPECT_THAT(at(660, 820), RgbNear(over(BUTTON_IDLE_COLOUR), 4));
    EXPECT_GT(count(400, 120, 1520, 280, GOLD), 2000u);
    EXPECT_GT(count(640, 400, 1280, 490, WHITE), 200u);
    EXPECT_GT(count(1500, 540, 1700, 700, ORANGE), 600u);
    EXPECT_GT(count(1380, 400, 1820, 480, BLACK), 5000u);
    EXPECT_EQ(count(1380, 400, 1820, 840, ORANGE), count(1440, 480, 1760, 800, ORANGE));
    // Nothing of the ship left of the frame, below the gold heading.
    EXPECT_LT(count(0, 300, 1300, 1080, ORANGE), 20u);
    stopPreviewWorld();
}

// A medal's reply told at the bottom right over the title, in white on its shadow, for the
// notice's four seconds of drawn frames (each frame here is a second).
TEST_F(FrontEndPictures, TheLeaderboardLineTellsAMedalsReplyForItsFourSeconds) {
    showLeaderboardNotice("leaderboard_medal_awarded");
    draw("TitleMenu", "frontend_medal_notice.png", [] { drawLeaderboardBusyText(); });
    EXPECT_GT(count(1100, 1000, 1900, 1080, WHITE), 20u);
    draw("TitleMenu", "frontend_medal_notice_gone.png", [] { drawLeaderboardBusyText(); });
    EXPECT_EQ(count(1100, 1000, 1900, 1080, WHITE), 0u);
}

// The options screen: heading, the buttons to its four pages and the log-in fields. A password of
// 20 characters typed into the last field: its caption and stars are made smaller to stay inside
// the button (x 510..1410 units).
TEST_F(FrontEndPictures, TheOptionsScreenShowsItsPagesAndALongPasswordStaysInsideItsField) {
    systemSetVerifyPasswordButtonForTextCapture();
    for (int i = 0; i < 20; ++i) {
        handleTextKey(1, 0x1E, true);
        handleTextKey(0, 0x1E, true);
    }
    draw("OptionsMenu", "frontend_options_long_password.png");
    EXPECT_GT(count(400, 70, 1520, 200, GOLD), 1000u);
    for (f32 y : {305.0f, 410.0f}) {
        EXPECT_GT(count(500, y, 940, y + 90, WHITE), 200u) << y;
        EXPECT_GT(count(980, y, 1420, y + 90, WHITE), 200u) << y;
    }
    const f32 y = 610.0f + 2 * 90.0f;
    EXPECT_GT(count(530, y, 1390, y + 80, WHITE), 300u);
    EXPECT_EQ(count(0, y, 505, y + 80, WHITE) + count(1415, y, 1920, y + 80, WHITE), 0u);
    setTextEntryActive(0);
}

// The music folders page: the soundtrack's row greyed (always searched), the player's folder in
// white below it, and the add and remove buttons.
TEST_F(FrontEndPictures, TheMusicFoldersPageListsTheFoldersAndTheirSongs) {
    computeSoundtrackFolder();
    g_GameData.options = 0;
    g_GameData.musicFolders = {u"\\home\\ann\\Jazz"};
    draw("MusicFolders", "frontend_music_folders.png");
    setGameDataDefaults();
    EXPECT_GT(count(400, 40, 1520, 170, GOLD), 1000u);
    EXPECT_EQ(count(140, 220, 1780, 296, WHITE), 0u);
    EXPECT_GT(count(140, 220, 1780, 296, LIGHT) + count(140, 220, 1780, 296, [](int r, int, int) { return r > 100; }), 200u);
    EXPECT_GT(count(140, 296, 1780, 372, WHITE), 200u);
    EXPECT_GT(count(460, 800, 940, 890, WHITE), 150u);
    EXPECT_EQ(count(980, 800, 1460, 890, WHITE), 0u) << "nothing chosen to remove yet";
}

// A save that cannot be written is told in the strip above every page's heading: inside the
// window's width (a 1280-pixel window shows the canvas's 1920 units) and clear of the heading and
// of the difficulty page's "Back" at the page's foot.
TEST_F(FrontEndPictures, TheSaveAndStartFailureNoticesStayClearOfTheHeadingsAndButtons) {
    noteLibraryWrite(E_DAMAGED_USER_SAVE, false, 0);
    draw("Difficulty", "frontend_save_failed.png");
    noteLibraryWrite(E_DAMAGED_USER_SAVE, true, 0);
    EXPECT_GT(count(0, 0, 1920, 40, NOTICE_RED), 300u) << "the notice";
    EXPECT_EQ(count(0, 0, 20, 40, NOTICE_RED), 0u) << "its left end inside the window";
    EXPECT_EQ(count(1900, 0, 1920, 40, NOTICE_RED), 0u) << "its right end inside the window";
    EXPECT_EQ(count(0, 40, 1920, 160, NOTICE_RED), 0u) << "nothing of it over the heading";
    EXPECT_EQ(count(760, 1000, 1160, 1070, NOTICE_RED), 0u) << "nothing over Back";

    // A save that failed when the game last closed (its marker left beside it) is told on the title
    // at the next start, below the buttons and inside the window; the strip went with the good write.
    std::ofstream((m_user.path() / "SAVEDATA" / "USR-DATA.unsaved").string());
    noteEarlierWriteFailure(E_DAMAGED_USER_SAVE, USER_SAVE_RELATIVE_PATH);
    draw("TitleMenu", "frontend_title_save_failed_before.png");
    noteLibraryWrite(E_DAMAGED_USER_SAVE, true, 0);
    EXPECT_GT(count(60, 900, 1860, 1000, RED), 500u) << "the notice";
    EXPECT_EQ(count(0, 900, 60, 1000, RED), 0u) << "its left end inside the window";
    EXPECT_EQ(count(1860, 900, 1920, 1000, RED), 0u) << "its right end inside the window";
    EXPECT_EQ(count(0, 0, 1920, 900, RED), 0u) << "nothing of it over the buttons, no strip above them";

    // After a failed start the scan wait says why, between its heading and its "Continue".
    g_SongLibrary.songs[0].missing = true;
    setUiVariable(UIVAR_FILE_CORRUPTION, 1);
    draw("WaitForDirScan", "frontend_wait_start_failed.png");
    setUiVariable(UIVAR_FILE_CORRUPTION, 0);
    EXPECT_GT(count(60, 620, 1860, 750, RED), 500u) << "the reason";
    EXPECT_EQ(count(0, 0, 1920, 620, RED), 0u) << "nothing of it over the heading";
    EXPECT_EQ(count(0, 750, 1920, 1080, RED), 0u) << "nothing of it over Continue";
}

// The boss-score screen with the zones "sos.txt" gives: a band across the screen in each zone's
// colour, behind the gold heading; a zone reaching below the screen or missing a value is left out.
TEST_F(FrontEndPictures, TheBossScoreScreenDrawsItsZonesBehindItsText) {
    test_support::ClMemoryScriptSource scripts;
    scripts.files["sos.txt"] = "zone { 0.0; 0.25; colour = 0xFF802020 }; zone { 0.5; 1.5; colour = 0xFF208020 }; zone { 0.3; };"
                               "zone { 0.75; 1.0; colour = 0x80FFFFFF };";
    scriptRegistriesInit();
    setScriptSource(&scripts);
    loadSosZones();
    draw("SOSMenu", "frontend_boss_score.png");
    releaseSosZones();
    freeAllScripts();
    setScriptSource(nullptr);
    EXPECT_THAT(at(20, 20), RgbNear(over(0xFF802020), 4)) << "the first zone";
    EXPECT_GT(count(400, 150, 1520, 260, GOLD), 1000u) << "the heading over it";
    EXPECT_THAT(at(20, 600), RgbNear(SCREEN, 4)) << "the zone below the screen";
    EXPECT_THAT(at(20, 1000), RgbNear(over(0x80FFFFFF), 4)) << "the last zone";
    EXPECT_THAT(at(700, 850), testing::Not(RgbNear(over(0x80FFFFFF), 4))) << "the button over it";
}

// The film splash a second into the intro film: the film's picture over the whole screen, the
// guardian's opening eye in the middle on its dark blue ground.
TEST_F(FrontEndPictures, TheFilmSplashShowsTheIntroFilm) {
    switchWidgetByName("TopLevelSwitcher", "SplashScreenFMV");
    ASSERT_TRUE(isFmvPlaying());
    setClockDelta(GAME_CLOCK_SYSTEM, 0.35f);
    m_frame = drawFrames([] { tickFrontEndScreens(); renderUiPages(); }, "frontend_splash_film.png");
    const auto beige = [](int r, int g, int b) { return r > 150 && g > 120 && b > 60 && r > b + 40; };
    const auto ground = [](int r, int g, int b) { return r < 30 && g < 40 && b > 25 && b < 70; };
    EXPECT_GT(count(660, 400, 1260, 680, beige), 20000u);
    EXPECT_GT(count(0, 0, 300, 1080, ground), 150u * 500u);
    fmvRelease();
}

// The HUD's layers below 1300 (the boss bar among them) are drawn in the camera's pass.
class HudPicture : public FrontEndPictures {
protected:
    HudPicture() { m_camera = true; }
    void TearDown() override {
        g_BossEncounter = SBossEncounter{};
        FrontEndPictures::TearDown();
    }
};

TEST_F(HudPicture, TheBossBarAndItsCountdownReadCleanlyAmongTheHudTexts) {
    ASSERT_TRUE(loadUiImage("hud-boss-bar", 0));
    ASSERT_TRUE(loadUiImage("hud-boss-bar-hit", 0));
    setLabelText("Score", "1,234,567");
    setLabelText("hud_target_score", "2,000,000");
    setLabelText("playback_time_remaining", "02:41");
    SBossEncounter& e = g_BossEncounter;
    e.phase = E_BOSSPHASE_FIGHT;
    setSongTime(0.0f);
    e.phaseTimer = 83.5f;  // 01:23 left
    e.barLastValue = 1.0f;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
    draw("InGame", "hud_boss_fight.png", updateBossEncounter);

    // "SAFE" is 1080 units to 480 pixels here, the page's "FULL" to 540: the meter's frame keeps
    // to the bar's units. The bar's middle row keeps its own red to orange, untinted (no blue);
    // the rules above and below it run its length; the countdown sits on its row to the right.
    const f32 safe = 480.0f / 1080.0f;
    const u32 left = u32(480.0f - 552.0f * safe), full = u32(1020.0f * safe), row = u32(75.0f * safe);
    const SPixelRun bar = m_frame.run({0, row, 960, row + 1}, [](int r, int g, int) { return r > 120 && r > g; });
    EXPECT_LE(bar.left, left + 8);
    EXPECT_GE(bar.right + 8, left + full);
    EXPECT_EQ(m_frame.count({left, row, left + full, row + 1}, [](int, int, int b) { return b > 60; }), 0u);
    const auto lit = [](int r, int g, int b) { return std::max({r, g, b}) > 60; };
    EXPECT_GT(m_frame.count({left, u32(51.0f * safe), left + full, u32(55.0f * safe) + 1}, lit), full * 9 / 10);
    EXPECT_GT(m_frame.count({left, u32(96.0f * safe), left + full, u32(100.0f * safe) + 1}, lit), full * 9 / 10);
    EXPECT_GT(m_frame.count({left + full, u32(57.0f * safe), 480 + u32(610.0f * safe), u32(93.0f * safe)}, WHITE), 40u);
    // The right-hand texts end 40 units (20 pixels) inside the edge; the song's time is whole.
    EXPECT_NEAR(f32(m_frame.run({480, 0, 960, 80}, WHITE).right), 940.0f, 4.0f);
    EXPECT_EQ(count(0, 1070, 1920, 1080, WHITE), 0u);
    EXPECT_GT(count(800, 1000, 1120, 1080, WHITE), 40u);
}

// The song list at 1280x720, a window's usual size, where a row is 50.67 pixels: two pages of eight
// songs, each page showing all eight rows, and a click on each row choosing its song.
class SongPagesAt720 : public FrontEndPictures {
protected:
    SongPagesAt720() {
        m_w = 1280;
        m_h = 720;
    }
    void addSongs() override {
        for (int song = 0; song < 16; ++song) addSong(("Song " + std::to_string(song)).c_str(), E_SONGSTATE_READY);
    }
    // Frames a second apart (a page's fade takes less) with the channel pressed (-1: none); the
    // last one's picture.
    SPicture frameWith(int channel, const char* pngName = "song_pages_720.png", int frames = 1) {
        return drawFrames(
            [this, channel] {
                setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);
                frame(channel);
            },
            pngName, frames);
    }
    // The pointer moved to the window's pixel, and the picture of the frame it moved in.
    SPicture pointAt(f32 x, f32 y, const char* pngName = "song_pages_720.png") {
        g_aRawPadRecords[0][E_RAW_POINTER_PRESENT] = 1.0f;
        g_aRawPadRecords[0][E_RAW_POINTER_X] = x / 1280.0f;
        g_aRawPadRecords[0][E_RAW_POINTER_Y] = y / 720.0f;
        return frameWith(-1, pngName);
    }
    // A click at the window's pixel: the pointer moves there in one frame, the button is down in
    // the next (and up in whatever frame comes after).
    void click(f32 x, f32 y) {
        pointAt(x, y);
        frameWith(UI_CHANNEL_CLICK);
    }
};

TEST_F(SongPagesAt720, EachPageShowsItsEightSongsAndAClickOnEachChoosesIt) {
    const f32 unit = 720.0f / 1080.0f, rowHeight = 76.0f * unit;
    const auto rowMiddle = [&](int row) { return u32(190.0f * unit + rowHeight * (f32(row) + 0.5f)); };
    for (int page = 0; page < 2; ++page) {
        switchWidgetByName("TopLevelSwitcher", "SongList");
        if (page == 1) click(1280.0f / 2 + 560.0f * unit, (840.0f + 50.0f) * unit);  // "Next"
        const SPicture picture = frameWith(-1, page == 0 ? "song_pages_720_1.png" : "song_pages_720_2.png", 3);
        for (int row = 0; row < 8; ++row) {
            const f32 top = 190.0f * unit + rowHeight * f32(row);
            const u32 text = picture.count({100, u32(top + 4.0f), 640, u32(top + rowHeight - 4.0f)}, WHITE);
            EXPECT_GT(text, 100u) << "page " << page + 1 << " row " << row + 1 << " shows its song";
        }
        // The row under the pointer is highlighted, and only that row.
        const SPicture pointed = pointAt(640.0f, f32(rowMiddle(2)), "song_pages_720_pointed.png");
        EXPECT_THAT(pointed.rgb(1100, rowMiddle(2)), RgbNear(over(BUTTON_FOCUS_COLOUR), 4)) << "page " << page + 1;
        EXPECT_THAT(pointed.rgb(1100, rowMiddle(3)), testing::Not(RgbNear(over(BUTTON_FOCUS_COLOUR), 40)))
            << "page " << page + 1;
        for (int row = 0; row < 8; ++row) {
            click(640.0f, f32(rowMiddle(row)));
            EXPECT_EQ(shownScreen(), "Difficulty") << "page " << page + 1 << " row " << row + 1;
            EXPECT_EQ(uiVariable(UIVAR_SELECTED_SONG_INDEX), page * 8 + row) << "page " << page + 1 << " row " << row + 1;
            switchWidgetByName("TopLevelSwitcher", "SongList");
        }
    }
}

}  // namespace
