// The options screen reached from the title by the pointer: the water option, the ambient light
// options shown as unavailable without a runtime, the log-in fields typed through SDL key events
// and text entry, the credentials kept in the save, and the notice telling the leaderboard
// service's reply to the log-in; and the film splash playing the built intro film, going on when
// it ends or cannot play.
#include "frontend_test_support.h"

#include "core/config.h"
#include "core/game_clock.h"
#include "core/saved_options.h"
#include "frontend/page_parts.h"
#include "input/ambient/ambient_light.h"
#include "library/save_writer.h"
#include "library/user_save.h"
#include "online/credentials.h"
#include "online/http_transport.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "tests/support/local_http_server.h"
#include "render/fmv_player.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

class OptionsScreen : public frontend_test::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_TRUE(windowInitVideo());
        ASSERT_TRUE(windowCreate("", 0, 0, 640, 360, false)) << windowErrorText();
        g_SavedOptions = defaultSavedOptions();
        setLeaderboardCredentials(SLeaderboardCredentials{});
        buildPages();
        showScreen("TitleMenu");
        settle();
        clickWidget("TitleOptions");
        settle();
    }
    void TearDown() override {
        configClear();
        setTextEntryActive(0);
        setLeaderboardCredentials(SLeaderboardCredentials{});
        FrontEndTest::TearDown();
        windowDestroy();
        windowShutdownVideo();
    }
    // Clicks the options screen's button to one of its pages.
    void openPage(const char* button) {
        clickWidget(button);
        settle();
    }
    static s32 disabled(const char* widget) { return findWidgetByName(widget)->getInt("disabled"); }
    static void key(SDL_Scancode code, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = code;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // Presses and releases each key as a player does; the input layer reads them in one poll.
    void type(std::initializer_list<SDL_Scancode> keys) {
        for (SDL_Scancode code : keys) {
            key(code, true);
            key(code, false);
        }
        SWindowMessage message;
        while (windowPeekMessage(&message)) continue;
        updateInput();
        frame();
    }
    // The letters a..z of the text as key presses.
    void typeLetters(const char* text) {
        for (const char* c = text; *c; ++c) type({SDL_Scancode(SDL_SCANCODE_A + (*c - 'a'))});
    }
    // What a field's button shows after its caption.
    static std::u16string fieldText(const char* field) {
        const std::u16string shown = textOf(field);
        return shown.substr(shown.find(u"  ") + 2);
    }
    void fill(const char* field, const char* text) {
        clickWidget(field);
        typeLetters(text);
        type({SDL_SCANCODE_RETURN});
    }
    // The three log-in fields filled (an empty text leaves its field alone), then Log In.
    void logIn(const char* name, const char* password, const char* verify) {
        if (*name) fill("OptionsLoginName", name);
        fill("OptionsPassword", password);
        fill("OptionsVerifyPassword", verify);
        clickWidget("OptionsLogin");
    }
};

TEST_F(OptionsScreen, TheWaterButtonTogglesTheOptionAndWritesTheSave) {
    const u32 before = g_SavedOptions.waterReflection;
    clickWidget("OptionsWater");
    EXPECT_NE(g_SavedOptions.waterReflection, before);
    finishSaveWrites();
    EXPECT_TRUE(std::filesystem::exists(m_user.path() / "SAVEDATA" / "USR-DATA"));
    clickWidget("OptionsWater");
    EXPECT_EQ(g_SavedOptions.waterReflection, before);
}

// Linux has no ambient light runtime: its options are disabled and say why.
TEST_F(OptionsScreen, TheAmbientLightOptionsAreUnavailableWithoutARuntime) {
    openPage("OptionsAmbientPage");
    ASSERT_FALSE(ambientLightingPresent());
    for (const char* option : {"OptionsAmbient", "OptionsAmbientLess", "OptionsAmbientMore"})
        EXPECT_EQ(disabled(option), 1) << option;
    EXPECT_EQ(textOf("OptionsAmbientNotice"), getLocalisedString("fe_options_ambient_absent"));
    const std::u16string caption = textOf("OptionsAmbient");
    EXPECT_NE(caption.find(getLocalisedString("fe_options_unavailable")), std::u16string::npos);
}

// A log-in without a name or with different passwords changes nothing; a character the log-in
// does not take is kept out, and the page says what it takes; Escape leaves a field as it was; the
// fields keep their capacities.
TEST_F(OptionsScreen, TheFieldsTakeWhatTheyMayAndALogInWithoutANameOrWithDifferentPasswordsChangesNothing) {
    logIn("", "secret", "secret");
    EXPECT_EQ(textOf("OptionsNotice"), getLocalisedString("fe_options_login_no_name"));

    logIn("ace", "secret", "secrat");
    EXPECT_EQ(textOf("OptionsNotice"), getLocalisedString("fe_options_login_mismatch"));
    EXPECT_STREQ(leaderboardCredentials().loginName, "");
    EXPECT_STREQ(g_SongLibrary.credentials.loginName, "");

    EXPECT_EQ(textOf("OptionsFieldHint"), u"");
    clickWidget("OptionsLoginName");
    typeLetters("an");
    type({SDL_SCANCODE_APOSTROPHE});
    typeLetters("e");
    type({SDL_SCANCODE_RETURN});
    EXPECT_EQ(fieldText("OptionsLoginName"), u"ane");
    EXPECT_EQ(textOf("OptionsFieldHint"), getLocalisedString("fe_options_login_takes"));

    fill("OptionsLoginName", "ace");
    clickWidget("OptionsLoginName");
    typeLetters("zz");
    type({SDL_SCANCODE_ESCAPE});
    EXPECT_EQ(textEntryActive(), 0u);
    EXPECT_EQ(fieldText("OptionsLoginName"), u"ace");

    fill("OptionsLoginName", "abcdefghijklmnopqrst");
    fill("OptionsPassword", "abcdefghijklmnopqrstuvwxy");
    EXPECT_EQ(fieldText("OptionsLoginName"), u"abcdefghijklmnop");
    EXPECT_EQ(fieldText("OptionsPassword"), std::u16string(20, u'*')) << "the password shows as stars";
}

// With a leaderboard service the log-in is sent to it: the notice says so, then tells the reply.
TEST_F(OptionsScreen, TheNoticeTellsTheServicesReplyToTheLogIn) {
    struct SCase {
        const char* name;
        const char* reply;
        int status;
        const char* notice;
    };
    const SCase cases[] = {
        {"accepted", "0", 200, "fe_options_login_accepted"},
        {"refused", "1 wrong password", 200, "fe_options_login_refused"},
        {"not understood", "welcome", 200, "fe_options_login_bad_reply"},
        {"redirected", "0", 302, "fe_options_login_unreachable"},
    };
    configClear();
    setLeaderboardTransport(httpLeaderboardTransport());
    for (const SCase& c : cases) {
        test_support::ClLocalHttpServer server(c.reply, c.status);
        configSetValue("LEADERBOARD_IP", server.address().c_str());
        leaderboardClientStartup();
        ASSERT_TRUE(leaderboardWorkerStart());
        logIn("ace", "secret", "secret");
        EXPECT_EQ(textOf("OptionsNotice"), getLocalisedString("fe_options_login_sending")) << c.name;
        for (int i = 0; i < 10000 && leaderboardIsBusy(); ++i) {
            leaderboardTick();
            osSleep(1);
        }
        EXPECT_EQ(textOf("OptionsNotice"), getLocalisedString(c.notice)) << c.name;
        leaderboardClientShutdown();
    }
    setLeaderboardTransport(nullptr);
    configFree();
}

// The sensitivities move a whole step a click within their ranges; the menus' pointer takes its
// new speed at once.
TEST_F(OptionsScreen, TheSensitivitiesStepWithinTheirRangesAndTheMenuPointerTakesItsSpeedAtOnce) {
    openPage("OptionsControlsPage");
    clickWidget("OptionsMenuPointerMore");
    EXPECT_EQ(g_SavedOptions.interfacePointerSensitivity, 6.0f);
    EXPECT_EQ(g_fInputSensitivity, inputSensitivityFor(6.0f));
    EXPECT_EQ(textOf("OptionsMenuPointer"), u"Menu pointer sensitivity: 6");
    // The controller's stops at 1: at 0 the pad would not move the ship.
    for (int click = 0; click < 5; ++click) clickWidget("OptionsPadSpeedLess");
    EXPECT_EQ(g_SavedOptions.controllerSensitivity, 1.0f);
    EXPECT_EQ(disabled("OptionsPadSpeedLess"), 1);
    finishSaveWrites();
    EXPECT_TRUE(std::filesystem::exists(m_user.path() / "SAVEDATA" / "USR-DATA"));
}

// Where the pointer is the desktop's own mouse, its sensitivities move nothing: they are greyed
// out with the reason; the controller's stays.
TEST_F(OptionsScreen, ThePointerSensitivitiesAreUnavailableWhileThePointerIsTheDesktopsMouse) {
    configSetValue("USE_ABSOLUTE_WM_MOUSE_POSITION", "1");
    shutdownInput();
    initInput(0, 38);
    openPage("OptionsControlsPage");
    EXPECT_EQ(disabled("OptionsMenuPointerMore"), 1);
    EXPECT_EQ(disabled("OptionsPlayPointerLess"), 1);
    EXPECT_EQ(disabled("OptionsPadSpeedMore"), 0);
    EXPECT_EQ(textOf("OptionsPointerNotice"), getLocalisedString("fe_options_pointer_follows_mouse"));
}

// A later start: the account read from the save signs the leaderboard client in.
TEST_F(OptionsScreen, TheSavedAccountSignsTheClientInAtTheNextStart) {
    logIn("ace", "secret", "secret");
    shutdownFrontEndScreens();
    shutdownUi();
    setLeaderboardCredentials(SLeaderboardCredentials{});
    freeSongLibrary();
    createSongLibrary();
    ASSERT_EQ(saveRead(1), 1);

    initUi();
    buildFrontEndPages();
    EXPECT_STREQ(leaderboardCredentials().loginName, "ace");
}

class FilmSplash : public frontend_test::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        // The end of the film is handled at once, as the window's message would be.
        setFmvMessagePoster([](u32, u64, s64) { fmvHandleGraphEvents(); });
        buildPages();
    }
    void TearDown() override {
        fmvRelease();
        setFmvMessagePoster(nullptr);
        FrontEndTest::TearDown();
    }
    // Frames of 0.1 s until the screen changes or the frames run out.
    u32 framesUntilLeft(const char* screen, u32 most) {
        setClockDelta(GAME_CLOCK_SYSTEM, 0.1f);
        for (u32 i = 0; i < most; ++i) {
            frame();
            if (shownScreen() != screen) return i + 1;
        }
        return most;
    }
};

// The built intro film lasts 2 s: the splash shows it to its end and then goes on.
TEST_F(FilmSplash, TheIntroFilmPlaysToItsEndOrUntilLeftAndOneThatCannotPlayIsPassedAtOnce) {
    showScreen("SplashScreenFMV");
    // Frames of the game clock, not of the machine, 0.1 s each: after 1.9 s the film still shows,
    // and it ends well within the next 8 s.
    EXPECT_EQ(framesUntilLeft("SplashScreenFMV", 19), 19u);
    EXPECT_EQ(shownScreen(), "SplashScreenFMV");
    EXPECT_LT(framesUntilLeft("SplashScreenFMV", 80), 80u);
    EXPECT_EQ(shownScreen(), "SplashScreenNoButtons");
    EXPECT_GT(fmvPicturesShown(), 25u);

    // Leaving the splash closes its film.
    showScreen("SplashScreenFMV");
    ASSERT_TRUE(isFmvPlaying());
    showScreen("TitleMenu");
    EXPECT_FALSE(isFmvPlaying());

    // A film that cannot play takes the other way at once.
    ClWidget* splash = findWidgetByName("SplashScreenFMV");
    splash->setText("fullScreenFMVName", "NoSuchFilm");
    splash->setText("nextScreenID_ALT", "TitleMenu");
    showScreen("SplashScreenFMV");
    frame();
    EXPECT_FALSE(isFmvPlaying());
    EXPECT_EQ(shownScreen(), "TitleMenu");
}

}  // namespace
