// The song library's scan of the music folders and the per-song analysis.
#pragma once

// Once per frame from the tick: the main thread's side of the song scan.
void songScanTick();
