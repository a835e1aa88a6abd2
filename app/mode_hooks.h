// What the game modes install in the layers below them, which cannot call up: the window's
// pause and "is play running" questions, the world's tutorial tips, and the preparation of a
// song's playback sound. Installed at start-up, removed at shutdown.
#pragma once

void installModeHooks();
void removeModeHooks();
