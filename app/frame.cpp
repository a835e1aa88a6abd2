#include "app/frame.h"

#include "app/game_mode.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/file_completions.h"
#include "core/game_clock.h"
#include "core/log_manager.h"
#include "core/task_layer.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "library/song_scan.h"
#include "online/leaderboard.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"

const SFrameTickServices kDefaultFrameTickServices = {
    songScanTick,    taskLayerDispatch,     logManagerWake, pumpFileCompletions, updateInput,
    updateAudioEngine, updateAmbientLighting, medalQueueTick, leaderboardTick,
};
SFrameTickServices g_FrameTickServices = kDefaultFrameTickServices;

namespace {

constexpr f32 kFirstFrameStep = 0.016f;

u64 g_uFrameTimerFrequency = 0;
u64 g_uFrameTimerPrevious = 0;
bool g_bFirstFrame = true;

}  // namespace

void frameTimerInit() { g_uFrameTimerFrequency = osPerformanceFrequency(); }

f32 frameTimerElapsed() {
    const u64 now = osPerformanceCounter();
    const f64 elapsed = f64(now - g_uFrameTimerPrevious) * (1.0 / f64(g_uFrameTimerFrequency));
    g_uFrameTimerPrevious = now;
    return f32(elapsed);
}

void resetFirstFrame() {
    g_bFirstFrame = true;
    g_uFrameTimerPrevious = 0;
}

s32 runFrame() {
    f32 dt = frameTimerElapsed();
    if (g_bFirstFrame) {
        dt = kFirstFrameStep;
        g_bFirstFrame = false;
    }
    if (configGetString("FIXED_DT")) dt = configGetFloat("FIXED_DT");
    return gameFrameTick(dt) ? 1 : 0;
}

s32 gameFrameTick(f32 dt) {
    const SFrameTickServices& services = g_FrameTickServices;
    services.songScanTick();
    services.taskLayerDispatch();
    services.logManagerWake();
    services.pumpFileCompletions();
    services.updateInput();
    services.updateAudioEngine(dt);
    services.updateAmbientLighting();
    services.medalQueueTick();
    services.leaderboardTick();

    if (g_pCurrentGameMode->update(dt) && !g_iQuitGame) {
        g_pCurrentGameMode->exit();
        g_iPreviousGameModeId = g_iCurrentGameModeId;
        g_iCurrentGameModeId = g_iNextGameModeId;
        switchGameMode(g_iNextGameModeId);
    }

    if (inputSettleFrames() != 0) setInputSettleFrames(inputSettleFrames() - 1);
    return g_iQuitGame == 0 ? 1 : 0;
}
