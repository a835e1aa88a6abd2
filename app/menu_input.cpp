#include "app/menu_input.h"

#include "app/game_mode_action.h"
#include "core/game_clock.h"
#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "render/view_slots.h"
#include "ui/ui_input.h"

namespace {

void replaceTopMappers(ClInputMapperBase* mapper) {
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) {
        popPlayerInputMapper(slot);
        pushPlayerInputMapper(slot, mapper);
    }
}

}  // namespace

void menuInputOn() {
    replaceTopMappers(menusInputMapper());
    g_UiFlags.pointerDisplay = 1;
    g_UiFlags.inputEnabled = 1;
    setMenuInputFlag(1);
}

void menuInputOff() {
    replaceTopMappers(gameplayInputMapper());
    g_UiFlags.pointerDisplay = 0;
    setMenuInputFlag(0);
    setInputSettleFrames(ACTION_INPUT_HOLD_OFF_FRAMES);
}
