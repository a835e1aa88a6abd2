// The pointer image the interface draws where the game's pointer is: player 0's image, with its
// tip at the pointer, over every page. Main thread only.
#pragma once

#include "core/types.h"

// The interface sprite player 0's pointer shows; the start-up names "PointerDefault". Other
// players have no pointer.
void setUiPointerImage(u32 player, const char* spriteName);

// The image's size on the "FULL" canvas, in canvas units (1080 to the screen's height).
constexpr f32 UI_POINTER_SIZE = 40.0f;

// Whether the pointer is drawn this frame: the pointer-display flag is set, the system cursor is
// hidden (so that only one pointer shows) and the pointer is inside the window.
bool uiPointerShown();
// Once a frame after the pages.
void drawUiPointer();
