// Everything the layers below the program import from above, filled in one place: platform's
// (core's crash report, filled before the crash handlers are installed and kept to the end),
// core's (render's draw-list line task), render's (the UI's answers and the game modes' pause),
// input's (the UI's hit-region centres), audio's
// (the world's song sound and song display), the world's (the action mode's tips, the library's
// ship program and collectibles, the online medal award, the waves' boss hooks) and the front
// end's (the play's enemy count). Installed by the first start-up step, before anything asks,
// and cleared by a shutdown step once nothing that asks is left.
#pragma once

// Platform's record alone, for the crash handlers that are installed before start-up runs;
// installLayerImports fills it too.
void installPlatformImports();
void installLayerImports();
void clearLayerImports();
