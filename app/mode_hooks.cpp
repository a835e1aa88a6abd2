#include "app/mode_hooks.h"

#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "audio/sound/song_sound_hook.h"
#include "library/ship_program.h"
#include "library/song_library.h"
#include "render/render_hooks.h"
#include "world/entity/mega_tip_hook.h"
#include "world/play/player_ship.h"
#include "world/play/song_sound.h"

namespace {

s32 actionModeRunning() { return g_pCurrentGameMode == &g_GameModeAction ? 1 : 0; }
void pauseActionGame() { g_GameModeAction.pauseGame(); }
// A once-only tip is queued while the profile has not been shown it, and counts as shown once
// it is queued; the save keeps that.
void queueTip(const char* name) {
    const u32 once = onceTipBit(name);
    if ((g_SongLibrary.shownTips & once) != 0) return;
    if (g_GameModeAction.queueMegaTip(name) != 0) g_SongLibrary.shownTips |= once;
}

void setHooks(bool install) {
    SRenderUpwardHooks hooks = renderUpwardHooks();
    hooks.actionModeRunning = install ? actionModeRunning : nullptr;
    hooks.pauseActionGame = install ? pauseActionGame : nullptr;
    setRenderUpwardHooks(&hooks);
    setMegaTipHook(install ? queueTip : nullptr);
    setPrepareSongSoundHook(install ? prepareSongSound : nullptr);
    setShipProgramBuilder(install ? buildShipDna : nullptr);
}

}  // namespace

void installModeHooks() { setHooks(true); }
void removeModeHooks() { setHooks(false); }
