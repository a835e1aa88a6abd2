#include "audio/analysis/beat.h"

SBeatArray g_aSongBeats;
s32 g_iCurrentBeat = 0;

const SBeatArray& songBeats() { return g_aSongBeats; }
