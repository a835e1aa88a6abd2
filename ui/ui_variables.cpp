#include "ui/ui_variables.h"

#include "ui/widget.h"

void initUiVariables() {
    ClWidget* root = getUiVariables();
    if (!root) return;
    for (const char* name :
         {UIVAR_SELECTED_SONG_INDEX, UIVAR_RETURNING_FROM_ACTION, UIVAR_RETURNING_FROM_ACTION_FAIL,
          UIVAR_SCORES_HAVE_BEEN_RECORDED, UIVAR_FORCE_QUIT_GAME, UIVAR_PAUSE_GAME, UIVAR_ALLOW_QUIT,
          UIVAR_TUTORIAL_PAUSE_FINISHED, UIVAR_FILE_CORRUPTION, UIVAR_GO_TO_ACTION,
          UIVAR_WIDGET_TO_RETURN_TO_AFTER_QUIT_MENU, UIVAR_RESULTS_SCREEN_INIT_FROM, UIVAR_SHOW_ONLY_IDENTIFIED_SONGS,
          UIVAR_SHOW_ONLY_UNLOCKED_SONGS, UIVAR_ALLOW_MAIN_MENU_CONTINUE, UIVAR_SOS_WIN,
          UIVAR_SOS_DO_A_PAGE_TURN_ANIM, UIVAR_IS_IN_MAIN_MENU, UIVAR_MY_MUSIC_DIR_SCAN})
        root->setInt(name, 0);
    root->setBool(UIVAR_DISPLAY_LOADING_TEXT, false);
    root->setText(UIVAR_SWITCH_FROM_SCANNING_OPTIONS, "");
    root->setText(UIVAR_SWITCH_FROM_WAIT_FOR_DIR_SCAN, "");
}

s32 uiVariable(const char* name) {
    const ClWidget* root = getUiVariables();
    return root ? root->getInt(name) : 0;
}

void setUiVariable(const char* name, s32 value) {
    if (ClWidget* root = getUiVariables()) root->setInt(name, value);
}
