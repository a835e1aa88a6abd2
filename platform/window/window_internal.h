// What the drawing device needs of the window: the SDL window its context draws into.
#pragma once

#include <SDL.h>

SDL_Window* windowSdlHandle();
// Sets the OpenGL attributes (3.3 core, double-buffered, no default depth) before a window that
// will carry a context is created.
void windowSetGlAttributes();
