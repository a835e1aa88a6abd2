// Positioned cues of the play state.
#pragma once

struct ClVec3;

// Plays the cue panned by the position across the arena.
void playWorldCueAt(const char* name, const ClVec3& position);
