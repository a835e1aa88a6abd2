// The interface variables: properties of the root widget (UI_VARIABLES_WIDGET_NAME) through which
// the game modes and the screens talk. Main thread only.
#pragma once

#include "core/types.h"

constexpr const char* UIVAR_SELECTED_SONG_INDEX = "selectedSongIndex";
constexpr const char* UIVAR_RETURNING_FROM_ACTION = "returningFromAction";
constexpr const char* UIVAR_RETURNING_FROM_ACTION_FAIL = "returningFromAction_FAIL";
constexpr const char* UIVAR_SCORES_HAVE_BEEN_RECORDED = "scoresHaveBeenRecorded";
constexpr const char* UIVAR_FORCE_QUIT_GAME = "ForceQuitGame";
constexpr const char* UIVAR_PAUSE_GAME = "PauseGame";
constexpr const char* UIVAR_ALLOW_QUIT = "AllowQuit";
constexpr const char* UIVAR_TUTORIAL_PAUSE_FINISHED = "TutorialPauseFinished";
constexpr const char* UIVAR_FILE_CORRUPTION = "FileCorruption";
constexpr const char* UIVAR_GO_TO_ACTION = "goToAction";
constexpr const char* UIVAR_WIDGET_TO_RETURN_TO_AFTER_QUIT_MENU = "WidgetToReturnToAfterQuitMenu";
constexpr const char* UIVAR_RESULTS_SCREEN_INIT_FROM = "_eResultsScreenInitFrom";
constexpr const char* UIVAR_SHOW_ONLY_IDENTIFIED_SONGS = "_showOnlyIdentifiedSongs";
constexpr const char* UIVAR_SHOW_ONLY_UNLOCKED_SONGS = "_showOnlyUnlockedSongs";
constexpr const char* UIVAR_ALLOW_MAIN_MENU_CONTINUE = "_allowMainMenuContinue";
constexpr const char* UIVAR_DISPLAY_LOADING_TEXT = "displayLoadingText";                  // bool
constexpr const char* UIVAR_SWITCH_FROM_SCANNING_OPTIONS = "_switchFromScanningOptions";  // text
constexpr const char* UIVAR_SWITCH_FROM_WAIT_FOR_DIR_SCAN = "_switchFromWaitForDirScan";  // text
constexpr const char* UIVAR_SOS_WIN = "SOSWIN";
constexpr const char* UIVAR_SOS_DO_A_PAGE_TURN_ANIM = "SOSDoAPageTurnAnim";
constexpr const char* UIVAR_IS_IN_MAIN_MENU = "UIisInMainMenu";
// Holds the music-folder scan record the options screens start (a pointer; 0 when none).
constexpr const char* UIVAR_MY_MUSIC_DIR_SCAN = "scanningOptions_myMusicDirScanStruct";

// Every variable above, as 0, false or an empty text. "AllowQuit" = 0 vetoes the window's close
// until the front end calls systemAllowQuit. Nothing without the widget registry.
void initUiVariables();

// The root's int property; 0 when absent or before the registry exists.
s32 uiVariable(const char* name);
// Nothing before the registry exists.
void setUiVariable(const char* name, s32 value);
