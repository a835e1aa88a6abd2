// The world's quad pass of the in-game frame, run after the end-of-frame flushes and before the
// song-progress bar. The world's quads reach the draw lists from their own draws (atoms,
// backdrop, effects), so the pass has nothing of its own to draw.
#pragma once

void drawWorldQuadPass();
