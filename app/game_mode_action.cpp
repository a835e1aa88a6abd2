#include "app/game_mode_action.h"

#include "render/batcher.h"
#include "render/render_worker.h"
#include "render/particle_system.h"

ClGameModeActionZuno g_GameModeAction;

ClGameModeActionZuno::ClGameModeActionZuno() { m_songPath[0] = 0; }

s32 ClGameModeActionZuno::enter(s32) {
    // A song can be played only once it can be decoded, analysed and turned into waves;
    // until then entering fails, and the first update hands back to the front end.
    m_finished = 1;
    m_paused = 0;
    m_forcedQuit = 0;
    m_enterFailed = 1;
    return 0;
}

s32 ClGameModeActionZuno::update(f32 dt) {
    beginBatchFrame();
    updateModeClocksAndMappers(this, dt, s32(m_paused));
    updateParticleSystems();
    finishFrame();
    return s32(m_finished);
}

s32 ClGameModeActionZuno::exit() {
    m_enterFailed = 0;
    return 1;
}
