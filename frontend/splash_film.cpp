// The film splash: the screen that plays the full-screen film named by its "fullScreenFMVName"
// once when it is shown and goes on to "nextScreenID" when the film has ended, or at once to
// "nextScreenID_ALT" when the film cannot play. The film player is stepped here every frame by
// the real frame time; leaving the screen while the film runs closes the film.
#include "core/game_clock.h"
#include "core/string_helpers.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "render/fmv_player.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"

namespace {

constexpr const char* FILM_SPLASH_SCREEN = "SplashScreenFMV";
constexpr const char* INTRO_FILM = "VelodrixIntro";
// Where the film splash goes, whether the film played or not: the guardian's splash.
constexpr const char* AFTER_FILM_SCREEN = "SplashScreenNoButtons";
constexpr u32 FILM_SPLASH_COLOUR = 0xFF000000u;

// The splash whose film was started and has not yet been seen to end.
ClWidget* g_playingSplash = nullptr;

void goOn(ClWidget* splash, const char* property) {
    const char* next = splash->getText(property);
    if (next && *next) showScreen(next);
}

void initFilmSplash(ClWidget* splash) {
    g_playingSplash = nullptr;
    const char* name = splash->getText("fullScreenFMVName");
    if (name && *name && fmvPlay(name, 0)) {
        g_playingSplash = splash;
        return;
    }
    goOn(splash, "nextScreenID_ALT");
}

void leaveFilmSplash(ClWidget* splash) {
    if (g_playingSplash != splash) return;
    g_playingSplash = nullptr;
    if (isFmvPlaying()) fmvRelease();
}

}  // namespace

constexpr SUiCallbackEntry FILM_SPLASH_UI_CALLBACKS[] = {
    {"systemInitFilmSplash", initFilmSplash},
    {"systemLeaveFilmSplash", leaveFilmSplash},
};

std::span<const SUiCallbackEntry> filmSplashUiCallbacks() { return FILM_SPLASH_UI_CALLBACKS; }

void buildFilmSplash(ClWidget* top) {
    ClWidget* splash = createScreen(FILM_SPLASH_SCREEN, top, FILM_SPLASH_COLOUR);
    splash->setText("fullScreenFMVName", INTRO_FILM);
    splash->setText("nextScreenID", AFTER_FILM_SCREEN);
    splash->setText("nextScreenID_ALT", AFTER_FILM_SCREEN);
    splash->setEvent("onBecomeVisible", "systemInitFilmSplash");
    splash->setEvent("onBecomeInvisible", "systemLeaveFilmSplash");
}

void tickFilmSplash() {
    fmvUpdate(gameClock(GAME_CLOCK_SYSTEM).frameTime);
    if (!g_playingSplash || isFmvPlaying()) return;
    ClWidget* splash = g_playingSplash;
    g_playingSplash = nullptr;
    goOn(splash, "nextScreenID");
}

void shutdownFilmSplash() {
    if (g_playingSplash && isFmvPlaying()) fmvRelease();
    g_playingSplash = nullptr;
}
