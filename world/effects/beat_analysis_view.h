// A diagnostic view for checking the beat analysis against the music (VISUAL_BEAT_ANALYSIS): the
// next four seconds of the song as rows of columns receding into the scene, one row per spectral
// frame (the summed onset strength and each of the three bands'), with a red sprite at every beat
// in those seconds. Drawn instead of delivering beats; it moves the current beat index past the
// beats already played.
#pragma once

#include "core/types.h"

constexpr f32 BEAT_VIEW_SECONDS = 4.0f;
constexpr f32 BEAT_VIEW_DEPTH = 500.0f;  // world units the window spans

// Frames in the window: trunc(4 / frame duration) (503 at 126 frames per second).
u32 beatViewWindowFrames(f32 frameDuration);

void drawBeatAnalysisView();
