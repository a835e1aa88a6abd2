#include "app/mode_hooks.h"

#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "audio/sound/song_sound_hook.h"
#include "library/ship_program.h"
#include "render/render_hooks.h"
#include "world/entity/mega_tip_hook.h"
#include "world/play/player_ship.h"
#include "world/play/song_sound.h"

namespace {

s32 actionModeRunning() { return g_pCurrentGameMode == &g_GameModeAction ? 1 : 0; }
void pauseActionGame() { g_GameModeAction.pauseGame(); }
void queueTip(const char* name) { g_GameModeAction.queueMegaTip(name); }

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
