// Who takes the players' input during play: the gameplay mapper, or the menus while the game is
// paused by the pause menu or a tip.
#pragma once

// On each of the four view slots the top mapper gives way to the menus mapper; the pointer is
// drawn, and the interface and the menus read the input.
void menuInputOn();
// On each view slot the top mapper gives way to the gameplay mapper; the pointer and the menu
// flag go off, and the player's control waits a few frames.
void menuInputOff();
