#include "library/song_scan.h"

void songScanTick() {
    // No scan thread runs in this build, so it has asked for nothing.
}
