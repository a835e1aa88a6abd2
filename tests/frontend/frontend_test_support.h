// The front end's pages over the built data's string tables, with a temporary user-data folder
// (the switch log and the save go there), input, the packs' generators, and a song library of
// the test's own songs.
// Without a device the pages are laid out over canvases of 1920 x 1080 (one pixel a unit): hit
// regions are real, nothing is drawn.
#pragma once

#include "core/directories.h"
#include "core/game_clock.h"
#include "core/log_manager.h"
#include "core/string_table.h"
#include "frontend/frontend.h"
#include "frontend/frontend_imports.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "library/song_library.h"
#include "render/canvases.h"
#include "tests/library/library_test_support.h"
#include "tests/render/render_data_support.h"
#include "tests/support/file_bytes.h"
#include "ui/switcher.h"
#include "ui/ui_draw.h"
#include "ui/ui_imports.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "ui/widget_kinds.h"
#include "waves/pack_registry.h"
#include "world/play/player_state.h"
#include "input/input_records.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace frontend_test {

constexpr f32 LAYOUT_W = 1920.0f;
constexpr f32 LAYOUT_H = 1080.0f;

class FrontEndTest : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        buildLangDir();
        stringTablesInit();
        ASSERT_EQ(stringTableLoad("All"), 1u);
        std::filesystem::create_directories(m_user.path() / "SAVEDATA");
        std::filesystem::create_directories(m_user.path() / "GAMEDATA");
        setUserDataDirW((library_test::wide(m_user.str()) + u"\\").c_str());
        logManagerInit();
        createSongLibrary();
        resetPlayerStates();
        packRegistryInit();
    }
    void TearDown() override {
        packRegistryRelease();
        shutdownFrontEndScreens();
        setFrontendImports(nullptr);
        setUiImports(nullptr);
        if (uiExists()) shutdownUi();
        shutdownInput();
        releaseCanvases();
        freeSongLibrary();
        logManagerShutdown();
        setUserDataDirW(u"");
        stringTablesShutdown();
        BuiltDataTest::TearDown();
    }

    // The pages, over layout canvases unless the caller's device made them.
    void buildPages(bool layoutCanvases = true) {
        if (layoutCanvases) createCanvases(LAYOUT_W, LAYOUT_H);
        initInput(0, 38);
        std::fill(std::begin(g_aRawPadRecords[0]), std::end(g_aRawPadRecords[0]), 0.0f);
        initUi();
        g_UiFlags.inputEnabled = 1;
        const SUiImports imports{frontEndUiCallbacks()};
        setUiImports(&imports);
        buildFrontEndPages();
        finishUiPageLoad();
    }

    // The pages built and the screen shown, one frame on.
    void openScreen(const char* screen) {
        buildPages();
        switchWidgetByName("TopLevelSwitcher", screen);
        frame();
    }

    // A library song: "Artist - title", ready (its length 03:20) or failed with the reason.
    static void addSong(const char* title, u32 state, u32 failure = 0) {
        SSongRecord song = makeSongRecord(u"\\music\\" + library_test::wide(title) + u".flac", 1000000);
        song.title = library_test::wide(title);
        song.artist = u"Artist";
        song.state = state;
        song.failure = failure;
        song.duration = 200.0f;
        g_SongLibrary.songs.push_back(song);
    }

    // One interface frame with the channels given this frame.
    void frame(int channel = -1) {
        g_uInputFlipIndex ^= 1;
        for (int c = 0; c < 38; ++c) getPlayerChannel(0, c)->value[g_uInputFlipIndex] = c == channel ? 1.0f : 0.0f;
        tickFrontEndScreens();
        updateUiInput();
        renderUiPages();
    }
    // Frames of 0.1 s until the switch to the screen has finished, with the pointer moved off the
    // buttons (the hover follows the pointer's moves).
    void settle() {
        g_aRawPadRecords[0][E_RAW_POINTER_X] = 0.0f;
        g_aRawPadRecords[0][E_RAW_POINTER_Y] = 0.0f;
        setClockDelta(GAME_CLOCK_SYSTEM, 0.1f);
        for (int i = 0; i < 20 && !isWidgetSettledByName("TopLevelSwitcher"); ++i) frame();
        frame();
    }
    // Moves the pointer to the pixel and clicks there.
    void clickAt(f32 x, f32 y) {
        g_aRawPadRecords[0][E_RAW_POINTER_PRESENT] = 1.0f;
        g_aRawPadRecords[0][E_RAW_POINTER_X] = x / LAYOUT_W;
        g_aRawPadRecords[0][E_RAW_POINTER_Y] = y / LAYOUT_H;
        frame();
        frame(UI_CHANNEL_CLICK);
        frame();
    }
    void clickWidget(const char* name) {
        const SCanvasRect& r = findWidgetByName(name)->screenRect();
        clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    static std::string shownScreen() { return shownChildName("TopLevelSwitcher"); }
    static std::u16string textOf(const char* name) {
        const char16_t* shown = widgetDisplayText(*findWidgetByName(name));
        return shown ? shown : u"";
    }
    // The switch log's lines so far.
    std::string switchLog() const {
        closeLog(FRONT_END_LOG_NAME);
        return test_support::readFileText(m_user.file("GAMEDATA/FrontEnd.log"));
    }

    test_support::ClTempDir m_user;
};

}  // namespace frontend_test
