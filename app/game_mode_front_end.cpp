#include "app/game_mode_front_end.h"

#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "render/view_slots.h"
#include "render/batcher.h"
#include "render/render_worker.h"
#include "render/particle_system.h"

ClGameModeFrontEnd g_GameModeFrontEnd;

s32 ClGameModeFrontEnd::enter(s32) {
    resetPlayerPadMap();
    // The menus take every player's input while the front end runs.
    g_uMenuInputFlag = 1;
    if (ClInputMapperBase* menus = menusInputMapper()) {
        for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) pushPlayerInputMapper(slot, menus);
    }
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

s32 ClGameModeFrontEnd::exit() {
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) {
        if (hasPlayerInputMapper(slot) && getPlayerInputMapper(slot) == menusInputMapper()) popPlayerInputMapper(slot);
    }
    return 1;
}
