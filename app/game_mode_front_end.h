// The game mode of the menus: song selection, results, options and the quit menu. It chooses the
// first screen from the way it was entered, takes the outcome of a played song into the boss
// progress, runs the interface each frame, finishes when the interface asks for play, and alone
// decides that the program quits.
#pragma once

#include "app/front_end_screen.h"
#include "app/game_mode.h"

class ClCamera;

class ClGameModeFrontEnd : public ClGameMode {
public:
    s32 enter(s32 previousModeId) override;
    s32 update(f32 dt) override;
    s32 exit() override;
    void handleQuitMenu();
    // One frame's shader constants, story sequence and interface, once the device is ready.
    void updateScreens();

    u32 m_quitMenuShown = 0;
    u32 m_cuesPausedByQuitMenu = 0;
    u32 m_quitConfirmed = 0;
    // Cues paused while the device is lost, resumed once it is back.
    u32 m_cuesPausedByDevice = 0;
    ClCamera* m_camera = nullptr;
    bool m_cameraListed = false;  // the camera list owns it

private:
    SFrontEndEntry entryNow() const;
    // What the chosen screen asks besides the switch: a rescan, the menu music, the boss progress.
    void takeScreenChoice(const SFrontEndScreen& screen);
    void takeBossWin();
};

extern ClGameModeFrontEnd g_GameModeFrontEnd;
