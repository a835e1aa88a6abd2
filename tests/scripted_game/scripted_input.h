// Scripted input for the program tests: the game reads lines a test appends to a file (named by
// VELODRIX_SCRIPTED_INPUT) and turns each into what a player's device would give, pushed into
// SDL's own event queue from the window's event loop, so that the game takes it by the road a
// real mouse, keyboard or pad takes. One command a line:
//
//   point WIDGET [REGION]   the mouse moves to the centre of the widget's hit region (0 unless
//                           given), in window coordinates; waits until the widget has one
//   move X Y                the mouse moves to the window point
//   press left|right        a mouse button goes down
//   release left|right      and up
//   key-down NAME           a key goes down (SDL's scancode name: "Escape", "Return", "Down")
//   key-up NAME             and up
//   pad-attach              a game pad is plugged in (SDL's virtual joystick)
//   pad-button NAME 0|1     a pad button (SDL's game-controller name: "a", "b", "start",
//                           "dpdown") goes up or down
//   frames N                the next commands wait until N more frames have been drawn
//   shot PATH               the last presented frame is written as PNG
//   entities PATH           the count of the world's entity records in use is appended to the
//                           file as a line
//   text WIDGET PATH        the text the widget shows is appended to the file as a line
//   shots PATH              the look of each of the player's shots in flight, clear of the ship,
//                           is appended to the file, a line each
//   hull PATH               the hull's upgrade value, whether it is levelled up, its item's level
//                           and the level-up messages shown are appended as a line (while the
//                           ship is in play with its anchors)
//   point-pickup            the mouse moves onto the level-up pickup, while one lies in the arena
//
// Lines written together arrive in one read of the events, as a press and a release within one
// frame do. The count of commands run so far is kept in the file "<script>.done".
#pragma once

// Installs the source when VELODRIX_SCRIPTED_INPUT is set.
void installScriptedInput();
