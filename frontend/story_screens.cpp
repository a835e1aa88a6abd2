// The guardian's story sequences on the front end's screens: the splash's intro, the speech on
// the boss-won screen and the chain of voice interviews. A screen tags its sequence with a new
// serial and, in its tick, goes on once the world's last ended sequence carries that serial, so
// that the end of a sequence whose screen has been left is ignored.
#include "frontend/frontend.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "core/string_helpers.h"
#include "world/play/guardian_sequence.h"
#include "world/state/play_record.h"

namespace {

constexpr const char* SPLASH_SPEAKERS = "SG_SPLASH_INTRO";
constexpr const char* SPLASH_SEQUENCE = "Intro";
constexpr const char* INTERVIEW_SPEAKERS = "SGVOInterview";
// The current boss's speaker set holds it.
constexpr const char* BOSS_WIN_SEQUENCE = "PostWinBossMenu";
// The splash leaves after this long when its sequence is not in the data.
constexpr f64 SPLASH_SECONDS = 2.5;

enum EStoryScreen : u32 {
    E_STORY_NONE,
    E_STORY_SPLASH,
    E_STORY_BOSS_WIN,
    E_STORY_INTERVIEW,
};

struct SAwaitedSequence {
    u32 screen;  // EStoryScreen
    u32 serial;
    u32 interview;  // the place in the chain
};

SAwaitedSequence g_awaited;
u32 g_lastSerial = 0;
f64 g_splashShownAt = 0.0;

bool awaitedEnded() { return g_awaited.serial != 0 && lastEndedGuardianTag() == g_awaited.serial; }

bool startAwaited(EStoryScreen screen, const char* sequence, const char* speakers, u32 interview) {
    if (!guardianSequenceExists(sequence, speakers)) return false;
    g_awaited = {screen, ++g_lastSerial, interview};
    startGuardianSequence(sequence, speakers, g_awaited.serial);
    return true;
}

bool startInterview(u32 index) {
    const char* name = guardianSequenceName(INTERVIEW_SPEAKERS, index);
    return name && startAwaited(E_STORY_INTERVIEW, name, INTERVIEW_SPEAKERS, index);
}

// The screen is left: its sequence, still running, fades out unawaited.
void leaveAwaited(EStoryScreen screen) {
    if (g_awaited.screen != screen) return;
    const bool running = !awaitedEnded();
    g_awaited = {};
    if (running) stopGuardianSequence(1);
}

void initSplash(ClWidget*) {
    g_splashShownAt = realTimeNow();
    startAwaited(E_STORY_SPLASH, SPLASH_SEQUENCE, SPLASH_SPEAKERS, 0);
}

void initInterviews(ClWidget*) {
    setInterviewChainRunning(true);
    // Without interviews in the data the screen stays, with its button.
    if (!startInterview(0)) setInterviewChainRunning(false);
}

void leaveInterviews(ClWidget*) {
    // Cleared first, so the stopped sequence gives the interface its glow back.
    setInterviewChainRunning(false);
    leaveAwaited(E_STORY_INTERVIEW);
}

}  // namespace

constexpr SUiCallbackEntry STORY_UI_CALLBACKS[] = {
    {"systemInitSplash", initSplash},
    {"systemLeaveSplashScreen", [](ClWidget*) { leaveAwaited(E_STORY_SPLASH); }},
    {"systemInitInterviews", initInterviews},
    {"systemLeaveInterviews", leaveInterviews},
    {"systemInitPostBossWin", [](ClWidget*) { startAwaited(E_STORY_BOSS_WIN, BOSS_WIN_SEQUENCE, nullptr, 0); }},
    {"systemLeavePostBossWin", [](ClWidget*) { leaveAwaited(E_STORY_BOSS_WIN); }},
};

std::span<const SUiCallbackEntry> storyScreenUiCallbacks() { return STORY_UI_CALLBACKS; }

void tickStoryScreens() {
    if (g_awaited.screen == E_STORY_NONE) {
        if (strCompareNoCase(shownChildName("TopLevelSwitcher"), "SplashScreenNoButtons") == 0 &&
            realTimeNow() - g_splashShownAt >= SPLASH_SECONDS)
            showTitleWithMusic();
        return;
    }
    if (!awaitedEnded()) return;
    const SAwaitedSequence done = g_awaited;
    g_awaited = {};
    if (done.screen == E_STORY_SPLASH) {
        showTitleWithMusic();
    } else if (done.screen == E_STORY_BOSS_WIN) {
        showScreen("SOSMenu");
    } else if (!startInterview(done.interview + 1)) {
        setInterviewChainRunning(false);
        showTitleWithMusic();
    }
}

void endScreenSequences() {
    g_awaited = {};
    setInterviewChainRunning(false);
    abortGuardianSequence();
}
