#include "app/front_end_screen.h"

namespace {

constexpr u32 COIN_TOSS_HALF = 0x7FFFFFFFu;

bool bossWon(const SFrontEndEntry& entry, u32 (*coinToss)()) {
    if (entry.bossBeaten || entry.forceBossWin == 1) return true;
    return entry.forceBossWin == 2 && coinToss() > COIN_TOSS_HALF;
}

}  // namespace

SFrontEndScreen chooseFrontEndScreen(const SFrontEndEntry& entry, u32 (*coinToss)()) {
    if (entry.startFailed) return {"WaitForDirScan", E_FRONTEND_ENTRY_START_FAILED, false};
    if (!entry.returningFromPlay) {
        if (entry.voiceOverTest) return {"TestSGVO", E_FRONTEND_ENTRY_FIRST, false};
        if (entry.interviewChain) return {"SGVOInterview", E_FRONTEND_ENTRY_FIRST, false};
        if (!entry.skipSplash) return {"SplashScreenFMV", E_FRONTEND_ENTRY_FIRST, false};
        return {"TitleMenu", E_FRONTEND_ENTRY_FIRST, true};
    }
    if (entry.forcedQuit) return {"SplashScreenVel", E_FRONTEND_ENTRY_FORCED_QUIT, false};
    E_FrontEndEntryKind kind = E_FRONTEND_ENTRY_PLAYED;
    if (entry.bossGame) {
        if (bossWon(entry, coinToss)) return {"PostBossWinGS", E_FRONTEND_ENTRY_BOSS_WON, false};
        kind = E_FRONTEND_ENTRY_BOSS_LOST;
    }
    return {entry.collectibleToShow ? "SongCollectibleIdentified" : "Results", kind, false};
}
