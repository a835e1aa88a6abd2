// What the window's event loop hands the input backend: every SDL event it takes.
#pragma once

#include <SDL.h>

void inputSdlHandleEvent(const SDL_Event& event);
