#include "app/layer_imports.h"

#include "app/frame.h"
#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "audio/audio_imports.h"
#include "core/core_imports.h"
#include "core/crash_dump.h"
#include "frontend/frontend.h"
#include "frontend/frontend_imports.h"
#include "input/input_imports.h"
#include "library/ship_program.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "online/medal_queue.h"
#include "platform/platform_imports.h"
#include "render/draw_lists.h"
#include "render/render_imports.h"
#include "ui/hit_regions.h"
#include "ui/ui_imports.h"
#include "ui/ui_system.h"
#include "waves/wave_pool.h"
#include "waves/waves.h"
#include "world/effects/equaliser_display.h"
#include "world/effects/equaliser_state.h"
#include "world/play/song_sound.h"
#include "world/services/world_imports.h"

namespace {

s32 uiIsUp() { return uiExists() ? 1 : 0; }
s32 actionModeRunning() { return g_pCurrentGameMode == &g_GameModeAction ? 1 : 0; }
void pauseActionGame() { g_GameModeAction.pauseGame(); }
// Every member of the play's waves: what the results' kill percentage is out of.
s32 enemiesOffered() { return g_GameModeAction.m_enemiesOffered; }

// A once-only tip is queued while the profile has not been shown it, and counts as shown once
// it is queued; the save keeps that.
void queueTip(const char* name) {
    const u32 once = onceTipBit(name);
    if ((songLibrary().shownTips & once) != 0) return;
    if (g_GameModeAction.queueMegaTip(name) != 0) markTipsShown(once);
}

}  // namespace

void installPlatformImports() {
    SPlatformImports platform;
    platform.writeCrashReport = crashDumpFilter;
    setPlatformImports(&platform);
}

void installLayerImports() {
    installPlatformImports();

    SCoreImports core;
    core.drawListLines = drawListLineTaskType();
    setCoreImports(&core);

    SRenderImports render;
    render.uiExists = uiIsUp;
    render.isQuitVetoed = uiQuitVetoed;
    render.goToActionRequested = uiGoToActionRequested;
    render.actionModeRunning = actionModeRunning;
    render.pauseActionGame = pauseActionGame;
    render.runFrame = runFrame;
    setRenderImports(&render);

    SInputImports input;
    input.pointerRegionCentre = randomUiHitRegionCentre;
    setInputImports(&input);

    SUiImports ui;
    ui.callbacks = frontEndUiCallbacks();
    setUiImports(&ui);

    SAudioImports audio;
    audio.prepareSongSound = prepareSongSound;
    audio.resetDisplay = resetEqualiserDisplay;
    audio.advancePulse = advanceEqualiserPulse;
    audio.drawEqualiser = drawEqualiserDisplay;
    setAudioImports(&audio);

    SWorldImports world;
    world.queueMegaTip = queueTip;
    world.buildShipProgram = buildShipDna;
    world.buildAnchorWeapon = buildAnchorWeaponDna;
    world.findCollectible = findLibraryCollectible;
    world.awardMedal = awardMedalFromPlay;
    world.bossWaves = bossWaveHooks();
    world.bossEncounter = bossEncounterHooks();
    world.releaseWavePlan = releaseWavePlan;
    setWorldImports(&world);

    SFrontendImports frontend;
    frontend.enemiesOffered = enemiesOffered;
    setFrontendImports(&frontend);
}

// Platform's record stays: the crash handlers may ask for it until the process ends.
void clearLayerImports() {
    setCoreImports(nullptr);
    setRenderImports(nullptr);
    setUiImports(nullptr);
    setInputImports(nullptr);
    setAudioImports(nullptr);
    setWorldImports(nullptr);
    setFrontendImports(nullptr);
}
