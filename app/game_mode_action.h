// The game mode in which a song is played: its entry prepares the song (caches, analysis, waves,
// boss, ship) and starts the music, each frame runs the world on the song clock and the in-game
// interface, and its exit hands back to the front end. It also pauses the game for the window
// layer and shows the tutorial tips the world asks for.
#pragma once

#include "app/game_mode.h"

#include "audio/analysis/spectrum_analysis.h"

constexpr int ACTION_SONG_PATH_LENGTH = 768;
constexpr int ACTION_TIP_NAME_LENGTH = 768;
// Frames the player's control ignores its input after play starts or a menu closes.
constexpr s32 ACTION_INPUT_HOLD_OFF_FRAMES = 3;
// The run-up's steps: long ones far before the music, then frame-sized ones.
constexpr f32 PRE_ROLL_LONG_STEP = 2.5f;
constexpr f32 PRE_ROLL_LONG_STEP_LIMIT = -3.0f;
constexpr f32 PRE_ROLL_FRAME_STEP = 1.0f / 60.0f;
// QUICK_EXIT ends play once the song is this far in, with this stored score (shown as 100,000).
constexpr f32 QUICK_EXIT_SONG_TIME = 2.0f;
constexpr s32 QUICK_EXIT_STORED_SCORE = 1100000;

enum EActionPauseKind : u32 {
    E_ACTION_PAUSE_TIP = 0,
    E_ACTION_PAUSE_MENU = 1,
};

// The entry's steps that can fail, and the heavy ones between them. Tests replace them to walk
// every path; the game never changes them.
struct SActionPlayServices {
    // 0 when the song cannot be played (library/song_caches.h).
    s32 (*checkSongCaches)(s32 songIndex);
    // The spectrum with the song's playback sound prepared, then the beats, analysed afresh
    // when only the beats are viewed. 1 when both are ready.
    s32 (*analyseSong)(const char16_t* path, const SSongIdentity& identity, bool beatsViewOnly);
    // The ship program, the rolled generators, the song features, the waves and the boss.
    void (*prepareSongPlay)(bool beatsViewOnly);
    // Plays the song's cue held; 1 when it started.
    u32 (*startSongCue)();
};
extern SActionPlayServices g_ActionPlayServices;
extern const SActionPlayServices kDefaultActionPlayServices;

class ClCameraInGame;

class ClGameModeActionZuno : public ClGameMode {
public:
    ClGameModeActionZuno();
    s32 enter(s32 previousModeId) override;
    s32 update(f32 dt) override;
    s32 exit() override;

    // Opens the pause menu unless paused already; returns the paused flag.
    s32 pauseGame();
    // Keeps the tip to show at the next frame; 0 (dropped) while paused or while one is pending.
    s32 queueMegaTip(const char* name);
    // One game step on the song clock: from the song cue's position, or moved by the gameplay
    // clock's step.
    void worldStep(u32 fromSongPosition);
    // Steps the world from the earliest pending wave up to song time 0, so that waves due before
    // the music are in place when it starts.
    void preRollWorld();
    // The same from the given song time.
    void preRollWorldFrom(f32 songTime);
    // The pause channel, the tips and the pause menu, once per frame after drawing.
    void handlePauseAndTips();
    // The partner credits' two countdowns lose the step; each shows the overlay once at 0 outside
    // a boss game. The boss's arrival zeroes both.
    void tickCredits(f32 step);
    // The song's end and QUICK_EXIT.
    void checkSongEnd();
    // END_GAME_EARLY_TIME: the countdown loses the step; at 0 play is over.
    void tickEndEarly(f32 step);
    // After a world step outside the pause: the first player's play time grows by the song played
    // since songTimeBefore, and the invincibility time, while above 0, loses the gameplay step.
    void tickPlayTime(f32 songTimeBefore, f32 step);

    bool isBossGame() const;

    char16_t m_songPath[ACTION_SONG_PATH_LENGTH];
    f32 m_endEarlyCountdown = 0.0f;
    u32 m_paused = 0;
    u32 m_pauseKind = E_ACTION_PAUSE_TIP;
    u32 m_tipPending = 0;
    char m_tipName[ACTION_TIP_NAME_LENGTH];
    // Play was left through "ForceQuitGame"; the front end shows its splash instead of results.
    u32 m_forcedQuit = 0;
    u32 m_creditsShown[2] = {};
    f32 m_creditsCountdown[2] = {};
    // What the front end reads of the play just left: a boss game, and whether its boss fell.
    u32 m_wasBossGame = 0;
    u32 m_bossBeaten = 0;
    // The enemies the play's waves offered, for the results' kill percentage.
    s32 m_enemiesOffered = 0;
    ClCameraInGame* m_camera = nullptr;
    bool m_cameraListed = false;  // the camera list owns it
    // The library song being played, held by its identity: the song scan may move or remove
    // library records during play, so its index is looked up again whenever it is used.
    SSongIdentity m_songIdentity{};
    bool m_librarySong = false;

private:
    // Clean-up of an entry that failed once the stacks and the world were set up: everything
    // undone, the front end told why. Returns 0, the entry's result.
    s32 failEntry(bool worldRunning, bool shipProgramBuilt);
    void setPauseFlagsForCamera();
    void leaveMenuInput();
    void resume();
    void forceQuit(bool clearRequest);
    void removeCamera();
    // The last of leaving a song, failed or played: its analyses, the camera and the scratch list
    // go; the song volume, the pointer and the menu input come back.
    void releaseSongAndCamera();
};

extern ClGameModeActionZuno g_GameModeAction;
