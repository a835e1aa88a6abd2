// The front end's first screen on entry, chosen from the way it was entered: a song that could
// not be started, the first entry after start-up (with the settings that replace or skip the
// splash), or the outcome of the play just left.
#pragma once

#include "core/types.h"

#include <string_view>

struct SFrontEndEntry {
    bool startFailed = false;  // the action mode could not start its song
    bool returningFromPlay = false;  // a play was left (else: the first entry after start-up)
    bool voiceOverTest = false;  // SG_VO_TEST_ROOT and SG_VO_TEST_LINE both set
    bool interviewChain = false;  // DO_SG_VO_INTERVIEW_CHAIN >= 1
    bool skipSplash = false;  // DEBUG_AMENITIES >= 1 or DEBUG_SKIP_SPLASH >= 1
    bool forcedQuit = false;  // the play was left through "ForceQuitGame"
    bool bossGame = false;
    bool bossBeaten = false;
    s32 forceBossWin = 0;  // FORCE_BOSS_WIN: 1 every boss game is won, 2 a coin toss decides
    bool collectibleToShow = false;  // the played song's item has not been identified yet
};

enum E_FrontEndEntryKind : u32 {
    E_FRONTEND_ENTRY_FIRST,         // from start-up
    E_FRONTEND_ENTRY_START_FAILED,  // the scan wait, which says why while the songs are scanned again
    E_FRONTEND_ENTRY_FORCED_QUIT,
    E_FRONTEND_ENTRY_BOSS_LOST,     // the boss failure is recorded and its tip shown
    E_FRONTEND_ENTRY_BOSS_WON,      // the boss progress advances
    E_FRONTEND_ENTRY_PLAYED,        // a play without a boss
};

struct SFrontEndScreen {
    std::string_view page;  // the child "TopLevelSwitcher" shows
    E_FrontEndEntryKind kind;
    bool menuMusic;         // the main-menu music starts
};

// coinToss is drawn only for a boss game the boss survived with FORCE_BOSS_WIN 2; the boss
// counts as won when the draw is above 0x7FFFFFFF.
SFrontEndScreen chooseFrontEndScreen(const SFrontEndEntry& entry, u32 (*coinToss)());
