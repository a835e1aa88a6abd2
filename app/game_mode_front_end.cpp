#include "app/game_mode_front_end.h"

#include "input/input_channels.h"
#include "render/batcher.h"
#include "render/render_worker.h"
#include "render/particle_system.h"

ClGameModeFrontEnd g_GameModeFrontEnd;

s32 ClGameModeFrontEnd::enter(s32) {
    resetPlayerPadMap();
    m_finished = 0;
    m_quitMenuShown = 0;
    m_cuesPausedByQuitMenu = 0;
    m_quitConfirmed = 0;
    return 1;
}

s32 ClGameModeFrontEnd::update(f32 dt) {
    beginBatchFrame();
    updateInputSensitivity();
    updateModeClocksAndMappers(this, dt, 0);
    if (m_quitConfirmed) g_iQuitGame = 1;
    updateParticleSystems();
    finishFrame();
    return s32(m_finished);
}

s32 ClGameModeFrontEnd::exit() { return 1; }
